#pragma once

#include "block.h"
#include "rawcodec.h"

#include <cstdint>
#include <memory>
#include <string>

// Reads an audio file as signed 16-bit interleaved PCM at the file's own rate and channel count.
// Corrupt or truncated input never crashes: undecodable stretches are skipped, and a file with
// nothing decodable raises ComponentError at open.
class AudioDecoder {
public:
    virtual ~AudioDecoder() = default;

    // Sample frames, from the container's own record where it has one (no full decode).
    virtual std::int64_t LengthFrames() = 0;
    virtual int SampleRate() const = 0;
    virtual int Channels() const = 0;
    virtual int BitRate() = 0; // bits per second
    // Moves to exactly `frame` (clamped to 0..length): the next Read starts there.
    virtual void Seek(std::int64_t frame) = 0;
    // Up to `frames` frames; empty at the end.
    virtual Block Read(int frames) = 0;
};

// Picks the reader for `path`: a ".raw" file (any case) is headerless and read with `raw`; any
// other file by its contents. Raises ComponentError ("Cannot open '<path>': <cause>").
std::unique_ptr<AudioDecoder> OpenAudioDecoder(const std::string& path, const RawFormat& raw);

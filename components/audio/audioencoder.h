#pragma once

#include "pcmformat.h"

#include <cstddef>
#include <cstdint>
#include <string>

// One output format's writer. An encoder is built with its settings, then Open creates the file,
// Write appends whole PCM frames and Close finishes the file. Every failure raises ComponentError
// naming the file and the cause.
//
// Contract shared by all encoders:
// - InputFormat is fixed at construction and never changes: it is what Write takes.
// - When Write returns, everything written so far is on disk in a form a reader decodes (the
//   encoder's own look-ahead of at most one codec frame excepted), so a killed program leaves a
//   playable file.
// - After a failed Write the encoder is unusable; Close then only releases what it holds and
//   never raises. Close is idempotent.
class AudioEncoder {
public:
    virtual ~AudioEncoder() = default;

    virtual PcmFormat InputFormat() const = 0;
    // Creates or truncates `path`.
    virtual void Open(const std::string& path) = 0;
    // `frames` whole frames of InputFormat at `pcm`.
    virtual void Write(const std::uint8_t* pcm, std::size_t frames) = 0;
    // Drains the encoder, completes headers and closes the file.
    virtual void Close() = 0;
};

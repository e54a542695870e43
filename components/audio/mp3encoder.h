#pragma once

#include "audioencoder.h"
#include "filesink.h"
#include "mp3frameindex.h"
#include "taudiofile2lameenc.h"

#include <vector>

struct lame_global_struct;

// MPEG audio layer III through LAME. Constant bit rate, or LAME's VBR (mtrh) with the VBR quality
// and the VBR bit rate as the maximum. LAME's info frame (Xing/LAME tag) is written over the first
// frame at close, so players show the right length and seek well; until then a placeholder
// frame of its size keeps the file decodable. The file starts with an ID3v2 tag holding room for
// the tags (see tagroom.h), so tagging the finished recording never moves its audio, and the
// index of the frames' places (see mp3frameindex.h), written at close with the info frame.
class Mp3Encoder : public AudioEncoder {
public:
    explicit Mp3Encoder(const Mp3EncoderSettings& settings);
    ~Mp3Encoder() override;

    PcmFormat InputFormat() const override { return input_; }
    void Open(const std::string& path) override;
    void Write(const std::uint8_t* pcm, std::size_t frames) override;
    void Close() override;

    // The component's rule for which combinations it encodes (bit rate in kbit/s).
    static bool IsSupported(int sampleRate, int bitrate, int channelMode);
    // The highest bit rate the MPEG version of `sampleRate` allows, 0 for other rates.
    static int MaxBitrate(int sampleRate);
    // Entries of the frame index (kMp3IndexEntries); tests use a few, so that short
    // recordings have the stride of long ones. Takes effect at the next Open.
    void SetIndexEntriesForTesting(std::size_t entries) { indexEntries_ = entries; }

private:
    void Release();
    // A silent frame of the size LAME's info frame takes for `configured`'s settings.
    static std::vector<unsigned char> PlaceholderFrame(lame_global_struct* configured);

    Mp3EncoderSettings settings_;
    PcmFormat input_;
    lame_global_struct* lame_ = nullptr;
    FileSink sink_;
    std::uint64_t streamStart_ = 0; // the first audio frame, after the ID3v2 tag
    std::vector<unsigned char> placeholder_;
    std::size_t indexEntries_ = kMp3IndexEntries;
    Mp3FrameIndexer indexer_;
    std::vector<unsigned char> out_;
    std::vector<short> left_, right_;
};

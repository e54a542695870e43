#pragma once

#include "audioencoder.h"
#include "filesink.h"
#include "rawcodec.h"

#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

// Headerless audio: PCM written as it comes (8 bits and less as signed bytes), the other codecs
// through FFmpeg's encoders, their packets appended back to back. Codec frames are written as
// soon as they are complete; the last one is padded with silence at close.
class RawEncoder : public AudioEncoder {
public:
    // `layout` from DescribeRaw.
    explicit RawEncoder(const RawLayout& layout);
    ~RawEncoder() override;

    PcmFormat InputFormat() const override { return layout_.input; }
    void Open(const std::string& path) override;
    void Write(const std::uint8_t* pcm, std::size_t frames) override;
    void Close() override;

private:
    bool Pcm() const;
    void EncodeFrames(bool final);
    void Drain();
    void Release();

    RawLayout layout_;
    FileSink sink_;
    AVCodecContext* codec_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    std::vector<std::uint8_t> pending_; // interleaved S16 not yet a whole codec frame
    std::vector<std::uint8_t> scratch_;
    bool failed_ = false;
};

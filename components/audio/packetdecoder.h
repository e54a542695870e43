#pragma once

#include "audiodecoder.h"

#include <cstdint>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVCodecParameters;
struct AVFrame;
struct AVPacket;
struct SwrContext;

// The decoding half every reader shares: packets from a source go through an FFmpeg decoder and
// come out as S16 interleaved. Exact seeking is built on the source's coarse one: the source is
// placed before the target, frames are decoded and discarded up to the target frame.
class PacketDecoder : public AudioDecoder {
public:
    ~PacketDecoder() override;

    int SampleRate() const override { return rate_; }
    int Channels() const override { return channels_; }
    void Seek(std::int64_t frame) override;
    Block Read(int frames) override;

protected:
    static constexpr std::int64_t kUnknown = INT64_MIN;

    explicit PacketDecoder(std::string path);

    // Opens the decoder; rate_ and channels_ are taken from `par`. Raises on failure.
    // `timeBaseNum/Den`: the packets' time base, so the decoder keeps frame timestamps right
    // when it drops encoder delay; 0/0 when the packets carry no timestamps.
    void OpenCodec(const AVCodecParameters* par, int timeBaseNum = 0, int timeBaseDen = 0);
    // Reading stops at this frame (kUnknown: at the end of the stream).
    void SetEndFrame(std::int64_t frame) { end_ = frame; }
    [[noreturn]] void FailOpen(const std::string& cause) const;

    // The next packet of the stream: 0, AVERROR_EOF at the end, another error when the source
    // cannot go on (treated as the end).
    virtual int ReadPacket(AVPacket* packet) = 0;
    // Places the source at or before `frame`; returns the frame the next decoded sample belongs
    // to, or kUnknown when only the decoded frames' timestamps tell.
    virtual std::int64_t Reposition(std::int64_t frame) = 0;
    // The frame position of a decoded frame from its timestamp, kUnknown without one.
    virtual std::int64_t FramePosition(const AVFrame* frame) = 0;
    // How far before a seek target decoding starts, so the decoder's state has settled.
    virtual std::int64_t Preroll() const = 0;

    // The timestamp of the first frame decoded from the start (AV_NOPTS_VALUE when it has none);
    // leaves the reader at the start.
    std::int64_t FirstTimestamp();

    std::string path_;
    int rate_ = 0;
    int channels_ = 0;

private:
    // Decodes the next frame into frame_; false at the end of the stream.
    bool NextFrame();
    // Appends frame_ as S16 to out_, dropping its first `skip` frames.
    void Convert(std::int64_t skip);

    AVCodecContext* codec_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    SwrContext* swr_ = nullptr;
    int swrFormat_ = -1;
    bool drained_ = false; // the source has ended and the decoder has been flushed
    bool eof_ = false;
    Block out_; // decoded, not yet returned
    std::size_t outPos_ = 0;
    std::int64_t pos_ = 0; // frame position of the next frame Read returns
    std::int64_t end_ = kUnknown;
};

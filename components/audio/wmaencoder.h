#pragma once

#include "audioencoder.h"
#include "filesink.h"

#include <memory>
#include <vector>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
class AvioSink;

// Windows Media Audio 2 (FFmpeg's wmav2) in ASF. Small ASF packets, written and flushed after
// every block, keep a killed recording decodable up to about its last block.
class WmaEncoder : public AudioEncoder {
public:
    WmaEncoder(int sampleRate, int channels, int bitrateKbps);
    ~WmaEncoder() override;

    PcmFormat InputFormat() const override { return input_; }
    void Open(const std::string& path) override;
    void Write(const std::uint8_t* pcm, std::size_t frames) override;
    void Close() override;

private:
    void EncodeFrame(bool flush);
    void Release();

    PcmFormat input_;
    int bitrate_;
    FileSink sink_;
    std::unique_ptr<AvioSink> io_;
    AVCodecContext* codec_ = nullptr;
    AVFormatContext* format_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    std::vector<std::vector<float>> pending_; // one plane per channel, less than a codec frame
    std::int64_t nextPts_ = 0;
    bool failed_ = false;
};

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
// every block, keep a killed recording decodable up to about its last block, and the header's
// sizes, packet count and duration are brought up to date after every block. The header ends
// with room for the tags (tagroom.h), so tagging the recording never moves its audio.
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
    // Turns the header FFmpeg wrote (in header_) into ours, with the tag room; false when its
    // layout is not the expected one.
    bool AddTagRoom();
    // Brings the header's sizes, packet count and duration up to what is on disk.
    void UpdateHeader();

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
    std::vector<std::uint8_t> header_; // ASF header and Data Object header as on disk
    std::size_t fileProps_ = 0;        // offset of the File Properties object
    std::size_t dataObject_ = 0;       // offset of the Data Object
    std::uint64_t prerollMs_ = 0;
    std::uint32_t packetSize_ = 0;
    std::int64_t flushedMs_ = 0; // audio up to here is in whole packets on disk
    bool failed_ = false;
};

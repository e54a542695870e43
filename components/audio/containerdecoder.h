#pragma once

#include "packetdecoder.h"

#include <memory>

struct AVFormatContext;

// Files with a container (WAV, MP3, Ogg, ASF and whatever else FFmpeg recognises). Opening reads
// only the headers: the length comes from the container where it records one, and only a file
// without any record of its length (a killed recording) is scanned, packet by packet, once.
class ContainerDecoder : public PacketDecoder {
public:
    explicit ContainerDecoder(const std::string& path);
    ~ContainerDecoder() override;

    std::int64_t LengthFrames() override;
    int BitRate() override;

protected:
    int ReadPacket(AVPacket* packet) override;
    std::int64_t Reposition(std::int64_t frame) override;
    std::int64_t FramePosition(const AVFrame* frame) override;
    std::int64_t Preroll() const override;

private:
    std::int64_t ToFrames(std::int64_t ts) const;
    std::int64_t ScanLength();
    // The timestamp of the first decoded frame: frame 0 of our count.
    void LearnOrigin();

    struct FormatCloser {
        void operator()(AVFormatContext* format) const;
    };
    // Owned through a smart pointer: a constructor that fails half-way must still close it.
    std::unique_ptr<AVFormatContext, FormatCloser> formatOwner_;
    AVFormatContext* format_ = nullptr;
    int stream_ = -1;
    std::int64_t length_ = -1;
    std::int64_t origin_ = kUnknown;
    int frameSize_ = 0; // the codec's fixed frame length, 0 when it varies
};

#pragma once

#include "packetdecoder.h"
#include "rawcodec.h"

#include <cstdio>
#include <memory>

// Headerless files, read with the layout the writer used (DescribeRaw). The length follows from
// the file size; seeking goes straight to the packet holding the target frame.
class RawDecoder : public PacketDecoder {
public:
    RawDecoder(const std::string& path, const RawFormat& format);
    ~RawDecoder() override;

    std::int64_t LengthFrames() override;
    int BitRate() override;

protected:
    int ReadPacket(AVPacket* packet) override;
    std::int64_t Reposition(std::int64_t frame) override;
    std::int64_t FramePosition(const AVFrame*) override { return kUnknown; }
    std::int64_t Preroll() const override;

private:
    RawLayout layout_;
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, FileCloser> fileOwner_; // closed even when the constructor fails
    std::FILE* file_ = nullptr;
    std::int64_t size_ = 0;
    std::int64_t offset_ = 0;
};

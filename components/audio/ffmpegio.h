#pragma once

#include "filesink.h"

#include <cstdint>
#include <string>
#include <vector>

struct AVIOContext;

// FFmpeg's text for an error code.
std::string AvErrorText(int err);

// An AVIOContext that writes through a FileSink, so a muxer's writes fail with the sink's own
// message (a callback cannot carry a C++ exception through FFmpeg: the message is kept and
// raised by Check after the FFmpeg call returns).
class AvioSink {
public:
    explicit AvioSink(FileSink& sink);
    ~AvioSink();
    AvioSink(const AvioSink&) = delete;
    AvioSink& operator=(const AvioSink&) = delete;

    AVIOContext* Context() const { return ctx_; }
    // Raises the failure a callback met, if any; otherwise raises "Cannot write ...: <what>"
    // when `rc` is an FFmpeg error.
    void Check(int rc, const char* what) const;
    // Pushes buffered bytes to the file and raises on failure.
    void Flush();
    // From now on, bytes the muxer writes below `end` go into Captured() instead of the file
    // (for a header the caller writes itself); 0 ends capturing.
    void CaptureBelow(std::uint64_t end) { captureEnd_ = end; }
    const std::vector<std::uint8_t>& Captured() const { return captured_; }

private:
    static int WritePacket(void* opaque, std::uint8_t* buf, int size);
    static std::int64_t SeekTo(void* opaque, std::int64_t offset, int whence);

    FileSink& sink_;
    AVIOContext* ctx_ = nullptr;
    std::string failure_;
    std::uint64_t captureEnd_ = 0;
    std::vector<std::uint8_t> captured_;
};

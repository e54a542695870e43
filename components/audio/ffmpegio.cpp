#include "ffmpegio.h"

#include "componenterror.h"

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cstdio>

std::string AvErrorText(int err) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(err, text, sizeof text);
    return text;
}

AvioSink::AvioSink(FileSink& sink) : sink_(sink) {
    constexpr int kBuffer = 32768;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBuffer));
    if (buffer == nullptr)
        throw ComponentError(FileErrorText("create", sink.Path(), "out of memory"));
    ctx_ = avio_alloc_context(buffer, kBuffer, 1, this, nullptr, &AvioSink::WritePacket,
                              &AvioSink::SeekTo);
    if (ctx_ == nullptr) {
        av_free(buffer);
        throw ComponentError(FileErrorText("create", sink.Path(), "out of memory"));
    }
}

AvioSink::~AvioSink() {
    if (ctx_ != nullptr) {
        av_freep(&ctx_->buffer);
        avio_context_free(&ctx_);
    }
}

int AvioSink::WritePacket(void* opaque, std::uint8_t* buf, int size) {
    auto* self = static_cast<AvioSink*>(opaque);
    if (!self->failure_.empty())
        return AVERROR(EIO);
    try {
        std::size_t n = static_cast<std::size_t>(size);
        const std::uint64_t at = self->sink_.Position();
        if (at < self->captureEnd_) {
            const std::size_t held =
                static_cast<std::size_t>(std::min<std::uint64_t>(n, self->captureEnd_ - at));
            if (self->captured_.size() < at + held)
                self->captured_.resize(static_cast<std::size_t>(at + held));
            std::copy(buf, buf + held, self->captured_.begin() + static_cast<std::ptrdiff_t>(at));
            self->sink_.Seek(at + held);
            buf += held;
            n -= held;
        }
        if (n > 0)
            self->sink_.Write(buf, n);
    } catch (const std::exception& e) {
        self->failure_ = e.what();
        return AVERROR(EIO);
    }
    return size;
}

std::int64_t AvioSink::SeekTo(void* opaque, std::int64_t offset, int whence) {
    auto* self = static_cast<AvioSink*>(opaque);
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return static_cast<std::int64_t>(self->sink_.Size());
    case SEEK_SET:
        break;
    case SEEK_CUR:
        offset += static_cast<std::int64_t>(self->sink_.Position());
        break;
    case SEEK_END:
        offset += static_cast<std::int64_t>(self->sink_.Size());
        break;
    default:
        return AVERROR(EINVAL);
    }
    if (offset < 0)
        return AVERROR(EINVAL);
    self->sink_.Seek(static_cast<std::uint64_t>(offset));
    return offset;
}

void AvioSink::Check(int rc, const char* what) const {
    if (!failure_.empty())
        throw ComponentError(failure_);
    if (rc < 0)
        throw ComponentError(
            FileErrorText("write", sink_.Path(), std::string(what) + ": " + AvErrorText(rc)));
}

void AvioSink::Flush() {
    avio_flush(ctx_);
    Check(ctx_->error, "flushing");
}

#include "packetdecoder.h"

#include "componenterror.h"
#include "ffmpegio.h"
#include "filesink.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>

namespace {
// A run of this many undecodable packets means there is nothing left worth decoding.
constexpr int kMaxBadPackets = 2000;
} // namespace

PacketDecoder::PacketDecoder(std::string path) : path_(std::move(path)) {}

PacketDecoder::~PacketDecoder() {
    avcodec_free_context(&codec_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    swr_free(&swr_);
}

void PacketDecoder::FailOpen(const std::string& cause) const {
    throw ComponentError(FileErrorText("open", path_, cause));
}

void PacketDecoder::OpenCodec(const AVCodecParameters* par, int timeBaseNum, int timeBaseDen) {
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (codec == nullptr)
        FailOpen(std::string("no decoder for its ") + avcodec_get_name(par->codec_id) + " audio");
    codec_ = avcodec_alloc_context3(codec);
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    if (codec_ == nullptr || frame_ == nullptr || packet_ == nullptr)
        FailOpen("out of memory");
    if (avcodec_parameters_to_context(codec_, par) < 0)
        FailOpen("not an audio file we can read");
    if (codec_->ch_layout.nb_channels <= 0 && par->ch_layout.nb_channels > 0)
        av_channel_layout_default(&codec_->ch_layout, par->ch_layout.nb_channels);
    if (timeBaseNum > 0 && timeBaseDen > 0)
        codec_->pkt_timebase = AVRational{timeBaseNum, timeBaseDen};
    const int rc = avcodec_open2(codec_, codec, nullptr);
    if (rc < 0)
        FailOpen("not an audio file we can read (" + AvErrorText(rc) + ")");
    rate_ = codec_->sample_rate > 0 ? codec_->sample_rate : par->sample_rate;
    channels_ = codec_->ch_layout.nb_channels > 0 ? codec_->ch_layout.nb_channels
                                                  : par->ch_layout.nb_channels;
    if (rate_ < 1 || rate_ > 384000 || channels_ < 1 || channels_ > 8)
        FailOpen("not an audio file we can read (" + std::to_string(rate_) + " Hz, " +
                 std::to_string(channels_) + " channels)");
}

bool PacketDecoder::NextFrame() {
    int bad = 0;
    for (;;) {
        const int rc = avcodec_receive_frame(codec_, frame_);
        if (rc == 0) {
            // A corrupt stream can change format midway; such frames cannot join the output.
            if (frame_->sample_rate != rate_ || frame_->ch_layout.nb_channels != channels_ ||
                frame_->nb_samples <= 0) {
                av_frame_unref(frame_);
                continue;
            }
            return true;
        }
        if (rc == AVERROR_EOF || drained_)
            return false;
        if (rc != AVERROR(EAGAIN)) {
            // A decoder that fails outright restarts at the next packet.
            avcodec_flush_buffers(codec_);
            if (++bad > kMaxBadPackets)
                return false;
        }
        const int got = ReadPacket(packet_);
        if (got < 0) {
            drained_ = true;
            avcodec_send_packet(codec_, nullptr);
            continue;
        }
        const int sent = avcodec_send_packet(codec_, packet_);
        av_packet_unref(packet_);
        if (sent < 0 && sent != AVERROR(EAGAIN) && ++bad > kMaxBadPackets)
            return false;
    }
}

void PacketDecoder::Convert(std::int64_t skip) {
    const int n = frame_->nb_samples;
    if (skip >= n)
        return;
    if (swr_ == nullptr || swrFormat_ != frame_->format) {
        swr_free(&swr_);
        AVChannelLayout layout;
        av_channel_layout_default(&layout, channels_);
        const int rc =
            swr_alloc_set_opts2(&swr_, &layout, AV_SAMPLE_FMT_S16, rate_, &layout,
                                static_cast<AVSampleFormat>(frame_->format), rate_, 0, nullptr);
        if (rc < 0 || swr_init(swr_) < 0) {
            swr_free(&swr_);
            throw ComponentError(FileErrorText("read", path_, "cannot convert its samples"));
        }
        swrFormat_ = frame_->format;
    }
    const std::size_t frameBytes = static_cast<std::size_t>(2 * channels_);
    // Compact what was already handed out before growing the buffer.
    if (outPos_ > 0) {
        out_.erase(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(outPos_));
        outPos_ = 0;
    }
    const std::size_t old = out_.size();
    out_.resize(old + static_cast<std::size_t>(n) * frameBytes);
    std::uint8_t* dst = out_.data() + old;
    const int done =
        swr_convert(swr_, &dst, n, const_cast<const std::uint8_t**>(frame_->extended_data), n);
    if (done < 0) {
        out_.resize(old);
        return;
    }
    out_.resize(old + static_cast<std::size_t>(done) * frameBytes);
    const std::size_t drop =
        std::min(static_cast<std::size_t>(skip) * frameBytes, out_.size() - old);
    out_.erase(out_.begin() + static_cast<std::ptrdiff_t>(old),
               out_.begin() + static_cast<std::ptrdiff_t>(old + drop));
}

Block PacketDecoder::Read(int frames) {
    const std::size_t frameBytes = static_cast<std::size_t>(2 * channels_);
    std::int64_t count = std::max(frames, 0);
    if (end_ != kUnknown)
        count = std::clamp<std::int64_t>(end_ - pos_, 0, count);
    const std::size_t want = static_cast<std::size_t>(count) * frameBytes;
    while (!eof_ && out_.size() - outPos_ < want) {
        if (!NextFrame()) {
            eof_ = true;
            break;
        }
        Convert(0);
        av_frame_unref(frame_);
    }
    const std::size_t n = std::min(want, out_.size() - outPos_);
    Block block(out_.begin() + static_cast<std::ptrdiff_t>(outPos_),
                out_.begin() + static_cast<std::ptrdiff_t>(outPos_ + n));
    outPos_ += n;
    pos_ += static_cast<std::int64_t>(n / frameBytes);
    if (outPos_ == out_.size()) {
        out_.clear();
        outPos_ = 0;
    }
    return block;
}

void PacketDecoder::Seek(std::int64_t target) {
    target = std::clamp<std::int64_t>(target, 0, std::max<std::int64_t>(LengthFrames(), 0));
    std::int64_t back = Preroll();
    for (int attempt = 0;; ++attempt) {
        const std::int64_t from = std::max<std::int64_t>(target - back, 0);
        std::int64_t pos = Reposition(from);
        avcodec_flush_buffers(codec_);
        out_.clear();
        outPos_ = 0;
        drained_ = eof_ = false;
        for (;;) {
            if (!NextFrame()) {
                eof_ = true;
                pos_ = target;
                return;
            }
            const std::int64_t start = pos != kUnknown ? pos : FramePosition(frame_);
            if (start == kUnknown) {
                av_frame_unref(frame_);
                continue;
            }
            pos = start + frame_->nb_samples;
            if (start > target && from > 0 && attempt < 8)
                break; // landed after the target: start earlier
            if (pos <= target) {
                av_frame_unref(frame_);
                continue;
            }
            Convert(std::max<std::int64_t>(target - start, 0));
            av_frame_unref(frame_);
            pos_ = target;
            return;
        }
        av_frame_unref(frame_);
        back = std::max<std::int64_t>(back * 4, rate_);
    }
}

std::int64_t PacketDecoder::FirstTimestamp() {
    Reposition(0);
    avcodec_flush_buffers(codec_);
    drained_ = eof_ = false;
    std::int64_t ts = AV_NOPTS_VALUE;
    if (NextFrame()) {
        ts = frame_->best_effort_timestamp;
        av_frame_unref(frame_);
    }
    Reposition(0);
    avcodec_flush_buffers(codec_);
    out_.clear();
    outPos_ = 0;
    pos_ = 0;
    drained_ = eof_ = false;
    return ts;
}

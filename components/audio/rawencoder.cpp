#include "rawencoder.h"

#include "componenterror.h"
#include "ffmpegio.h"
#include "pcmconvert.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cstring>

RawEncoder::RawEncoder(const RawLayout& layout) : layout_(layout) {}

RawEncoder::~RawEncoder() {
    Release();
}

bool RawEncoder::Pcm() const {
    return layout_.codecId == AV_CODEC_ID_PCM_S8 || layout_.codecId == AV_CODEC_ID_PCM_S16LE ||
           layout_.codecId == AV_CODEC_ID_PCM_S24LE || layout_.codecId == AV_CODEC_ID_PCM_S32LE;
}

void RawEncoder::Release() {
    avcodec_free_context(&codec_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    sink_.Abandon();
}

void RawEncoder::Open(const std::string& path) {
    failed_ = false;
    pending_.clear();
    if (!Pcm()) {
        auto fail = [&](const std::string& cause) {
            Release();
            throw ComponentError(FileErrorText("create", path, cause));
        };
        const auto id = static_cast<AVCodecID>(layout_.codecId);
        const AVCodec* codec = avcodec_find_encoder(id);
        if (codec == nullptr)
            fail(std::string("this FFmpeg has no ") + avcodec_get_name(id) + " encoder");
        codec_ = avcodec_alloc_context3(codec);
        frame_ = av_frame_alloc();
        packet_ = av_packet_alloc();
        if (codec_ == nullptr || frame_ == nullptr || packet_ == nullptr)
            fail("out of memory");
        codec_->sample_rate = layout_.sampleRate;
        av_channel_layout_default(&codec_->ch_layout, layout_.channels);
        codec_->sample_fmt = AV_SAMPLE_FMT_S16;
        if (codec->sample_fmts != nullptr && codec->sample_fmts[0] == AV_SAMPLE_FMT_S16P)
            codec_->sample_fmt = AV_SAMPLE_FMT_S16P;
        codec_->time_base = AVRational{1, layout_.sampleRate};
        codec_->bit_rate = 13200; // GSM 6.10's one rate; the others ignore it
        if (id == AV_CODEC_ID_ADPCM_IMA_WAV || id == AV_CODEC_ID_ADPCM_MS)
            av_opt_set_int(codec_->priv_data, "block_size", kAdpcmBlockBytes, 0);
        const int rc = avcodec_open2(codec_, codec, nullptr);
        if (rc < 0)
            fail(std::string(avcodec_get_name(id)) + " at " + std::to_string(layout_.sampleRate) +
                 " Hz, " + std::to_string(layout_.channels) + " channels: " + AvErrorText(rc));
        if (codec_->frame_size > 1 && codec_->frame_size != layout_.packetFrames)
            fail("unexpected " + std::string(avcodec_get_name(id)) + " frame size " +
                 std::to_string(codec_->frame_size));
    }
    sink_.Create(path);
}

void RawEncoder::Drain() {
    int rc;
    while ((rc = avcodec_receive_packet(codec_, packet_)) == 0) {
        try {
            sink_.Write(packet_->data, static_cast<std::size_t>(packet_->size));
        } catch (...) {
            av_packet_unref(packet_);
            throw;
        }
        av_packet_unref(packet_);
    }
    if (rc != AVERROR(EAGAIN) && rc != AVERROR_EOF)
        throw ComponentError(FileErrorText("write", sink_.Path(), AvErrorText(rc)));
}

void RawEncoder::EncodeFrames(bool final) {
    const int ch = layout_.channels;
    const std::size_t frameBytes = static_cast<std::size_t>(2 * ch);
    const std::size_t step = codec_->frame_size > 1
                                 ? static_cast<std::size_t>(codec_->frame_size)
                                 : std::max<std::size_t>(pending_.size() / frameBytes, 1);
    if (final && !pending_.empty() && pending_.size() < step * frameBytes)
        pending_.resize(step * frameBytes, 0); // pad the last codec frame with silence
    std::size_t used = 0;
    while (pending_.size() - used >= step * frameBytes) {
        frame_->nb_samples = static_cast<int>(step);
        frame_->format = codec_->sample_fmt;
        av_channel_layout_copy(&frame_->ch_layout, &codec_->ch_layout);
        frame_->sample_rate = codec_->sample_rate;
        int rc = av_frame_get_buffer(frame_, 0);
        if (rc < 0)
            throw ComponentError(FileErrorText("write", sink_.Path(), AvErrorText(rc)));
        const std::uint8_t* src = pending_.data() + used;
        if (codec_->sample_fmt == AV_SAMPLE_FMT_S16P) {
            for (int c = 0; c < ch; ++c) {
                auto* dst = reinterpret_cast<std::int16_t*>(frame_->data[c]);
                for (std::size_t i = 0; i < step; ++i)
                    dst[i] = ReadS16(src + (i * ch + c) * 2);
            }
        } else {
            std::memcpy(frame_->data[0], src, step * frameBytes);
        }
        rc = avcodec_send_frame(codec_, frame_);
        av_frame_unref(frame_);
        if (rc < 0)
            throw ComponentError(FileErrorText("write", sink_.Path(), AvErrorText(rc)));
        Drain();
        used += step * frameBytes;
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(used));
}

void RawEncoder::Write(const std::uint8_t* pcm, std::size_t frames) {
    if (!sink_.IsOpen() || failed_)
        throw ComponentError(FileErrorText("write", sink_.Path(), "the file is not open"));
    try {
        const std::size_t bytes = frames * static_cast<std::size_t>(layout_.input.BytesPerFrame());
        if (Pcm()) {
            if (layout_.codecId == AV_CODEC_ID_PCM_S8) {
                scratch_.assign(pcm, pcm + bytes);
                QuantiseU8Buffer(scratch_.data(), bytes, layout_.storedBits);
                for (auto& b : scratch_)
                    b ^= 0x80; // unsigned to signed
                sink_.Write(scratch_.data(), bytes);
            } else {
                sink_.Write(pcm, bytes);
            }
            return;
        }
        pending_.insert(pending_.end(), pcm, pcm + bytes);
        EncodeFrames(false);
    } catch (...) {
        failed_ = true;
        throw;
    }
}

void RawEncoder::Close() {
    if (!sink_.IsOpen())
        return;
    if (failed_) {
        Release();
        return;
    }
    try {
        if (codec_ != nullptr) {
            EncodeFrames(true);
            if (avcodec_send_frame(codec_, nullptr) == 0)
                Drain();
        }
        sink_.Close();
    } catch (...) {
        Release();
        throw;
    }
    Release();
}

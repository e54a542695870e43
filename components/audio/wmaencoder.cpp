#include "wmaencoder.h"

#include "componenterror.h"
#include "ffmpegio.h"
#include "pcmconvert.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cstring>

WmaEncoder::WmaEncoder(int sampleRate, int channels, int bitrateKbps) : bitrate_(bitrateKbps) {
    input_.rate = sampleRate;
    input_.channels = channels;
    input_.type = SampleType::S16;
}

WmaEncoder::~WmaEncoder() {
    Release();
}

void WmaEncoder::Release() {
    if (format_ != nullptr) {
        format_->pb = nullptr;
        avformat_free_context(format_);
        format_ = nullptr;
    }
    avcodec_free_context(&codec_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    io_.reset();
    sink_.Abandon();
}

void WmaEncoder::Open(const std::string& path) {
    auto fail = [&](const std::string& cause) {
        Release();
        throw ComponentError(FileErrorText("create", path, cause));
    };
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
    if (codec == nullptr)
        fail("this FFmpeg has no WMA encoder");
    codec_ = avcodec_alloc_context3(codec);
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    if (codec_ == nullptr || frame_ == nullptr || packet_ == nullptr)
        fail("out of memory");
    codec_->sample_rate = input_.rate;
    av_channel_layout_default(&codec_->ch_layout, input_.channels);
    codec_->sample_fmt = AV_SAMPLE_FMT_FLTP;
    codec_->bit_rate = bitrate_ * 1000LL;
    codec_->time_base = AVRational{1, input_.rate};
    int rc = avformat_alloc_output_context2(&format_, nullptr, "asf", nullptr);
    if (rc < 0 || format_ == nullptr)
        fail("the ASF writer is missing: " + AvErrorText(rc));
    if (format_->oformat->flags & AVFMT_GLOBALHEADER)
        codec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    rc = avcodec_open2(codec_, codec, nullptr);
    if (rc < 0)
        fail("WMA at " + std::to_string(input_.rate) + " Hz, " + std::to_string(input_.channels) +
             " channels, " + std::to_string(bitrate_) + " kbit/s: " + AvErrorText(rc));
    AVStream* stream = avformat_new_stream(format_, nullptr);
    if (stream == nullptr)
        fail("out of memory");
    avcodec_parameters_from_context(stream->codecpar, codec_);
    stream->time_base = codec_->time_base;
    // An ASF packet still being filled lives only in memory; keep each to about 100 ms of audio
    // so a killed program loses less than a block.
    const long long packetSize = std::clamp(bitrate_ * 1000LL / 8 / 10, 256LL, 3200LL);
    av_opt_set_int(format_->priv_data, "packet_size", packetSize, 0);

    sink_.Create(path);
    try {
        io_ = std::make_unique<AvioSink>(sink_);
    } catch (...) {
        Release();
        throw;
    }
    format_->pb = io_->Context();
    format_->flags |= AVFMT_FLAG_FLUSH_PACKETS;
    try {
        io_->Check(avformat_write_header(format_, nullptr), "writing the ASF header");
        io_->Flush();
    } catch (...) {
        Release();
        throw;
    }
    // A WMA decoder spends the first frame priming its overlap and plays none of it, so the
    // recording begins after one frame of silence; else the first frame of audio
    // (up to 2048 samples) would be lost.
    pending_.assign(static_cast<std::size_t>(input_.channels),
                    std::vector<float>(static_cast<std::size_t>(codec_->frame_size), 0.0f));
    nextPts_ = 0;
    failed_ = false;
}

void WmaEncoder::EncodeFrame(bool flush) {
    int rc;
    if (flush) {
        rc = avcodec_send_frame(codec_, nullptr);
    } else {
        const int n = codec_->frame_size;
        frame_->nb_samples = n;
        frame_->format = codec_->sample_fmt;
        av_channel_layout_copy(&frame_->ch_layout, &codec_->ch_layout);
        frame_->sample_rate = codec_->sample_rate;
        if ((rc = av_frame_get_buffer(frame_, 0)) < 0)
            throw ComponentError(FileErrorText("write", sink_.Path(), AvErrorText(rc)));
        for (int c = 0; c < input_.channels; ++c) {
            auto& plane = pending_[static_cast<std::size_t>(c)];
            std::memcpy(frame_->data[c], plane.data(), sizeof(float) * static_cast<std::size_t>(n));
            plane.erase(plane.begin(), plane.begin() + n);
        }
        frame_->pts = nextPts_;
        nextPts_ += n;
        rc = avcodec_send_frame(codec_, frame_);
        av_frame_unref(frame_);
    }
    if (rc < 0)
        throw ComponentError(
            FileErrorText("write", sink_.Path(), "WMA encoder: " + AvErrorText(rc)));
    while ((rc = avcodec_receive_packet(codec_, packet_)) == 0) {
        packet_->stream_index = 0;
        av_packet_rescale_ts(packet_, codec_->time_base, format_->streams[0]->time_base);
        const int w = av_write_frame(format_, packet_);
        av_packet_unref(packet_);
        io_->Check(w, "writing a WMA packet");
    }
    if (rc != AVERROR(EAGAIN) && rc != AVERROR_EOF)
        throw ComponentError(
            FileErrorText("write", sink_.Path(), "WMA encoder: " + AvErrorText(rc)));
}

void WmaEncoder::Write(const std::uint8_t* pcm, std::size_t frames) {
    if (format_ == nullptr || failed_)
        throw ComponentError(FileErrorText("write", sink_.Path(), "the file is not open"));
    try {
        for (int c = 0; c < input_.channels; ++c) {
            auto& plane = pending_[static_cast<std::size_t>(c)];
            const std::size_t old = plane.size();
            plane.resize(old + frames);
            for (std::size_t f = 0; f < frames; ++f)
                plane[old + f] = ReadS16(pcm + (f * input_.channels + c) * 2) / 32768.0f;
        }
        while (pending_[0].size() >= static_cast<std::size_t>(codec_->frame_size))
            EncodeFrame(false);
        io_->Flush();
    } catch (...) {
        failed_ = true;
        throw;
    }
}

void WmaEncoder::Close() {
    if (format_ == nullptr)
        return;
    if (failed_) {
        Release();
        return;
    }
    try {
        if (!pending_[0].empty()) {
            // The codec takes whole frames only: the last one is padded with silence.
            for (auto& plane : pending_)
                plane.resize(static_cast<std::size_t>(codec_->frame_size), 0.0f);
            EncodeFrame(false);
        }
        EncodeFrame(true);
        io_->Check(av_write_trailer(format_), "finishing the ASF file");
        io_->Flush();
        sink_.Close();
    } catch (...) {
        Release();
        throw;
    }
    Release();
}

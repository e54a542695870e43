#include "wmaencoder.h"

#include "componenterror.h"
#include "ffmpegio.h"
#include "pcmconvert.h"
#include "tagroom.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cstring>

namespace {

std::uint64_t Le64(const std::uint8_t* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = v << 8 | p[i];
    return v;
}
void SetLe64(std::uint8_t* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Offsets inside the ASF objects the recording keeps up to date.
constexpr std::size_t kFileSizeAt = 40;    // File Properties: file size, creation date, data
constexpr std::size_t kFileFieldsLen = 40; // packets, play duration, send duration
constexpr std::size_t kPrerollAt = 80;
constexpr std::size_t kDataSizeAt = 16;    // Data Object: object size
constexpr std::size_t kDataPacketsAt = 40; // Data Object: total data packets
constexpr std::size_t kDataHeaderLen = 50;

} // namespace

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
    // An ASF packet still being filled lives only in memory: keep each to about one codec
    // frame, so a killed program loses no more than the other formats' encoders hold back.
    const long long packetSize = std::clamp(codec_->block_align + 64LL, 256LL, 3200LL);
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
    // Room for the tags: FFmpeg's header gets a title and one long attribute, and the two
    // objects holding them are then replaced by empty tag objects and a Padding object of the
    // same total size (tagroom.h), so tagging the recording rewrites header bytes only.
    av_dict_set(&format_->metadata, "title", " ", 0);
    av_dict_set(&format_->metadata, "room", std::string(AsfRoomBytes() / 2, 'x').c_str(), 0);
    try {
        // The header comes to memory first; from then on it is ours to write (FFmpeg rewrites
        // it at the end, and that copy only supplies the final sizes).
        io_->CaptureBelow(UINT64_MAX);
        io_->Check(avformat_write_header(format_, nullptr), "writing the ASF header");
        io_->Flush();
        header_ = io_->Captured();
        if (!AddTagRoom())
            fail("the ASF header FFmpeg wrote has an unexpected layout");
        io_->CaptureBelow(header_.size());
        sink_.WriteAt(0, header_.data(), header_.size());
        flushedMs_ = 0;
        UpdateHeader();
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

bool WmaEncoder::AddTagRoom() {
    std::vector<std::uint8_t>& h = header_;
    if (h.size() < 30 + kDataHeaderLen || std::memcmp(h.data(), kAsfHeaderGuid, 16) != 0)
        return false;
    const std::uint64_t size = Le64(h.data() + 16);
    if (size + kDataHeaderLen != h.size() || std::memcmp(h.data() + size, kAsfDataGuid, 16) != 0)
        return false;
    const std::uint32_t count =
        h[24] | h[25] << 8 | h[26] << 16 | static_cast<std::uint32_t>(h[27]) << 24;
    std::size_t at = 30, cd = 0, cdEnd = 0, ecdEnd = 0;
    fileProps_ = 0;
    for (std::uint32_t i = 0; i < count && at + 24 <= size; ++i) {
        const std::uint64_t len = Le64(h.data() + at + 16);
        if (len < 24 || len > size - at)
            return false;
        const std::size_t end = at + static_cast<std::size_t>(len);
        if (std::memcmp(h.data() + at, kAsfFilePropertiesGuid, 16) == 0)
            fileProps_ = at;
        if (std::memcmp(h.data() + at, kAsfContentDescriptionGuid, 16) == 0) {
            cd = at;
            cdEnd = end;
        }
        if (std::memcmp(h.data() + at, kAsfExtendedContentGuid, 16) == 0 && cd != 0 && at == cdEnd)
            ecdEnd = end;
        at = end;
    }
    // The Extended Content Description must follow the Content Description directly.
    if (fileProps_ == 0 || cd == 0 || ecdEnd <= cd || fileProps_ + kPrerollAt + 8 > size)
        return false;
    const std::vector<std::uint8_t> room = RenderAsfTagObjects(TagValues{}, ecdEnd - cd);
    if (room.empty())
        return false;
    std::copy(room.begin(), room.end(), h.begin() + static_cast<std::ptrdiff_t>(cd));
    const std::uint32_t objects = count + 1;
    for (int i = 0; i < 4; ++i)
        h[24 + i] = static_cast<std::uint8_t>(objects >> (8 * i));
    dataObject_ = static_cast<std::size_t>(size);
    prerollMs_ = Le64(h.data() + fileProps_ + kPrerollAt);
    packetSize_ = h[fileProps_ + 92] | h[fileProps_ + 93] << 8 | h[fileProps_ + 94] << 16 |
                  static_cast<std::uint32_t>(h[fileProps_ + 95]) << 24;
    return packetSize_ > 0;
}

void WmaEncoder::UpdateHeader() {
    // What is on disk: whole ASF packets after the Data Object's header, and the audio up to
    // the last codec packet that has left the muxer's packet being filled.
    const std::uint64_t dataStart = dataObject_ + kDataHeaderLen;
    const std::uint64_t packets =
        sink_.Size() > dataStart ? (sink_.Size() - dataStart) / packetSize_ : 0;
    const std::uint64_t duration = static_cast<std::uint64_t>(flushedMs_) * 10000;
    std::uint8_t* f = header_.data() + fileProps_ + kFileSizeAt;
    SetLe64(f, sink_.Size());
    SetLe64(f + 16, packets);
    SetLe64(f + 24, duration + prerollMs_ * 10000);
    SetLe64(f + 32, duration);
    sink_.WriteAt(fileProps_ + kFileSizeAt, f, kFileFieldsLen);
    std::uint8_t* d = header_.data() + dataObject_;
    SetLe64(d + kDataSizeAt, kDataHeaderLen + packets * packetSize_);
    SetLe64(d + kDataPacketsAt, packets);
    sink_.WriteAt(dataObject_ + kDataSizeAt, d + kDataSizeAt, kDataPacketsAt + 8 - kDataSizeAt);
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
        const std::int64_t startMs =
            av_rescale_q(packet_->pts, format_->streams[0]->time_base, AVRational{1, 1000});
        const std::uint64_t before = sink_.Size();
        const int w = av_write_frame(format_, packet_);
        av_packet_unref(packet_);
        io_->Check(w, "writing a WMA packet");
        // A full ASF packet went out: every codec packet before this one is in the file.
        if (sink_.Size() > before && startMs > flushedMs_)
            flushedMs_ = startMs;
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
        UpdateHeader();
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
        // FFmpeg's final copy of the header (captured, same layout up to the tag room) has the
        // exact sizes and duration; ours takes them over.
        const std::vector<std::uint8_t>& last = io_->Captured();
        const std::size_t fieldsEnd = fileProps_ + kFileSizeAt + kFileFieldsLen;
        const std::size_t dataEnd = dataObject_ + kDataPacketsAt + 8;
        if (last.size() >= header_.size() && fieldsEnd <= header_.size() &&
            dataEnd <= header_.size() &&
            std::memcmp(last.data() + dataObject_, kAsfDataGuid, 16) == 0) {
            std::copy(last.begin() + static_cast<std::ptrdiff_t>(fileProps_ + kFileSizeAt),
                      last.begin() + static_cast<std::ptrdiff_t>(fieldsEnd),
                      header_.begin() + static_cast<std::ptrdiff_t>(fileProps_ + kFileSizeAt));
            sink_.WriteAt(fileProps_ + kFileSizeAt, header_.data() + fileProps_ + kFileSizeAt,
                          kFileFieldsLen);
            sink_.WriteAt(dataObject_ + kDataSizeAt, last.data() + dataObject_ + kDataSizeAt,
                          kDataPacketsAt + 8 - kDataSizeAt);
        }
        sink_.Close();
    } catch (...) {
        Release();
        throw;
    }
    Release();
}

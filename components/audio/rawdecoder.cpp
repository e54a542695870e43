#include "rawdecoder.h"

#include "componenterror.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {
// PCM and G.711 are read this many frames at a time.
constexpr int kPcmFramesPerPacket = 4096;
} // namespace

RawDecoder::RawDecoder(const std::string& path, const RawFormat& format) : PacketDecoder(path) {
    std::string why;
    if (!DescribeRaw(format, layout_, why))
        FailOpen(why);
    file_ = std::fopen(path.c_str(), "rb");
    if (file_ == nullptr)
        FailOpen(std::strerror(errno));
    fileOwner_.reset(file_);
    struct stat st {};
    if (::fstat(fileno(file_), &st) != 0 || !S_ISREG(st.st_mode))
        FailOpen("not a regular file");
    size_ = st.st_size;
    AVCodecParameters* par = avcodec_parameters_alloc();
    if (par == nullptr)
        FailOpen("out of memory");
    par->codec_type = AVMEDIA_TYPE_AUDIO;
    par->codec_id = static_cast<AVCodecID>(layout_.codecId);
    par->sample_rate = layout_.sampleRate;
    av_channel_layout_default(&par->ch_layout, layout_.channels);
    par->block_align = layout_.packetBytes;
    if (layout_.codecId == AV_CODEC_ID_ADPCM_IMA_WAV || layout_.codecId == AV_CODEC_ID_ADPCM_MS)
        par->bits_per_coded_sample = 4;
    try {
        OpenCodec(par);
    } catch (...) {
        avcodec_parameters_free(&par);
        throw;
    }
    avcodec_parameters_free(&par);
}

RawDecoder::~RawDecoder() = default;

std::int64_t RawDecoder::LengthFrames() {
    return size_ / layout_.packetBytes * layout_.packetFrames;
}

int RawDecoder::BitRate() {
    return static_cast<int>(static_cast<std::int64_t>(layout_.packetBytes) * 8 *
                            layout_.sampleRate / layout_.packetFrames);
}

int RawDecoder::ReadPacket(AVPacket* packet) {
    const int packets = layout_.packetFrames == 1 ? kPcmFramesPerPacket : 1;
    const std::int64_t whole = (size_ - offset_) / layout_.packetBytes;
    const std::int64_t n = std::min<std::int64_t>(packets, whole);
    if (n <= 0)
        return AVERROR_EOF;
    const int bytes = static_cast<int>(n * layout_.packetBytes);
    if (av_new_packet(packet, bytes) < 0)
        return AVERROR(ENOMEM);
    const std::size_t got = std::fread(packet->data, 1, static_cast<std::size_t>(bytes), file_);
    const int usable = static_cast<int>(got) / layout_.packetBytes * layout_.packetBytes;
    if (usable <= 0) {
        av_packet_unref(packet);
        return AVERROR_EOF;
    }
    av_shrink_packet(packet, usable);
    offset_ += usable;
    return 0;
}

std::int64_t RawDecoder::Reposition(std::int64_t frame) {
    const std::int64_t packet = std::max<std::int64_t>(frame, 0) / layout_.packetFrames;
    offset_ = packet * layout_.packetBytes;
    if (std::fseek(file_, static_cast<long>(offset_), SEEK_SET) != 0)
        offset_ = size_;
    return packet * layout_.packetFrames;
}

std::int64_t RawDecoder::Preroll() const {
    // GSM 6.10 carries predictor state from frame to frame, and on steady tones it takes a long
    // stretch to rebuild it; the other codecs start fresh in every packet.
    return layout_.codecId == AV_CODEC_ID_GSM ? 30LL * layout_.sampleRate : 0;
}

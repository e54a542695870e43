#include "containerdecoder.h"

#include "componenterror.h"
#include "ffmpegio.h"
#include "filesink.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <vector>

namespace {

std::uint32_t Be32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           p[3];
}

// A file read from `at`, a window at a time, for following frame headers.
class HeaderReader {
public:
    explicit HeaderReader(const std::string& path)
        : f_(std::fopen(path.c_str(), "rb")), buf_(65536) {}
    ~HeaderReader() {
        if (f_ != nullptr)
            std::fclose(f_);
    }
    HeaderReader(const HeaderReader&) = delete;
    HeaderReader& operator=(const HeaderReader&) = delete;

    // The 4 bytes at `at`, nullptr past the end or on a read error.
    const std::uint8_t* At(std::int64_t at) {
        if (f_ == nullptr || at < 0)
            return nullptr;
        if (at < from_ || at + 4 > from_ + static_cast<std::int64_t>(size_)) {
            from_ = at;
            size_ = std::fseek(f_, static_cast<long>(at), SEEK_SET) == 0
                        ? std::fread(buf_.data(), 1, buf_.size(), f_)
                        : 0;
            if (size_ < 4)
                return nullptr;
        }
        return buf_.data() + (at - from_);
    }

private:
    std::FILE* f_;
    std::vector<std::uint8_t> buf_;
    std::int64_t from_ = 0;
    std::size_t size_ = 0;
};

// Whether two layer III headers belong to one stream: same MPEG version, sample rate, and
// mono or not (LAME's joint stereo switches between the stereo modes frame by frame).
bool SameStream(const std::uint8_t* a, const std::uint8_t* b) {
    return (a[1] & 0xfe) == (b[1] & 0xfe) && (a[2] & 0x0c) == (b[2] & 0x0c) &&
           ((a[3] >> 6) == 3) == ((b[3] >> 6) == 3);
}

} // namespace

ContainerDecoder::ContainerDecoder(const std::string& path) : PacketDecoder(path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        FailOpen(std::strerror(errno));
    if (!S_ISREG(st.st_mode))
        FailOpen("not a regular file");
    format_ = avformat_alloc_context();
    if (format_ == nullptr)
        FailOpen("out of memory");
    // Headers are all we need; keep probing short so listing many files stays quick.
    format_->probesize = 64 * 1024;
    format_->max_analyze_duration = 500000;
    AVDictionary* options = nullptr;
    // MP3: seek through the packet index, not the approximate table of contents, so
    // timestamps after a seek are exact.
    av_dict_set(&options, "usetoc", "0", 0);
    // A tag followed by MPEG frames is an MP3 without asking every format: our recordings'
    // tag is larger than the probe reads, and past it lie the frames the probe would need.
    mp3_ = ReadMp3Stream(path);
    const AVInputFormat* known = mp3_.framed ? av_find_input_format("mp3") : nullptr;
    int rc = avformat_open_input(&format_, path.c_str(), known, &options);
    av_dict_free(&options);
    formatOwner_.reset(rc < 0 ? nullptr : format_);
    if (rc < 0) {
        format_ = nullptr; // freed by avformat_open_input
        if (rc == AVERROR(ENOENT) || rc == AVERROR(EACCES) || rc == AVERROR(EISDIR))
            FailOpen(AvErrorText(rc));
        FailOpen("not an audio file we can read");
    }
    stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    AVCodecParameters* par = stream_ >= 0 ? format_->streams[stream_]->codecpar : nullptr;
    if (par == nullptr || par->sample_rate <= 0 || par->ch_layout.nb_channels <= 0) {
        // Some containers learn the format only from the first packets.
        if (avformat_find_stream_info(format_, nullptr) < 0)
            FailOpen("not an audio file we can read");
        stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        par = stream_ >= 0 ? format_->streams[stream_]->codecpar : nullptr;
    }
    if (par == nullptr)
        FailOpen("not an audio file we can read");
    for (unsigned i = 0; i < format_->nb_streams; ++i)
        if (static_cast<int>(i) != stream_)
            format_->streams[i]->discard = AVDISCARD_ALL;
    const AVRational tb = format_->streams[stream_]->time_base;
    OpenCodec(par, tb.num, tb.den);
    frameSize_ = par->frame_size;
    if (std::strcmp(format_->iformat->name, "mp3") == 0) {
        if ((length_ = mp3_.length) >= 0) {
            SetEndFrame(length_); // a decoder restarted by a seek may not drop the padding itself
            indexState_ = IndexState::Unread; // read at the first seek, not for a listing
        }
    }
    // Settled now, while nothing has been read: a file without a recorded length is scanned, and
    // the scan moves the demuxer.
    LengthFrames();
}

ContainerDecoder::~ContainerDecoder() = default;

void ContainerDecoder::FormatCloser::operator()(AVFormatContext* format) const {
    avformat_close_input(&format);
}

std::int64_t ContainerDecoder::ToFrames(std::int64_t ts) const {
    const AVRational tb = format_->streams[stream_]->time_base;
    return av_rescale_q_rnd(ts, tb, AVRational{1, rate_},
                            static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
}

std::int64_t ContainerDecoder::LengthFrames() {
    if (length_ >= 0)
        return length_;
    const AVStream* st = format_->streams[stream_];
    if (format_->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE)
        length_ = ScanLength(); // a guess from the bit rate is no length
    else if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
        length_ = ToFrames(st->duration);
    else if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0)
        length_ = av_rescale(format_->duration, rate_, AV_TIME_BASE);
    else
        length_ = ScanLength();
    return length_;
}

std::int64_t ContainerDecoder::ScanLength() {
    // No record of the length: read every packet (no decoding) and add up their durations.
    if (av_seek_frame(format_, stream_, 0, AVSEEK_FLAG_BACKWARD) < 0)
        av_seek_frame(format_, -1, 0, AVSEEK_FLAG_BYTE | AVSEEK_FLAG_BACKWARD);
    AVPacket* pkt = av_packet_alloc();
    std::int64_t first = AV_NOPTS_VALUE, end = 0, summed = 0;
    while (pkt != nullptr && av_read_frame(format_, pkt) >= 0) {
        if (pkt->stream_index == stream_) {
            if (pkt->pts != AV_NOPTS_VALUE) {
                if (first == AV_NOPTS_VALUE)
                    first = pkt->pts;
                end = std::max(end, pkt->pts + pkt->duration - first);
            }
            summed += pkt->duration;
        }
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    Reposition(0);
    return ToFrames(std::max(end, summed));
}

int ContainerDecoder::BitRate() {
    const AVCodecParameters* par = format_->streams[stream_]->codecpar;
    // The stream's own rate first: a 128 kbit/s MP3 is 128 kbit/s, whatever its tags and info
    // frame add to the file; the container's average only where the stream has none.
    if (par->bit_rate > 0)
        return static_cast<int>(std::min<std::int64_t>(par->bit_rate, INT32_MAX));
    if (format_->bit_rate > 0)
        return static_cast<int>(std::min<std::int64_t>(format_->bit_rate, INT32_MAX));
    const std::int64_t frames = LengthFrames();
    const std::int64_t size = format_->pb != nullptr ? avio_size(format_->pb) : 0;
    if (frames > 0 && size > 0)
        return static_cast<int>(std::min<std::int64_t>(size * 8 * rate_ / frames, INT32_MAX));
    return 0;
}

int ContainerDecoder::ReadPacket(AVPacket* packet) {
    for (;;) {
        const int rc = av_read_frame(format_, packet);
        if (rc < 0)
            return rc;
        if (packet->stream_index != stream_) {
            av_packet_unref(packet);
            continue;
        }
        if (byIndex_) {
            // The demuxer no longer knows where it is and may take the packet for the first
            // and ask the decoder to drop the encoder delay again; the position is known here.
            std::size_t size = 0;
            if (std::uint8_t* skip =
                    av_packet_get_side_data(packet, AV_PKT_DATA_SKIP_SAMPLES, &size))
                std::memset(skip, 0, size);
        }
        return 0;
    }
}

// The exact length of an MP3 file from its Xing/Info frame and encoder tag: frames times
// samples per frame, less the encoder delay and padding that a gapless decoder drops. Length -1
// when the file has no such record (or it says nothing, as in a recording that was killed).
ContainerDecoder::Mp3Stream ContainerDecoder::ReadMp3Stream(const std::string& path) {
    Mp3Stream s;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return s;
    std::uint8_t b[4096];
    std::size_t n = std::fread(b, 1, 10, f);
    const bool tagged = n == 10 && std::memcmp(b, "ID3", 3) == 0;
    if (tagged) {
        s.start =
            10 + ((b[6] & 0x7f) << 21 | (b[7] & 0x7f) << 14 | (b[8] & 0x7f) << 7 | (b[9] & 0x7f));
        if (b[5] & 0x10)
            s.start += 10;
    }
    n = std::fseek(f, static_cast<long>(s.start), SEEK_SET) == 0 ? std::fread(b, 1, sizeof b, f)
                                                                 : 0;
    std::fclose(f);
    const std::size_t first = n >= 4 ? Mp3FrameLength(b) : 0;
    if (first == 0)
        return s; // not a layer III frame right there
    s.framed =
        tagged && first + 4 <= n && Mp3FrameLength(b + first) > 0 && SameStream(b, b + first);
    const int version = (b[1] >> 3) & 3; // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    std::memcpy(s.header, b, 4);
    const bool mono = ((b[3] >> 6) & 3) == 3;
    std::size_t at = 4 + (version == 3 ? (mono ? 17 : 32) : (mono ? 9 : 17));
    if ((b[1] & 1) == 0)
        at += 2; // CRC
    if (at + 8 > n || (std::memcmp(b + at, "Xing", 4) != 0 && std::memcmp(b + at, "Info", 4) != 0))
        return s;
    const std::uint32_t flags = Be32(b + at + 4);
    at += 8;
    std::int64_t frames = 0;
    if (flags & 1) {
        if (at + 4 > n)
            return s;
        frames = Be32(b + at);
        at += 4;
    }
    at += (flags & 2 ? 4 : 0) + (flags & 4 ? 100 : 0) + (flags & 8 ? 4 : 0);
    if (frames <= 0 || at + 24 > n)
        return s;
    const std::uint8_t* tag = b + at;
    if (std::memcmp(tag, "LAME", 4) != 0 && std::memcmp(tag, "Lavf", 4) != 0 &&
        std::memcmp(tag, "Lavc", 4) != 0)
        return s;
    const int delay = (tag[21] << 4) | (tag[22] >> 4);
    const int padding = ((tag[22] & 0x0f) << 8) | tag[23];
    const std::int64_t length = frames * (version == 3 ? 1152 : 576) - delay - padding;
    if (length <= 0)
        return s;
    s.frames = frames;
    s.samplesPerFrame = version == 3 ? 1152 : 576;
    // The decoder's own delay (529 samples) comes on top of the encoder's.
    s.skip = delay + 529;
    s.length = length;
    return s;
}

std::int64_t ContainerDecoder::RepositionByIndex(std::int64_t frame) {
    if (indexState_ == IndexState::Unread) {
        indexState_ = IndexState::None;
        // The index is the tag's first frame; the tag lies before the stream.
        std::vector<std::uint8_t> head(static_cast<std::size_t>(std::min<std::int64_t>(
            mp3_.start, 20 + static_cast<std::int64_t>(Mp3IndexFrameBytes()))));
        std::FILE* f = std::fopen(path_.c_str(), "rb");
        const bool read = f != nullptr && std::fread(head.data(), 1, head.size(), f) == head.size();
        if (f != nullptr)
            std::fclose(f);
        const std::int64_t size = format_->pb != nullptr ? avio_size(format_->pb) : -1;
        // It must describe this stream: the info frame's count of audio frames after it, and
        // bytes that the file holds.
        if (read && FindMp3FrameIndex(head.data(), head.size(), index_) &&
            static_cast<std::int64_t>(index_.frames) == mp3_.frames + 1 &&
            mp3_.start + static_cast<std::int64_t>(index_.bytes) <= size)
            indexState_ = IndexState::Usable;
    }
    if (indexState_ != IndexState::Usable)
        return kUnknown;
    // Stream frame q (the info frame is 0) starts at sample (q - 1) * samplesPerFrame - skip.
    const std::int64_t q = (frame + mp3_.skip) / mp3_.samplesPerFrame + 1;
    if (q < 2 || q >= static_cast<std::int64_t>(index_.frames))
        return kUnknown;
    // From the entry before the frame to the next entry (or the end of the stream), checking
    // that a header follows each frame and that the walk arrives where the next entry says.
    const std::size_t entry = static_cast<std::size_t>(q / index_.stride);
    const std::int64_t last =
        std::min<std::int64_t>((static_cast<std::int64_t>(entry) + 1) * index_.stride,
                               static_cast<std::int64_t>(index_.frames));
    const std::int64_t arrive =
        mp3_.start + static_cast<std::int64_t>(entry + 1 < index_.offsets.size()
                                                   ? index_.offsets[entry + 1]
                                                   : index_.bytes);
    std::int64_t walk = mp3_.start + static_cast<std::int64_t>(index_.offsets[entry]), at = -1;
    HeaderReader reader(path_);
    for (std::int64_t k = static_cast<std::int64_t>(entry) * index_.stride; k < last; ++k) {
        const std::uint8_t* h = reader.At(walk);
        const std::size_t length = h != nullptr ? Mp3FrameLength(h) : 0;
        if (length == 0 || !SameStream(h, mp3_.header))
            break;
        if (k == q)
            at = walk;
        walk += static_cast<std::int64_t>(length);
    }
    if (at < 0 || walk != arrive) {
        indexState_ = IndexState::None; // the stream is not what the index describes
        return kUnknown;
    }
    if (av_seek_frame(format_, -1, at, AVSEEK_FLAG_BYTE) < 0)
        return kUnknown;
    return (q - 1) * mp3_.samplesPerFrame - mp3_.skip;
}

std::int64_t ContainerDecoder::Reposition(std::int64_t frame) {
    byIndex_ = false;
    if (frame > 0 && indexState_ != IndexState::None) {
        const std::int64_t at = RepositionByIndex(frame);
        if (at != kUnknown) {
            byIndex_ = true;
            return at;
        }
    }
    if (frame <= 0) {
        // The beginning: the demuxer restarts its own start-of-stream handling (encoder delay).
        if (avformat_seek_file(format_, stream_, INT64_MIN, INT64_MIN, 0, 0) < 0)
            av_seek_frame(format_, -1, 0, AVSEEK_FLAG_BYTE | AVSEEK_FLAG_BACKWARD);
        return 0;
    }
    if (origin_ == kUnknown)
        LearnOrigin();
    const AVRational tb = format_->streams[stream_]->time_base;
    const std::int64_t ts = av_rescale_q(frame, AVRational{1, rate_}, tb) + origin_;
    if (av_seek_frame(format_, stream_, ts, AVSEEK_FLAG_BACKWARD) < 0) {
        Reposition(0);
        return 0;
    }
    return kUnknown;
}

void ContainerDecoder::LearnOrigin() {
    const std::int64_t ts = FirstTimestamp();
    origin_ = ts == AV_NOPTS_VALUE ? 0 : ts;
}

std::int64_t ContainerDecoder::FramePosition(const AVFrame* frame) {
    const std::int64_t ts = frame->best_effort_timestamp;
    if (ts == AV_NOPTS_VALUE)
        return kUnknown;
    std::int64_t pos = ToFrames(ts - origin_);
    // Timestamps coarser than one sample (ASF counts milliseconds) are put back on the codec's
    // frame grid, on which every frame starts.
    const AVRational tb = format_->streams[stream_]->time_base;
    const int grid = frameSize_ > 0 ? frameSize_ : frame->nb_samples;
    if (tb.den < rate_ * static_cast<std::int64_t>(tb.num) && grid > 0)
        pos = (pos + grid / 2) / grid * grid;
    return pos;
}

std::int64_t ContainerDecoder::Preroll() const {
    // One second settles every decoder here (MP3's bit reservoir, Vorbis' overlap).
    return rate_;
}

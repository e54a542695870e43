#include "mp3encoder.h"

#include "componenterror.h"
#include "mp3frameindex.h"
#include "pcmconvert.h"
#include "tagroom.h"

#include <algorithm>
#include <lame/lame.h>

bool Mp3Encoder::IsSupported(int sampleRate, int bitrate, int channelMode) {
    if (channelMode != 1 && channelMode != 2)
        return false;
    const int max = MaxBitrate(sampleRate);
    const int min = max == 320 ? 32 : 8;
    return max > 0 && bitrate >= min && bitrate <= max;
}

int Mp3Encoder::MaxBitrate(int sampleRate) {
    switch (sampleRate) {
    case 32000:
    case 44100:
    case 48000:
        return 320; // MPEG-1
    case 16000:
    case 22050:
    case 24000:
        return 160; // MPEG-2
    case 8000:
    case 11025:
    case 12000:
        return 64; // MPEG-2.5
    default:
        return 0;
    }
}

namespace {

// FFmpeg takes a file for MP3 with certainty only when this many frames follow one another from
// the start of the stream (the info frame included). With fewer, its guess ties with other
// formats' (H.263 on some audio, found in one short recording in a few hundred) and it may not
// open the file at all.
constexpr int kFewestFrames = 7;

// The whole frames LAME wrote between `from` and `to` of the file, counted up to `most`. Only
// the bytes those frames can take are read: a day's recording is hundreds of megabytes. They are
// read through the sink, which reaches the file wherever it was moved meanwhile.
int CountFrames(const FileSink& sink, std::uint64_t from, std::uint64_t to, int most) {
    constexpr std::uint64_t kLongestFrame = 1441; // 320 kbit/s at 32 kHz, padded
    std::vector<unsigned char> bytes(
        static_cast<std::size_t>(std::min(to - from, kLongestFrame * static_cast<unsigned>(most))));
    if (sink.ReadAt(from, bytes.data(), bytes.size()) != bytes.size())
        return 0;
    int frames = 0;
    for (std::size_t at = 0; at + 4 <= bytes.size() && frames < most;) {
        const std::size_t length = Mp3FrameLength(bytes.data() + at);
        if (length == 0 || at + length > bytes.size())
            break;
        at += length;
        ++frames;
    }
    return frames;
}

} // namespace

std::vector<unsigned char> Mp3Encoder::PlaceholderFrame(lame_global_struct* configured) {
    // LAME hands out its placeholder for the info frame only with its first encoded audio. A
    // second encoder set up the same way is run on silence to obtain a frame of the same size,
    // so the file holds a decodable stream from the moment it is created.
    std::vector<unsigned char> frame;
    lame_global_struct* scratch = lame_init();
    if (scratch == nullptr)
        return frame;
    lame_set_in_samplerate(scratch, lame_get_in_samplerate(configured));
    lame_set_out_samplerate(scratch, lame_get_out_samplerate(configured));
    lame_set_num_channels(scratch, lame_get_num_channels(configured));
    lame_set_mode(scratch, lame_get_mode(configured));
    lame_set_quality(scratch, 9);
    lame_set_bWriteVbrTag(scratch, 1);
    lame_set_VBR(scratch, lame_get_VBR(configured));
    lame_set_VBR_quality(scratch, lame_get_VBR_quality(configured));
    lame_set_VBR_max_bitrate_kbps(scratch, lame_get_VBR_max_bitrate_kbps(configured));
    lame_set_VBR_hard_min(scratch, lame_get_VBR_hard_min(configured));
    lame_set_brate(scratch, lame_get_brate(configured));
    if (lame_init_params(scratch) >= 0) {
        std::vector<short> silence(1152, 0);
        std::vector<unsigned char> out(16384);
        int bytes = 0;
        for (int i = 0; i < 64 && bytes == 0; ++i)
            bytes = lame_encode_buffer(scratch, silence.data(), silence.data(), 1152, out.data(),
                                       static_cast<int>(out.size()));
        if (bytes == 0)
            bytes = lame_encode_flush(scratch, out.data(), static_cast<int>(out.size()));
        const std::size_t length = bytes >= 4 ? Mp3FrameLength(out.data()) : 0;
        if (length > 0 && length <= static_cast<std::size_t>(bytes))
            frame.assign(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(length));
    }
    lame_close(scratch);
    return frame;
}

Mp3Encoder::Mp3Encoder(const Mp3EncoderSettings& settings) : settings_(settings) {
    input_.rate = settings.sampleRate;
    input_.channels = settings.channelMode == 1 ? 1 : 2;
    input_.type = SampleType::S16;
}

Mp3Encoder::~Mp3Encoder() {
    sink_.Abandon();
    Release();
}

void Mp3Encoder::Release() {
    if (lame_ != nullptr)
        lame_close(lame_);
    lame_ = nullptr;
}

void Mp3Encoder::Open(const std::string& path) {
    const Mp3EncoderSettings& s = settings_;
    if (!IsSupported(s.sampleRate, s.bitrate, s.channelMode))
        throw ComponentError(FileErrorText(
            "create", path,
            "MP3 at " + std::to_string(s.sampleRate) + " Hz, " + std::to_string(s.bitrate) +
                " kbit/s, channel mode " + std::to_string(s.channelMode) + " is not supported"));
    lame_ = lame_init();
    if (lame_ == nullptr)
        throw ComponentError(FileErrorText("create", path, "the MP3 encoder cannot start"));
    lame_set_in_samplerate(lame_, s.sampleRate);
    lame_set_out_samplerate(lame_, s.sampleRate);
    lame_set_num_channels(lame_, input_.channels);
    lame_set_mode(lame_, input_.channels == 1 ? MONO : JOINT_STEREO);
    lame_set_quality(lame_, std::clamp(s.quality, 0, 9));
    lame_set_bWriteVbrTag(lame_, 1);
    if (s.vbr) {
        lame_set_VBR(lame_, vbr_mtrh);
        lame_set_VBR_quality(lame_, static_cast<float>(std::clamp(s.vbrQuality, 0, 9)));
        // The maximum must be one the MPEG version of the rate can carry.
        const int max = std::clamp(s.vbrBitrate, 8, MaxBitrate(s.sampleRate));
        lame_set_VBR_max_bitrate_kbps(lame_, max);
        lame_set_VBR_hard_min(lame_, 0);
    } else {
        lame_set_VBR(lame_, vbr_off);
        lame_set_brate(lame_, s.bitrate);
    }
    if (lame_init_params(lame_) < 0) {
        Release();
        throw ComponentError(
            FileErrorText("create", path, "the MP3 encoder refuses these settings"));
    }
    try {
        sink_.Create(path);
        // Room for the tags at the front, then a frame where the info frame goes: the file is
        // an MP3 with a tag from the start, and the tags written at the stop move nothing.
        indexer_ = Mp3FrameIndexer(indexEntries_);
        const std::vector<std::uint8_t> tag =
            RenderId3v2(TagValues{}, Id3RoomBytes(), indexer_.Render());
        sink_.Write(tag.data(), tag.size());
        streamStart_ = tag.size();
        // Two frames: FFmpeg takes a stream for MP3 only when one frame leads to the next.
        placeholder_ = PlaceholderFrame(lame_);
        sink_.Write(placeholder_.data(), placeholder_.size());
        sink_.Write(placeholder_.data(), placeholder_.size());
        // LAME's first output starts with its own placeholder of that size, written over ours,
        // and its audio frames replace the second one.
        sink_.Seek(streamStart_);
    } catch (...) {
        sink_.Abandon();
        Release();
        throw;
    }
}

void Mp3Encoder::Write(const std::uint8_t* pcm, std::size_t frames) {
    if (lame_ == nullptr || sink_.Failed())
        throw ComponentError(FileErrorText("write", sink_.Path(), "the file is not open"));
    // LAME takes at most INT_MAX samples per call; blocks are far smaller, but stay safe.
    const std::size_t chunk = 1 << 20;
    while (frames > 0) {
        const std::size_t n = std::min(frames, chunk);
        out_.resize(n * 5 / 4 + 7200);
        left_.resize(n);
        right_.resize(input_.channels == 2 ? n : 0);
        for (std::size_t i = 0; i < n; ++i) {
            left_[i] = ReadS16(pcm + i * input_.channels * 2);
            if (input_.channels == 2)
                right_[i] = ReadS16(pcm + i * 4 + 2);
        }
        const int bytes = lame_encode_buffer(
            lame_, left_.data(), input_.channels == 2 ? right_.data() : left_.data(),
            static_cast<int>(n), out_.data(), static_cast<int>(out_.size()));
        if (bytes < 0)
            throw ComponentError(FileErrorText(
                "write", sink_.Path(), "the MP3 encoder failed (" + std::to_string(bytes) + ")"));
        sink_.Write(out_.data(), static_cast<std::size_t>(bytes));
        indexer_.Feed(out_.data(), static_cast<std::size_t>(bytes));
        pcm += n * input_.channels * 2;
        frames -= n;
    }
}

void Mp3Encoder::Close() {
    if (!sink_.IsOpen()) {
        Release();
        return;
    }
    if (sink_.Failed() || lame_ == nullptr) {
        sink_.Abandon();
        Release();
        return;
    }
    try {
        out_.resize(7200 * 2);
        const int bytes = lame_encode_flush(lame_, out_.data(), static_cast<int>(out_.size()));
        if (bytes > 0) {
            sink_.Write(out_.data(), static_cast<std::size_t>(bytes));
            indexer_.Feed(out_.data(), static_cast<std::size_t>(bytes));
        }
        const std::uint64_t end = sink_.Position();
        const int frames = CountFrames(sink_, streamStart_, end, kFewestFrames);
        if (frames < kFewestFrames) {
            // Next to no audio (stopped within the first tenth of a second): such a file is
            // filled up with silent frames and keeps no info frame, and decodes to at most
            // 0.19 s, up to 0.19 s longer than it was recorded.
            for (int i = frames; i < kFewestFrames; ++i)
                sink_.Write(placeholder_.data(), placeholder_.size());
        } else {
            // The info frame replaces the placeholder LAME put first in the stream.
            unsigned char tag[2880];
            const std::size_t tagSize = lame_get_lametag_frame(lame_, tag, sizeof tag);
            if (tagSize > 0 && tagSize <= sizeof tag && streamStart_ + tagSize <= sink_.Size()) {
                // LAME's count of the stream's bytes has wrapped past 4 GiB: "not known" instead.
                if (end - streamStart_ > UINT32_MAX)
                    ClearInfoFrameByteCount(tag, tagSize);
                sink_.WriteAt(streamStart_, tag, tagSize);
                // The frame index, first in the ID3v2 tag, once the stream is complete; the
                // info frame took its placeholder's place, so the frames lie where they were.
                if (Mp3FrameLength(tag) == tagSize && tagSize == placeholder_.size()) {
                    const std::vector<std::uint8_t> index = indexer_.Render();
                    sink_.WriteAt(10, index.data(), index.size());
                }
            }
            // What is left of the second placeholder after a very short recording.
            sink_.Truncate(end);
        }
        sink_.Close();
    } catch (...) {
        sink_.Abandon();
        Release();
        throw;
    }
    Release();
}

#include "mp3encoder.h"

#include "componenterror.h"
#include "pcmconvert.h"

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
    } catch (...) {
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
        if (bytes > 0)
            sink_.Write(out_.data(), static_cast<std::size_t>(bytes));
        // The info frame replaces the placeholder LAME put first in the stream.
        unsigned char tag[2880];
        const std::size_t tagSize = lame_get_lametag_frame(lame_, tag, sizeof tag);
        if (tagSize > 0 && tagSize <= sizeof tag && tagSize <= sink_.Size())
            sink_.WriteAt(0, tag, tagSize);
        sink_.Close();
    } catch (...) {
        sink_.Abandon();
        Release();
        throw;
    }
    Release();
}

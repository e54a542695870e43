#pragma once

// Audio files for the player and list tests, made by the program's own file component.

#include "block.h"
#include "pcmformat.h"
#include "taudiofile2.h"

#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

enum class TestFormat { Wav, Mp3, Ogg, Wma, Raw };

// Interleaved PCM of a sine in `format` for `frames` frames; the tone changes to `secondHz` from
// frame `switchAt` on (so a test can tell the halves of a file apart).
inline Block SinePcm(const PcmFormat& format, std::int64_t firstFrame, int frames, double hz,
                     double secondHz = 0, std::int64_t switchAt = -1) {
    Block block(static_cast<std::size_t>(frames) * format.BytesPerFrame());
    const int bytes = BytesPerSample(format.type);
    std::uint8_t* out = block.data();
    for (int i = 0; i < frames; ++i) {
        const std::int64_t n = firstFrame + i;
        const double f = (switchAt >= 0 && n >= switchAt) ? secondHz : hz;
        const double v = 0.5 * std::sin(2.0 * M_PI * f * static_cast<double>(n) / format.rate);
        for (int c = 0; c < format.channels; ++c) {
            switch (format.type) {
            case SampleType::U8:
                *out = static_cast<std::uint8_t>(128 + std::lround(v * 127));
                break;
            case SampleType::S16: {
                const auto s = static_cast<std::int16_t>(std::lround(v * 32767));
                std::memcpy(out, &s, 2);
                break;
            }
            case SampleType::S24: {
                const auto s = static_cast<std::int32_t>(std::lround(v * 8388607));
                out[0] = s & 0xff;
                out[1] = (s >> 8) & 0xff;
                out[2] = (s >> 16) & 0xff;
                break;
            }
            case SampleType::S32: {
                const auto s = static_cast<std::int32_t>(std::lround(v * 2147483647.0));
                std::memcpy(out, &s, 4);
                break;
            }
            }
            out += bytes;
        }
    }
    return block;
}

// Chooses the format on `writer` for the next CreateForWrite. RAW is PCM 16-bit.
inline void ChooseFormat(TAudioFile2& writer, TestFormat format, int rate, int channels) {
    switch (format) {
    case TestFormat::Wav:
        writer.SetPcmFormat(rate, channels, 16);
        break;
    case TestFormat::Mp3: {
        Mp3EncoderSettings s;
        s.sampleRate = rate;
        s.channelMode = channels;
        s.bitrate = 128;
        writer.SetMp3Encoder(s);
        break;
    }
    case TestFormat::Ogg:
        writer.SetOggFormat(rate, channels, 128, 128, 128, 500);
        break;
    case TestFormat::Wma:
        writer.SetWmaFormat(10);
        break;
    case TestFormat::Raw:
        writer.SetRawFormat(1, rate, channels, 16);
        break;
    }
}

// Writes `seconds` of a sine (switching tone halfway when `secondHz` is given).
inline void WriteToneFile(const QString& path, TestFormat format, double seconds, double hz,
                          int rate = 44100, int channels = 2, double secondHz = 0) {
    TAudioFile2 writer;
    ChooseFormat(writer, format, rate, channels);
    writer.CreateForWrite(path, 0);
    const auto pcm = PcmFormat::FromHandle(writer.GetFormatHandle(), writer.GetFormatParam());
    const std::int64_t total = static_cast<std::int64_t>(seconds * pcm->rate);
    const std::int64_t switchAt = secondHz > 0 ? total / 2 : -1;
    for (std::int64_t done = 0; done < total;) {
        const int n = static_cast<int>(std::min<std::int64_t>(4096, total - done));
        writer.WriteBlock(SinePcm(*pcm, done, n, hz, secondHz, switchAt));
        done += n;
    }
    writer.CloseFile();
}

// Everything a reader gives for `path`, from the start, in its PCM format.
inline Block DecodeAll(TAudioFile2& reader) {
    Block all;
    reader.Seek(0, 3);
    for (;;) {
        const Block b = reader.ReadBlock(4100);
        if (b.empty())
            break;
        all.insert(all.end(), b.begin(), b.end());
    }
    return all;
}

// Power of `hz` in mono S16 PCM (Goertzel), relative to the signal's total power: near 1 for a
// pure tone at that frequency, near 0 for another tone.
inline double ToneShare(const std::vector<double>& x, int rate, double hz) {
    if (x.empty())
        return 0;
    const double w = 2.0 * M_PI * hz / rate;
    const double coeff = 2.0 * std::cos(w);
    double s1 = 0, s2 = 0, energy = 0;
    for (double v : x) {
        const double s0 = v + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
        energy += v * v;
    }
    const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
    if (energy <= 0)
        return 0;
    return 2.0 * power / (static_cast<double>(x.size()) * energy);
}

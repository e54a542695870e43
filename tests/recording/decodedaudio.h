#pragma once

// Reading a recording back: with the program's own reader and with the FFmpeg command-line tools,
// and finding the tone in it.

#include "pcmformat.h"
#include "simulatedbackend.h"
#include "taudiofile2.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

struct DecodedAudio {
    int rate = 0;
    int channels = 0;
    std::int64_t durationMs = 0;
    std::vector<double> first; // the first channel, -1..1
};

// Decodes `path` with a TAudioFile2 reader (for ".raw" files the caller sets the RAW format on
// `reader` first).
inline DecodedAudio DecodeOwn(const QString& path, TAudioFile2& reader) {
    DecodedAudio out;
    reader.OpenForRead(path, 0, 1);
    out.rate = reader.GetSampleRate();
    out.channels = reader.GetChannels();
    out.durationMs = reader.GetDurationMs();
    const std::optional<PcmFormat> format =
        PcmFormat::FromHandle(reader.GetFormatHandle(), reader.GetFormatParam());
    if (format) {
        const int frameBytes = format->BytesPerFrame();
        for (;;) {
            const Block block = reader.ReadBlock(4100);
            if (block.empty())
                break;
            for (std::size_t i = 0; i + frameBytes <= block.size(); i += frameBytes)
                out.first.push_back(DecodeSample(format->type, block.data() + i));
        }
    }
    reader.CloseFile();
    return out;
}

inline DecodedAudio DecodeOwn(const QString& path) {
    TAudioFile2 reader;
    return DecodeOwn(path, reader);
}

// ffprobe's view of the first audio stream and the container; nothing when it cannot read it.
struct ProbeResult {
    int rate = 0;
    int channels = 0;
    double durationS = 0;
    QString codec;
};

inline std::optional<ProbeResult> Probe(const QString& path) {
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries",
                        "stream=codec_name,sample_rate,channels:format=duration", "-of",
                        "default=noprint_wrappers=1", path});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return std::nullopt;
    ProbeResult r;
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split('\n')) {
        const QString key = line.section('=', 0, 0), value = line.section('=', 1);
        if (key == "sample_rate")
            r.rate = value.toInt();
        else if (key == "channels")
            r.channels = value.toInt();
        else if (key == "duration")
            r.durationS = value.toDouble();
        else if (key == "codec_name")
            r.codec = value;
    }
    return r;
}

// The first channel as FFmpeg decodes it, at the file's own rate.
inline std::vector<double> DecodeFfmpeg(const QString& path) {
    QProcess p;
    p.start("ffmpeg", {"-v", "error", "-i", path, "-map", "0:a:0", "-af", "pan=mono|c0=c0", "-f",
                       "f64le", "-"});
    p.waitForFinished(60000);
    const QByteArray bytes = p.readAllStandardOutput();
    std::vector<double> samples(static_cast<std::size_t>(bytes.size()) / sizeof(double));
    std::memcpy(samples.data(), bytes.constData(), samples.size() * sizeof(double));
    return samples;
}

// The dominant frequency of the middle half of `samples`, by counting rising crossings of the
// mean with a little hysteresis (so coarse quantisation does not add crossings); 0 for silence.
inline double ToneHz(const std::vector<double>& samples, int rate) {
    if (samples.size() < 8 || rate <= 0)
        return 0;
    const std::size_t from = samples.size() / 4, to = samples.size() * 3 / 4;
    double mean = 0;
    for (std::size_t i = from; i < to; ++i)
        mean += samples[i];
    mean /= static_cast<double>(to - from);
    double energy = 0;
    for (std::size_t i = from; i < to; ++i)
        energy += (samples[i] - mean) * (samples[i] - mean);
    const double rms = std::sqrt(energy / static_cast<double>(to - from));
    if (rms < 0.01)
        return 0;
    const double threshold = 0.3 * rms;
    int crossings = 0;
    bool low = false;
    for (std::size_t i = from; i < to; ++i) {
        const double v = samples[i] - mean;
        if (v < -threshold)
            low = true;
        else if (low && v > threshold) {
            low = false;
            ++crossings;
        }
    }
    return crossings * static_cast<double>(rate) / static_cast<double>(to - from);
}

#include "audiotestutil.h"

#include "taudiofile2lameenc.h"

#include <QDir>
#include <QStandardPaths>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

std::string Run(const std::string& cmd) {
    std::string out;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (p == nullptr)
        return out;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    ::pclose(p);
    return out;
}

FormatCase Mp3(const std::string& name, Mp3EncoderSettings s) {
    return {name,         ".mp3",        [s](TAudioFile2& f) { f.SetMp3Encoder(s); },
            s.sampleRate, s.channelMode, ""};
}
FormatCase Wav(int rate, int ch, int bits, double tone) {
    FormatCase c{"wav_" + std::to_string(bits) + "bit_" + std::to_string(rate),
                 ".wav",
                 [=](TAudioFile2& f) { f.SetPcmFormat(rate, ch, bits); },
                 rate,
                 ch,
                 ""};
    c.minTone = tone;
    c.lossless = bits >= 8;
    return c;
}
FormatCase Wma(int preset, int rate, int ch) {
    return {"wma_preset" + std::to_string(preset),
            ".wma",
            [=](TAudioFile2& f) { f.SetWmaFormat(preset); },
            rate,
            ch,
            ""};
}
FormatCase Raw(const std::string& name, int codec, int rate, int ch, int bits, int outRate,
               int outCh, std::string ff, double tone = 0.5) {
    FormatCase c{name,    ".raw", [=](TAudioFile2& f) { f.SetRawFormat(codec, rate, ch, bits); },
                 outRate, outCh,  std::move(ff)};
    c.minTone = tone;
    c.lossless = codec == 1 && bits >= 8;
    return c;
}

} // namespace

std::vector<FormatCase> AllFormatCases() {
    Mp3EncoderSettings cbr;
    cbr.sampleRate = 44100;
    cbr.bitrate = 128;
    cbr.channelMode = 2;
    cbr.quality = 5;
    Mp3EncoderSettings vbr = cbr;
    vbr.vbr = true;
    vbr.vbrBitrate = 192;
    vbr.vbrQuality = 4;
    Mp3EncoderSettings low;
    low.sampleRate = 8000;
    low.bitrate = 16;
    low.channelMode = 1;
    std::vector<FormatCase> cases = {
        Mp3("mp3_cbr", cbr),
        Mp3("mp3_vbr", vbr),
        Mp3("mp3_8k_mono", low),
        Wav(8000, 1, 4, 0.3),
        Wav(800, 1, 4, 0.3),
        Wav(22050, 2, 8, 0.5),
        Wav(44100, 2, 16, 0.5),
        Wav(48000, 1, 32, 0.5),
        Wma(1, 48000, 2),
        Wma(10, 44100, 2),
        Wma(36, 8000, 1),
        {"ogg_managed", ".OGG", [](TAudioFile2& f) { f.SetOggFormat(44100, 2, 128, 128, 192, -1); },
         44100, 2, ""},
        {"ogg_quality", ".OGG", [](TAudioFile2& f) { f.SetOggFormat(22050, 1, 64, 64, 64, 300); },
         22050, 1, ""},
        Raw("raw_pcm16", 1, 44100, 2, 16, 44100, 2, "-f s16le -ar 44100 -ac 2"),
        Raw("raw_pcm8", 1, 11025, 1, 8, 11025, 1, "-f s8 -ar 11025 -ac 1"),
        Raw("raw_pcm3", 1, 16000, 2, 3, 16000, 2, "-f s8 -ar 16000 -ac 2", 0.2),
        Raw("raw_pcm24", 1, 48000, 2, 24, 48000, 2, "-f s24le -ar 48000 -ac 2"),
        Raw("raw_pcm32", 1, 32000, 1, 32, 32000, 1, "-f s32le -ar 32000 -ac 1"),
        Raw("raw_alaw", 2, 8000, 1, 16, 8000, 1, "-f alaw -ar 8000 -ac 1"),
        Raw("raw_mulaw", 3, 16000, 2, 16, 16000, 2, "-f mulaw -ar 16000 -ac 2"),
        Raw("raw_gsm", 4, 44100, 2, 16, 8000, 1, "-f gsm", 0.4),
        Raw("raw_ima_adpcm", 5, 22050, 2, 16, 22050, 2, "-"),
        Raw("raw_ms_adpcm", 6, 11025, 1, 16, 11025, 1, "-"),
    };
    return cases;
}

double ToneHz(int rate) {
    return rate >= 4000 ? 1000.0 : rate / 8.0;
}

Block Sine(const PcmFormat& f, std::int64_t start, std::int64_t frames, double hz) {
    Block b(static_cast<std::size_t>(frames * f.BytesPerFrame()));
    std::uint8_t* p = b.data();
    for (std::int64_t i = 0; i < frames; ++i) {
        const double v = 0.5 * std::sin(2 * M_PI * hz * static_cast<double>(start + i) / f.rate);
        for (int c = 0; c < f.channels; ++c) {
            switch (f.type) {
            case SampleType::U8:
                *p++ = static_cast<std::uint8_t>(std::lround(128 + v * 127));
                break;
            case SampleType::S16: {
                const auto s = static_cast<std::int16_t>(std::lround(v * 32767));
                *p++ = s & 0xff;
                *p++ = (s >> 8) & 0xff;
                break;
            }
            case SampleType::S24: {
                const auto s = static_cast<std::int32_t>(std::lround(v * 8388607));
                *p++ = s & 0xff;
                *p++ = (s >> 8) & 0xff;
                *p++ = (s >> 16) & 0xff;
                break;
            }
            case SampleType::S32: {
                const auto s = static_cast<std::int32_t>(std::lround(v * 2147483647.0));
                for (int k = 0; k < 4; ++k)
                    *p++ = (s >> (8 * k)) & 0xff;
                break;
            }
            }
        }
    }
    return b;
}

std::int64_t WriteTone(TAudioFile2& file, const std::string& path, double seconds, int blockMs,
                       int extraBytes, int maxBlocks) {
    file.CreateForWrite(QString::fromStdString(path), 0);
    const auto f = PcmFormat::FromHandle(file.GetFormatHandle(), file.GetFormatParam());
    if (!f)
        return -1;
    const std::int64_t total = static_cast<std::int64_t>(seconds * f->rate);
    // The whole signal as bytes, then cut into blocks of the requested byte size.
    const Block all = Sine(*f, 0, total, ToneHz(f->rate));
    const std::size_t blockBytes = static_cast<std::size_t>(
        static_cast<std::int64_t>(f->rate) * blockMs / 1000 * f->BytesPerFrame() + extraBytes);
    int blocks = 0;
    for (std::size_t at = 0; at < all.size(); at += blockBytes) {
        if (maxBlocks >= 0 && blocks == maxBlocks)
            break;
        const std::size_t n = std::min(blockBytes, all.size() - at);
        file.WriteBlock(Block(all.begin() + static_cast<std::ptrdiff_t>(at),
                              all.begin() + static_cast<std::ptrdiff_t>(at + n)));
        ++blocks;
    }
    return total;
}

Decoded ReadAll(TAudioFile2& file) {
    Decoded d;
    d.rate = file.GetSampleRate();
    d.channels = file.GetChannels();
    for (;;) {
        const Block b = file.ReadBlock(4100);
        if (b.empty())
            break;
        for (std::size_t i = 0; i + 1 < b.size(); i += 2)
            d.samples.push_back(static_cast<std::int16_t>(b[i] | (b[i + 1] << 8)));
    }
    return d;
}

Decoded DecodeWithFfmpeg(const std::string& path, const std::string& in) {
    Decoded d;
    std::istringstream info(
        Run("ffprobe -v error " + in +
            " -select_streams a:0 -show_entries stream=sample_rate,channels -of csv=p=0 '" + path +
            "'"));
    char comma;
    info >> d.rate >> comma >> d.channels;
    const std::string pcm = Run("ffmpeg -v error " + in + " -i '" + path +
                                "' -f s16le -acodec pcm_s16le - 2>/dev/null");
    d.samples.resize(pcm.size() / 2);
    for (std::size_t i = 0; i < d.samples.size(); ++i)
        d.samples[i] = static_cast<std::int16_t>(static_cast<std::uint8_t>(pcm[2 * i]) |
                                                 (static_cast<std::uint8_t>(pcm[2 * i + 1]) << 8));
    return d;
}

double ToneShare(const Decoded& d, double hz) {
    const std::int64_t frames = d.Frames();
    if (frames < 200 || d.rate <= 0)
        return 0;
    // The middle half, away from encoder start-up and the padded end.
    const std::int64_t from = frames / 4, n = frames / 2;
    const double w = 2 * M_PI * hz / d.rate;
    double s1 = 0, s2 = 0, energy = 0;
    for (std::int64_t i = 0; i < n; ++i) {
        const double x = d.samples[static_cast<std::size_t>((from + i) * d.channels)] / 32768.0;
        const double s0 = x + 2 * std::cos(w) * s1 - s2;
        s2 = s1;
        s1 = s0;
        energy += x * x;
    }
    const double power = s1 * s1 + s2 * s2 - 2 * std::cos(w) * s1 * s2;
    // A pure sine of energy E gives power = E * n / 2 at its own frequency.
    return energy > 0 ? power / (energy * n / 2) : 0;
}

std::string TempDir() {
    const QString dir = QDir::homePath() + "/audio";
    QDir().mkpath(dir);
    return dir.toStdString();
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

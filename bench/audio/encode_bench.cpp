// Encodes the same synthetic PCM (44.1 kHz stereo 16-bit) in every output format through
// WriteBlock in 300 ms blocks and prints audio seconds per CPU second. The PCM is left in the
// output folder so run-encode-bench.sh can feed it to the reference encoders.
// Usage: bench_audio_encode OUTDIR [seconds, default 600] [format names...]
// An OUTDIR/input.pcm of the right size from an earlier run is used as the input.
#include "taudiofile2.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

// Music-like test signal: a few drifting tones over soft noise, so encoders do real work.
Block MakePcm(int seconds) {
    const int rate = 44100;
    const std::size_t frames = static_cast<std::size_t>(seconds) * rate;
    Block pcm(frames * 4);
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0.0, 0.03);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double base = 220.0 * (1.0 + 0.5 * std::sin(t * 0.3));
        for (int c = 0; c < 2; ++c) {
            double v = 0.25 * std::sin(2 * M_PI * base * t + c) +
                       0.15 * std::sin(2 * M_PI * 3.01 * base * t) +
                       0.1 * std::sin(2 * M_PI * 1234.5 * t * (1 + c * 0.01)) + noise(rng);
            v = std::clamp(v, -1.0, 1.0);
            const auto s = static_cast<std::int16_t>(std::lround(v * 32767));
            pcm[i * 4 + c * 2] = s & 0xff;
            pcm[i * 4 + c * 2 + 1] = (s >> 8) & 0xff;
        }
    }
    return pcm;
}

struct Case {
    const char* name;
    const char* ext;
    std::function<void(TAudioFile2&)> configure;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTDIR [seconds] [formats...]\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 600;
    Mp3EncoderSettings cbr;
    cbr.sampleRate = 44100;
    cbr.bitrate = 128;
    cbr.channelMode = 2;
    cbr.quality = 5;
    Mp3EncoderSettings vbr = cbr;
    vbr.vbr = true;
    vbr.vbrQuality = 4;
    vbr.vbrBitrate = 192;
    const std::vector<Case> cases = {
        {"mp3_cbr", ".mp3", [&](TAudioFile2& f) { f.SetMp3Encoder(cbr); }},
        {"mp3_vbr", ".mp3", [&](TAudioFile2& f) { f.SetMp3Encoder(vbr); }},
        {"ogg_managed", ".OGG",
         [](TAudioFile2& f) { f.SetOggFormat(44100, 2, 128, 128, 192, -1); }},
        {"ogg_quality", ".OGG",
         [](TAudioFile2& f) { f.SetOggFormat(44100, 2, 128, 128, 128, 300); }},
        {"wma", ".wma", [](TAudioFile2& f) { f.SetWmaFormat(10); }},
        {"wav", ".wav", [](TAudioFile2& f) { f.SetPcmFormat(44100, 2, 16); }},
        {"raw_pcm", ".raw", [](TAudioFile2& f) { f.SetRawFormat(1, 44100, 2, 16); }},
        {"raw_alaw", ".raw", [](TAudioFile2& f) { f.SetRawFormat(2, 44100, 2, 16); }},
        {"raw_ima_adpcm", ".raw", [](TAudioFile2& f) { f.SetRawFormat(5, 44100, 2, 16); }},
    };
    // The PCM of an earlier run in the same folder is reused, so repeated runs measure the same
    // input without generating it again.
    Block pcm(static_cast<std::size_t>(seconds) * 44100 * 4);
    std::FILE* in = std::fopen((dir + "/input.pcm").c_str(), "rb");
    const bool reused = in != nullptr && std::fread(pcm.data(), 1, pcm.size(), in) == pcm.size();
    if (in != nullptr)
        std::fclose(in);
    if (!reused) {
        pcm = MakePcm(seconds);
        if (std::FILE* f = std::fopen((dir + "/input.pcm").c_str(), "wb")) {
            std::fwrite(pcm.data(), 1, pcm.size(), f);
            std::fclose(f);
        }
    }
    // Cut into 300 ms blocks up front: a recording gets its blocks from the capture component
    // ready-made, so making them is no part of the encoding cost.
    const std::size_t block = 44100 * 3 / 10 * 4;
    std::vector<Block> blocks;
    for (std::size_t at = 0; at < pcm.size(); at += block)
        blocks.emplace_back(pcm.begin() + static_cast<std::ptrdiff_t>(at),
                            pcm.begin() +
                                static_cast<std::ptrdiff_t>(std::min(at + block, pcm.size())));
    std::printf("%-14s %10s %10s %12s\n", "format", "audio s", "cpu s", "audio s/cpu s");
    for (const Case& c : cases) {
        bool wanted = argc <= 3;
        for (int i = 3; i < argc; ++i)
            wanted = wanted || c.name == std::string(argv[i]);
        if (!wanted)
            continue;
        TAudioFile2 file;
        c.configure(file);
        const double start = CpuSeconds();
        file.CreateForWrite(QString::fromStdString(dir + "/" + c.name + c.ext), 0);
        for (const Block& b : blocks)
            file.WriteBlock(b);
        file.CloseFile();
        const double cpu = CpuSeconds() - start;
        std::printf("%-14s %10d %10.3f %12.1f\n", c.name, seconds, cpu, seconds / cpu);
        std::fflush(stdout);
    }
    return 0;
}

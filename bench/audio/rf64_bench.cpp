// A WAV recording past 4 GiB, for real: writes 48 kHz stereo 32-bit blocks of 300 ms until the
// data passes 4 GiB, closes, and reads the length back. Prints the write speed and whether the
// file came out as RF64 with the right length. Needs about 4.1 GB of free disk.
// Usage: bench_audio_rf64 OUTFILE.wav
#include "componenterror.h"
#include "taudiofile2.h"

#include <chrono>
#include <cstdio>
#include <fstream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTFILE.wav\n", argv[0]);
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const std::uint64_t target = (4ull << 30) + (64ull << 20);
    const int rate = 48000, frameBytes = 8;
    Block block(static_cast<std::size_t>(rate) * 3 / 10 * frameBytes);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(i * 7);
    const auto start = std::chrono::steady_clock::now();
    std::uint64_t written = 0;
    try {
        TAudioFile2 file;
        file.SetPcmFormat(rate, 2, 32);
        file.CreateForWrite(path, 0);
        while (written < target) {
            file.WriteBlock(block);
            written += block.size();
        }
        file.CloseFile();
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        char magic[5] = {};
        std::ifstream(argv[1], std::ios::binary).read(magic, 4);
        TAudioFile2 reader;
        reader.OpenForRead(path, 0, 1);
        const std::int64_t frames = reader.GetLengthSamples();
        const bool ok = std::string(magic) == "RF64" &&
                        frames == static_cast<std::int64_t>(written / frameBytes);
        std::printf(
            "wrote %.2f GiB in %.1f s (%.0f MB/s, %.0f x real time); header %s; length %lld "
            "frames, expected %llu: %s\n",
            written / double(1ull << 30), s, written / s / 1e6,
            written / double(rate * frameBytes) / s, magic, static_cast<long long>(frames),
            static_cast<unsigned long long>(written / frameBytes), ok ? "OK" : "WRONG");
        return ok ? 0 : 1;
    } catch (const ComponentError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}

// Adding files to the recordings list: OpenForRead, GetDurationMs, CloseFile per file.
// Prints files per second. Usage: bench_audio_probe FILE...
#include "componenterror.h"
#include "taudiofile2.h"

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
    TAudioFile2 file;
    const auto start = std::chrono::steady_clock::now();
    long long total = 0;
    int failed = 0;
    for (int i = 1; i < argc; ++i) {
        try {
            file.OpenForRead(QString::fromLocal8Bit(argv[i]), 0, 1);
            total += file.GetDurationMs();
            file.CloseFile();
        } catch (const ComponentError&) {
            ++failed;
        }
    }
    const double s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("probed %d files in %.3f s (%.0f files/s), %d failed, total %lld ms of audio\n",
                argc - 1, s, (argc - 1) / s, failed, total);
    return 0;
}

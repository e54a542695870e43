// The file component's reader over arbitrary file contents. The first byte picks the file name's
// extension (and, for ".raw", the codec the file is read with); the rest is the file. Every
// outcome is a ComponentError or a decode that stays within the file's own claims.
#include "componenterror.h"
#include "taudiofile2.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    static const char* const kExt[] = {".mp3", ".wav", ".wma", ".OGG", ".raw"};
    const int pick = data[0];
    const std::string path = "/tmp/fuzz_audio_" + std::to_string(::getpid()) + kExt[pick % 5];
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data + 1, 1, size - 1, f);
        std::fclose(f);
    } else {
        return 0;
    }
    TAudioFile2 file;
    const int rates[] = {8000, 11025, 22050, 44100};
    const int bits[] = {3, 8, 16, 24, 32};
    file.SetRawFormat(1 + (pick >> 3) % 6, rates[(pick >> 5) % 4], 1 + ((pick >> 7) & 1),
                      bits[(pick >> 3) % 5]);
    try {
        file.OpenForRead(QString::fromStdString(path), 0, 1);
        const std::int64_t length = file.GetLengthSamples();
        (void)file.GetDurationMs();
        (void)file.GetBitRate();
        const int channels = file.GetChannels();
        if (channels < 1 || channels > 8 || file.GetSampleRate() < 1)
            __builtin_trap();
        file.Seek(length / 2, 3);
        (void)file.ReadBlock(4100);
        file.Seek(0, 3);
        for (int i = 0; i < 200; ++i) {
            const Block b = file.ReadBlock(4100);
            if (b.empty())
                break;
            if (b.size() > 4100u * 2 * static_cast<unsigned>(channels) ||
                b.size() % (2 * channels) != 0)
                __builtin_trap();
        }
    } catch (const ComponentError&) {
    }
    file.CloseFile();
    std::remove(path.c_str());
    return 0;
}

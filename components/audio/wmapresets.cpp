#include "wmapresets.h"

#include <algorithm>
#include <iterator>

namespace {

struct Row {
    int rate, channels, kbps; // kbps 0 marks lossless
    int qualityKbps;          // for the VBR-quality presets: the fixed rate used instead
};

// In the order of the settings dialog's WMA list. "44KHz" is 44100, "22KHz" 22050, "11KHz" 11025.
constexpr Row kRows[] = {
    {48000, 2, 192, 0},
    {48000, 2, 160, 0},
    {48000, 2, 128, 0},
    {48000, 2, 96, 0},
    {48000, 2, 64, 0},
    {44100, 2, 320, 0},
    {44100, 2, 256, 0},
    {44100, 2, 192, 0},
    {44100, 2, 160, 0},
    {44100, 2, 128, 0},
    {44100, 2, 96, 0},
    {44100, 2, 80, 0},
    {44100, 2, 64, 0},
    {44100, 2, 48, 0},
    {44100, 2, 32, 0},
    {44100, 1, 48, 0},
    {44100, 1, 32, 0},
    {44100, 1, 20, 0},
    {32000, 2, 48, 0},
    {32000, 2, 40, 0},
    {32000, 2, 32, 0},
    {32000, 1, 20, 0},
    {32000, 2, 32, 0},
    {32000, 2, 22, 0},
    {22050, 2, 20, 0},
    {22050, 1, 20, 0},
    {22050, 1, 16, 0},
    {16000, 2, 20, 0},
    {16000, 2, 16, 0},
    {16000, 1, 16, 0},
    {16000, 1, 12, 0},
    {16000, 1, 10, 0},
    {11025, 1, 10, 0},
    {11025, 1, 8, 0},
    {8000, 2, 12, 0},
    {8000, 1, 8, 0},
    {8000, 1, 6, 0},
    {8000, 1, 5, 0},
    // VBR Quality 98, 90 at 48 kHz; 98, 90, 75, 50, 25, 10 at 44.1 kHz.
    {48000, 2, -1, 256},
    {48000, 2, -1, 192},
    {44100, 2, -1, 256},
    {44100, 2, -1, 192},
    {44100, 2, -1, 128},
    {44100, 2, -1, 96},
    {44100, 2, -1, 64},
    {44100, 2, -1, 48},
    {44100, 2, 0, 0}, // Lossless
};
static_assert(std::size(kRows) == 47);

} // namespace

bool LookUpWmaPreset(int preset, WmaPreset& out) {
    if (preset < 1 || preset > static_cast<int>(std::size(kRows)))
        return false;
    const Row& r = kRows[preset - 1];
    out.sampleRate = r.rate;
    out.channels = r.channels;
    out.lossless = r.kbps == 0;
    out.listedBitrate = r.kbps > 0 ? r.kbps : 0;
    out.bitrate = r.kbps > 0 ? std::max(r.kbps, kWmaMinBitrate) : r.qualityKbps;
    return true;
}

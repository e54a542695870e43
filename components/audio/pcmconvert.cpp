#include "pcmconvert.h"

std::uint8_t QuantiseU8(std::uint8_t sample, int bits) {
    if (bits >= 8)
        return sample;
    if (bits < 1)
        bits = 1;
    const int step = 1 << (8 - bits);
    // Round to the nearest step; the top step cannot round up past 255.
    int v = sample + step / 2;
    if (v > 255)
        v = 255;
    return static_cast<std::uint8_t>(v & ~(step - 1));
}

void QuantiseU8Buffer(std::uint8_t* samples, std::size_t count, int bits) {
    for (std::size_t i = 0; i < count; ++i)
        samples[i] = QuantiseU8(samples[i], bits);
}

void S16ToFloatPlanes(const std::uint8_t* pcm, std::size_t frames, int channels,
                      float* const* planes) {
    for (std::size_t f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            planes[c][f] = ReadS16(pcm + (f * channels + c) * 2) / 32768.0f;
}

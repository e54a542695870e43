#pragma once

#include "block.h"
#include "pcmformat.h"
#include "simulatedbackend.h"

#include <cmath>
#include <numbers>
#include <vector>

// Relative strength of `hz` in the first channel of `pcm` (Goertzel), about 0.5 * amplitude for
// a pure tone at that frequency, near 0 for one elsewhere.
inline double ToneLevel(const Block& pcm, const PcmFormat& f, double hz) {
    const std::size_t bpf = f.BytesPerFrame();
    const std::size_t frames = pcm.size() / bpf;
    if (frames == 0)
        return 0.0;
    const double w = 2.0 * std::numbers::pi * hz / f.rate;
    double re = 0.0;
    double im = 0.0;
    for (std::size_t i = 0; i < frames; ++i) {
        const double v = DecodeSample(f.type, pcm.data() + i * bpf);
        re += v * std::cos(w * i);
        im -= v * std::sin(w * i);
    }
    return std::sqrt(re * re + im * im) / frames;
}

// `frames` frames of a sine at `hz` with amplitude `amp` in every channel.
inline Block Sine(const PcmFormat& f, double hz, double amp, std::size_t frames,
                  std::size_t firstFrame = 0) {
    Block out(frames * f.BytesPerFrame());
    const int bps = BytesPerSample(f.type);
    for (std::size_t i = 0; i < frames; ++i) {
        const double v =
            amp * std::sin(2.0 * std::numbers::pi * hz * double(firstFrame + i) / f.rate);
        for (int c = 0; c < f.channels; ++c)
            EncodeSample(v, f.type, out.data() + i * f.BytesPerFrame() + c * bps);
    }
    return out;
}

#include "peaklevels.h"

#include <algorithm>
#include <cstdlib>

namespace {

// |sample| on the 16-bit scale.
int Magnitude(const std::uint8_t* p, SampleType type) {
    std::int64_t v = 0;
    switch (type) {
    case SampleType::U8:
        v = (static_cast<int>(p[0]) - 128) * 256;
        break;
    case SampleType::S16:
        v = static_cast<std::int16_t>(p[0] | (p[1] << 8));
        break;
    case SampleType::S24: {
        std::int32_t s = p[0] | (p[1] << 8) | (p[2] << 16);
        if (s & 0x800000)
            s -= 0x1000000;
        v = s / 256;
        break;
    }
    case SampleType::S32: {
        const std::uint32_t u =
            p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
        v = static_cast<std::int32_t>(u) / 65536;
        break;
    }
    }
    return static_cast<int>(std::min<std::int64_t>(std::llabs(v), 32767));
}

} // namespace

void PeakLevels::Add(const std::uint8_t* pcm, std::size_t bytes, const PcmFormat& format) {
    const int bps = BytesPerSample(format.type);
    const std::size_t bpf = format.BytesPerFrame();
    const bool stereo = format.channels >= 2;
    if (format.type == SampleType::S16) {
        // The common case, kept free of per-sample dispatch.
        int l = left_, r = right_;
        for (std::size_t at = 0; at + bpf <= bytes; at += bpf) {
            const int a =
                std::abs(static_cast<int>(static_cast<std::int16_t>(pcm[at] | (pcm[at + 1] << 8))));
            const int b = stereo ? std::abs(static_cast<int>(
                                       static_cast<std::int16_t>(pcm[at + 2] | (pcm[at + 3] << 8))))
                                 : a;
            l = std::max(l, a);
            r = std::max(r, b);
        }
        left_ = std::min(l, 32767);
        right_ = std::min(r, 32767);
        return;
    }
    for (std::size_t at = 0; at + bpf <= bytes; at += bpf) {
        const int l = Magnitude(pcm + at, format.type);
        const int r = stereo ? Magnitude(pcm + at + bps, format.type) : l;
        left_ = std::max(left_, l);
        right_ = std::max(right_, r);
    }
}

std::pair<int, int> PeakLevels::Take() {
    const std::pair<int, int> out{left_, right_};
    left_ = right_ = 0;
    return out;
}

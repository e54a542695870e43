#pragma once

#include "pcmformat.h"

#include <cstddef>
#include <cstdint>
#include <utility>

// The loudest sample per side since the last Take, on the 16-bit scale 0..32767 whatever the
// sample type. The first channel is the left side, the second the right; mono feeds both.
class PeakLevels {
public:
    void Add(const std::uint8_t* pcm, std::size_t bytes, const PcmFormat& format);
    // The peaks so far, and a fresh start.
    std::pair<int, int> Take();

private:
    int left_ = 0;
    int right_ = 0;
};

#pragma once

#include <cstdint>
#include <vector>

// A block is an owning buffer of interleaved PCM bytes handed across the component boundary.
// Whoever receives a block owns it; destroying it is the vector's business.
using Block = std::vector<std::uint8_t>;

// The "upper bound" of a block in the components' terms: its byte count minus one, so an empty
// block has -1 and a block of one byte has 0.
inline long long UpperBound(const Block& block) {
    return static_cast<long long>(block.size()) - 1;
}

#pragma once

#include <cstddef>
#include <cstdint>

// Sample conversions shared by the encoders.

// Rounds an unsigned 8-bit sample (silence 128) to `bits` significant bits (1..8), keeping them
// at the top of the byte and zeroing the rest: the layout of a WAV sample with fewer valid bits
// than its container. 128 stays 128 at every depth.
std::uint8_t QuantiseU8(std::uint8_t sample, int bits);

// In-place QuantiseU8 over a buffer.
void QuantiseU8Buffer(std::uint8_t* samples, std::size_t count, int bits);

// Interleaved signed 16-bit little-endian samples to one float plane per channel (-1..1).
void S16ToFloatPlanes(const std::uint8_t* pcm, std::size_t frames, int channels,
                      float* const* planes);

// Little-endian 16-bit sample at `p`.
inline std::int16_t ReadS16(const std::uint8_t* p) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}

#pragma once

#include <cstdint>
#include <optional>

// Sample types the file component can ask for and the sound devices can deliver. All are
// interleaved and little-endian.
enum class SampleType : std::uint8_t {
    U8 = 1,  // unsigned 8-bit, silence at 128
    S16 = 2, // signed 16-bit
    S24 = 3, // signed 24-bit packed in 3 bytes
    S32 = 4, // signed 32-bit
};

int BytesPerSample(SampleType type);

// The PCM a file component takes from WriteBlock or gives from ReadBlock. Across the component
// boundary it travels as two opaque 32-bit values, the format handle and the format parameter;
// only the file, capture and player components encode or decode them.
struct PcmFormat {
    int rate = 44100;
    int channels = 2;
    SampleType type = SampleType::S16;

    int BytesPerFrame() const { return channels * BytesPerSample(type); }

    // handle = sample rate in Hz; param = (sample type << 16) | channel count.
    std::int32_t Handle() const { return rate; }
    std::int32_t Param() const;

    // Decodes the two values; nothing when they do not describe a format we can handle
    // (rate outside 1..384000, channels outside 1..8, unknown sample type).
    static std::optional<PcmFormat> FromHandle(std::int32_t handle, std::int32_t param);

    bool operator==(const PcmFormat&) const = default;
};

// Milliseconds of `frames` sample frames at `rate`, in 64 bits so long recordings stay right.
std::int64_t FramesToMs(std::int64_t frames, int rate);

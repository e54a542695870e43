#include "pcmformat.h"

#include <cstdint>

int BytesPerSample(SampleType type) {
    switch (type) {
    case SampleType::U8:
        return 1;
    case SampleType::S16:
        return 2;
    case SampleType::S24:
        return 3;
    case SampleType::S32:
        return 4;
    }
    return 2;
}

std::int32_t PcmFormat::Param() const {
    return (static_cast<std::int32_t>(type) << 16) | channels;
}

std::optional<PcmFormat> PcmFormat::FromHandle(std::int32_t handle, std::int32_t param) {
    const int channels = param & 0xffff;
    const int type = (param >> 16) & 0xff;
    if (handle < 1 || handle > 384000 || channels < 1 || channels > 8)
        return std::nullopt;
    if (type < static_cast<int>(SampleType::U8) || type > static_cast<int>(SampleType::S32))
        return std::nullopt;
    return PcmFormat{handle, channels, static_cast<SampleType>(type)};
}

std::int64_t FramesToMs(std::int64_t frames, int rate) {
    if (rate <= 0)
        return 0;
    // In 128 bits: a damaged file may claim any length, and the answer must still be a number.
    const __int128 ms = static_cast<__int128>(frames) * 1000 / rate;
    if (ms > INT64_MAX)
        return INT64_MAX;
    if (ms < INT64_MIN)
        return INT64_MIN;
    return static_cast<std::int64_t>(ms);
}

// The JPEG decoder over arbitrary bytes: it must refuse or decode, never read out of bounds, leak
// through its error path or hand back a picture bigger than its limit.
#include "jpegimage.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString error;
    const QImage image = jpeg::DecodeJpeg(bytes, &error);
    if (image.isNull() == error.isEmpty())
        __builtin_trap(); // a refusal always says why, a success never does
    if (!image.isNull() &&
        (image.width() > jpeg::kMaxJpegSide || image.height() > jpeg::kMaxJpegSide))
        __builtin_trap();
    return 0;
}

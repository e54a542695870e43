#include "jpegimage.h"

#include <QFile>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <jpeglib.h>

namespace {

// libjpeg reports fatal errors through error_exit, which must not return. We jump back to the
// decoder; everything between setjmp and the jump is plain C data, so nothing is left undestroyed.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings (for example a premature end of data) would let libjpeg fill the rest of the picture
// with grey; we treat them as failures, so a damaged file is refused rather than shown half.
void EmitMessage(j_common_ptr cinfo, int level) {
    if (level < 0)
        ErrorExit(cinfo);
}

struct RawPicture {
    unsigned char* pixels = nullptr; // malloc'ed RGB rows, width * 3 bytes each
    int width = 0;
    int height = 0;
};

// Plain C-style decoding: returns false with `message` filled on any failure.
bool DecodeRaw(const unsigned char* data, unsigned long size, RawPicture* out, char* message,
               std::size_t messageSize) {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&err.base);
    err.base.error_exit = ErrorExit;
    err.base.emit_message = EmitMessage;
    err.message[0] = '\0';
    // Volatile: it changes between setjmp and a possible longjmp.
    unsigned char* volatile pixels = nullptr;

    if (setjmp(err.jump) != 0) {
        std::snprintf(message, messageSize, "%s", err.message);
        jpeg_destroy_decompress(&cinfo);
        std::free(pixels);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, size);
    jpeg_read_header(&cinfo, TRUE);
    if (cinfo.image_width == 0 || cinfo.image_height == 0 ||
        cinfo.image_width > static_cast<unsigned>(jpeg::kMaxJpegSide) ||
        cinfo.image_height > static_cast<unsigned>(jpeg::kMaxJpegSide)) {
        std::snprintf(message, messageSize, "picture size %ux%u is outside 1..%d",
                      cinfo.image_width, cinfo.image_height, jpeg::kMaxJpegSide);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    if (cinfo.jpeg_color_space != JCS_GRAYSCALE && cinfo.jpeg_color_space != JCS_RGB &&
        cinfo.jpeg_color_space != JCS_YCbCr) {
        std::snprintf(message, messageSize, "unsupported colour space %d",
                      static_cast<int>(cinfo.jpeg_color_space));
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    const std::size_t stride = static_cast<std::size_t>(cinfo.output_width) * 3;
    pixels = static_cast<unsigned char*>(std::malloc(stride * cinfo.output_height));
    if (pixels == nullptr) {
        std::snprintf(message, messageSize, "out of memory");
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = pixels + stride * cinfo.output_scanline;
        if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) {
            std::snprintf(message, messageSize, "the picture data ends early");
            jpeg_destroy_decompress(&cinfo);
            std::free(pixels);
            return false;
        }
    }
    jpeg_finish_decompress(&cinfo);
    out->pixels = pixels;
    out->width = static_cast<int>(cinfo.output_width);
    out->height = static_cast<int>(cinfo.output_height);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

} // namespace

namespace jpeg {

QImage DecodeJpeg(const QByteArray& data, QString* error) {
    if (data.isEmpty()) {
        if (error)
            *error = QStringLiteral("no picture data");
        return {};
    }
    RawPicture raw;
    char message[JMSG_LENGTH_MAX + 64];
    if (!DecodeRaw(reinterpret_cast<const unsigned char*>(data.constData()),
                   static_cast<unsigned long>(data.size()), &raw, message, sizeof message)) {
        if (error)
            *error = QString::fromLocal8Bit(message);
        return {};
    }
    QImage image(raw.width, raw.height, QImage::Format_RGB888);
    if (image.isNull()) {
        std::free(raw.pixels);
        if (error)
            *error = QStringLiteral("out of memory");
        return {};
    }
    const std::size_t stride = static_cast<std::size_t>(raw.width) * 3;
    for (int y = 0; y < raw.height; ++y)
        std::memcpy(image.scanLine(y), raw.pixels + stride * y, stride);
    std::free(raw.pixels);
    return image;
}

QImage LoadJpeg(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return {};
    }
    QString reason;
    QImage image = DecodeJpeg(file.readAll(), &reason);
    if (image.isNull() && error)
        *error = QStringLiteral("%1: %2").arg(path, reason);
    return image;
}

} // namespace jpeg

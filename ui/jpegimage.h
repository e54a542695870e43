#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// JPEG decoding through libjpeg(-turbo), for the settings dialog's title strip.
//
// DecodeJpeg never throws and never reads outside `data`: a truncated or corrupt picture, one
// wider or taller than kMaxJpegSide, or one in a colour space other than grey, RGB or YCbCr
// gives a null QImage and, when `error` is given, the decoder's reason. A successful result is
// QImage::Format_RGB888.
namespace jpeg {
inline constexpr int kMaxJpegSide = 8192;
QImage DecodeJpeg(const QByteArray& data, QString* error = nullptr);
// Reads the file (a path or a Qt resource ":/...") and decodes it; errors name the file.
QImage LoadJpeg(const QString& path, QString* error = nullptr);
} // namespace jpeg

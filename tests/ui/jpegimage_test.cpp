#include "jpegimage.h"

#include <QBuffer>
#include <QFile>
#include <gtest/gtest.h>

namespace {
QByteArray Strip() {
    QFile f(QStringLiteral(TARNO_SOURCE_DIR "/resources/images/titlestrip.jpg"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

TEST(JpegImage, DecodesTheTitleStrip) {
    const QByteArray data = Strip();
    ASSERT_FALSE(data.isEmpty());
    QString error;
    const QImage image = jpeg::DecodeJpeg(data, &error);
    ASSERT_FALSE(image.isNull()) << error.toStdString();
    EXPECT_EQ(image.size(), QSize(223, 38));
    // The strip runs from dark blue on the left to light blue on the right.
    const QColor left = image.pixelColor(2, 30);
    const QColor right = image.pixelColor(220, 5);
    EXPECT_GT(left.blue(), left.red());
    EXPECT_GT(right.lightness(), left.lightness());
    // The embedded copy is the same picture.
    EXPECT_EQ(jpeg::LoadJpeg(QStringLiteral(":/images/titlestrip.jpg")).size(), QSize(223, 38));
}

TEST(JpegImage, RefusesDamagedDataWithAReason) {
    const QByteArray data = Strip();
    ASSERT_GT(data.size(), 200);
    struct Case {
        const char* name;
        QByteArray bytes;
    };
    QByteArray flipped = data;
    for (int i = 150; i < flipped.size() - 2; i += 7)
        flipped[i] = static_cast<char>(flipped[i] ^ 0x5a);
    const Case cases[] = {
        {"empty", QByteArray()},
        {"not a JPEG", QByteArray("GIF89a and then some more bytes")},
        {"header only", data.left(20)},
        {"truncated", data.left(data.size() / 2)},
        {"scrambled", flipped},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        const QImage image = jpeg::DecodeJpeg(c.bytes, &error);
        EXPECT_TRUE(image.isNull());
        EXPECT_FALSE(error.isEmpty());
    }
    QString error;
    EXPECT_TRUE(jpeg::LoadJpeg(QStringLiteral("/nonexistent/strip.jpg"), &error).isNull());
    EXPECT_TRUE(error.contains(QStringLiteral("/nonexistent/strip.jpg")));
}

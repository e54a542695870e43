#include "appicon.h"
#include "datadir.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void Touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

TEST(DataDir, SkinBesideTheProgramWinsElseTheInstalledShareFolder) {
    QTemporaryDir root;
    const QString r = root.path();

    // Build tree: the skin beside the executable.
    Touch(r + "/build/app/mp3enc.skn");
    EXPECT_EQ(FindDataDir(r + "/build/app"), r + "/build/app");

    // Installed: <prefix>/bin with <prefix>/share/tarno-recorder.
    QDir().mkpath(r + "/usr/bin");
    Touch(r + "/usr/share/tarno-recorder/mp3enc.skn");
    EXPECT_EQ(FindDataDir(r + "/usr/bin"), r + "/usr/share/tarno-recorder");

    // The installed folder without its skin is still where the program looks (and reports).
    QDir().mkpath(r + "/opt/bin");
    QDir().mkpath(r + "/opt/share/tarno-recorder");
    EXPECT_EQ(FindDataDir(r + "/opt/bin"), r + "/opt/share/tarno-recorder");

    // A skin beside the program wins over an installed copy.
    Touch(r + "/usr/bin/mp3enc.skn");
    EXPECT_EQ(FindDataDir(r + "/usr/bin"), r + "/usr/bin");

    // Nothing anywhere: beside the program, where the start-up reports it missing.
    QDir().mkpath(r + "/bare/bin");
    EXPECT_EQ(FindDataDir(r + "/bare/bin"), r + "/bare/bin");
}

TEST(AppIcon, EverySizeOfTheThemeIsBuiltIn) {
    const QIcon icon = ApplicationIcon();
    ASSERT_FALSE(icon.isNull());
    for (int size : kIconSizes) {
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size))) << size;
        const QImage image = icon.pixmap(size, size).toImage();
        EXPECT_EQ(image.size(), QSize(size, size));
        // Not blank: the red record button sits in the middle.
        const QColor middle = image.pixelColor(size / 2, size * 7 / 16);
        EXPECT_GT(middle.red(), 150) << size;
    }
}

} // namespace

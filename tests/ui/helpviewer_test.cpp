#include "helpviewer.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void Write(const QString& path, const QByteArray& content = {}) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
}

TEST(Help, TheChmNeedsAViewerAndEitherFormStandsInForAMissingOne) {
    QTemporaryDir data;
    const QString d = data.path();
    const QUrl chm = QUrl::fromLocalFile(d + "/help/Tarnomp3recorder.chm");
    const QUrl html = QUrl::fromLocalFile(d + "/help/html/index.html");

    // Neither form there: the CHM path, which then fails quietly in the desktop's opener.
    EXPECT_EQ(help::Choose(d, true), chm);
    EXPECT_EQ(help::Choose(d, false), chm);
    Write(d + "/help/Tarnomp3recorder.chm");
    EXPECT_EQ(help::Choose(d, true), chm);
    EXPECT_EQ(help::Choose(d, false), chm); // no HTML to fall back on
    Write(d + "/help/html/index.html");
    EXPECT_EQ(help::Choose(d, true), chm);
    EXPECT_EQ(help::Choose(d, false), html);
    QFile::remove(d + "/help/Tarnomp3recorder.chm");
    EXPECT_EQ(help::Choose(d, true), html);
}

// Stands in for the desktop's URL opener.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

// The real xdg-mime, asked about a private desktop: its own application folders and defaults.
class HelpOnADesktop : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_HOME",
                                 "XDG_CONFIG_DIRS", "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION",
                                 "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID", "PATH"})
            saved.emplace_back(name, qgetenv(name));
        qputenv("XDG_DATA_HOME", (desk.path() + "/data").toUtf8());
        qputenv("XDG_DATA_DIRS", (desk.path() + "/system").toUtf8());
        qputenv("XDG_CONFIG_HOME", (desk.path() + "/config").toUtf8());
        qputenv("XDG_CONFIG_DIRS", (desk.path() + "/sysconfig").toUtf8());
        for (const char* name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                                 "GNOME_DESKTOP_SESSION_ID"})
            qunsetenv(name);
        QDir().mkpath(desk.path() + "/config");
        Write(data.path() + "/help/Tarnomp3recorder.chm");
        Write(data.path() + "/help/html/index.html");
        QDesktopServices::setUrlHandler("file", &catcher, "open");
    }
    void TearDown() override {
        QDesktopServices::unsetUrlHandler("file");
        for (const auto& [name, value] : saved)
            value.isNull() ? qunsetenv(name) : qputenv(name, value);
    }
    void InstallChmViewer() {
        Write(desk.path() + "/data/applications/chmviewer.desktop",
              "[Desktop Entry]\nType=Application\nName=CHM viewer\nExec=true %f\n"
              "MimeType=application/vnd.ms-htmlhelp;\n");
        Write(desk.path() + "/config/mimeapps.list",
              "[Default Applications]\napplication/vnd.ms-htmlhelp=chmviewer.desktop\n");
    }
    QUrl Opened(int timeoutMs = 3000) {
        catcher.urls.clear();
        QObject context;
        help::Open(data.path(), &context, timeoutMs);
        QElapsedTimer clock;
        clock.start();
        while (catcher.urls.isEmpty() && clock.elapsed() < 15000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return catcher.urls.value(0);
    }
    QUrl Chm() const { return QUrl::fromLocalFile(data.path() + "/help/Tarnomp3recorder.chm"); }
    QUrl Html() const { return QUrl::fromLocalFile(data.path() + "/help/html/index.html"); }

    UrlCatcher catcher;
    QTemporaryDir desk, data;
    std::vector<std::pair<const char*, QByteArray>> saved;
};

TEST_F(HelpOnADesktop, TheHtmlOpensWhereNoProgramOpensChmFilesAndTheChmWhereOneDoes) {
    EXPECT_EQ(Opened(), Html());
    InstallChmViewer();
    EXPECT_EQ(Opened(), Chm());
}

TEST_F(HelpOnADesktop, NoXdgMimeOrOneThatHangsMeansTheHtml) {
    InstallChmViewer();
    QTemporaryDir bin;
    qputenv("PATH", bin.path().toUtf8());
    EXPECT_EQ(Opened(), Html());

    Write(bin.path() + "/xdg-mime", "#!/bin/sh\nexec /bin/sleep 30\n");
    QFile::setPermissions(bin.path() + "/xdg-mime", QFile::ReadOwner | QFile::ExeOwner);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(Opened(300), Html());
    EXPECT_LT(clock.elapsed(), 5000);
}

} // namespace

#include "helpviewer_test.moc"

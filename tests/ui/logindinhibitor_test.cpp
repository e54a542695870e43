// The sleep inhibitor against a stand-in for logind on a private D-Bus daemon, and its silence
// where there is no bus or no logind.

#include "logindinhibitor.h"

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QThread>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <mutex>
#include <poll.h>
#include <unistd.h>

// What logind does for Inhibit: hands out one end of a pipe; the lock lasts while it is open.
class FakeLogind : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    int readEnd = -1;
    QStringList lastCall;

public slots:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why,
                                    const QString& mode) {
        int fds[2];
        if (pipe(fds) != 0)
            return {};
        fcntl(fds[0], F_SETFL, O_NONBLOCK);
        {
            std::lock_guard<std::mutex> lock(m);
            readEnd = fds[0];
            lastCall = {what, who, why, mode};
        }
        QDBusUnixFileDescriptor out(fds[1]); // a copy travels to the caller
        close(fds[1]);
        return out;
    }

public:
    std::mutex m;
};

namespace {

// True once every copy of the pipe's write end is closed.
bool Released(int readEnd) {
    pollfd p{readEnd, POLLIN, 0};
    if (poll(&p, 1, 500) <= 0)
        return false;
    char c;
    return read(readEnd, &c, 1) == 0;
}

} // namespace

TEST(LogindInhibitor, HoldsTheLockWhileRecordingAndReleasesIt) {
    QProcess daemon;
    daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
    if (!daemon.waitForStarted(5000) || !daemon.waitForReadyRead(5000))
        GTEST_SKIP() << "dbus-daemon could not be started";
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();

    QThread serviceThread;
    serviceThread.start();
    FakeLogind logind;
    logind.moveToThread(&serviceThread);
    QDBusConnection service = QDBusConnection::connectToBus(address, "fake-logind");
    ASSERT_TRUE(service.isConnected());
    ASSERT_TRUE(service.registerService("org.test.login1"));
    ASSERT_TRUE(service.registerObject("/org/freedesktop/login1", &logind,
                                       QDBusConnection::ExportAllSlots));

    {
        QDBusConnection client = QDBusConnection::connectToBus(address, "recorder");
        LogindInhibitor inhibitor(client, "org.test.login1");
        inhibitor.Inhibit("Recording 06-12--23;41;05.mp3");
        ASSERT_TRUE(inhibitor.Holding());
        int readEnd;
        {
            std::lock_guard<std::mutex> lock(logind.m);
            readEnd = logind.readEnd;
            EXPECT_EQ(logind.lastCall, QStringList({"sleep", "Tarno MP3 Recorder",
                                                    "Recording 06-12--23;41;05.mp3", "block"}));
        }
        EXPECT_FALSE(Released(readEnd));
        inhibitor.Inhibit("again"); // a second request keeps the one lock
        inhibitor.Release();
        EXPECT_FALSE(inhibitor.Holding());
        EXPECT_TRUE(Released(readEnd));
        close(readEnd);

        // Released by the destructor too.
        inhibitor.Inhibit("Recording");
    }
    EXPECT_TRUE(Released(logind.readEnd));
    close(logind.readEnd);

    // No logind on the bus: nothing held, nothing thrown.
    {
        QDBusConnection client = QDBusConnection::connectToBus(address, "recorder2");
        LogindInhibitor inhibitor(client, "org.test.nobody");
        inhibitor.Inhibit("Recording");
        EXPECT_FALSE(inhibitor.Holding());
        inhibitor.Release();
    }
    QDBusConnection::disconnectFromBus("recorder");
    QDBusConnection::disconnectFromBus("recorder2");
    service.unregisterObject("/org/freedesktop/login1");
    QDBusConnection::disconnectFromBus("fake-logind");
    serviceThread.quit();
    serviceThread.wait();
    daemon.terminate();
    daemon.waitForFinished(5000);
}

TEST(LogindInhibitor, WithoutABusNothingHappens) {
    LogindInhibitor inhibitor(QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "none"));
    inhibitor.Inhibit("Recording");
    EXPECT_FALSE(inhibitor.Holding());
    inhibitor.Release();
    QDBusConnection::disconnectFromBus("none");
}

#include "logindinhibitor_test.moc"

#include "singleinstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

namespace {

using Outcome = SingleInstance::Outcome;

// Runs `work` on another thread while this thread's event loop keeps going (the guard answers
// from it), and returns its result.
template <typename F> auto WhileServing(F work) {
    auto future = std::async(std::launch::async, work);
    while (future.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return future.get();
}

TEST(SingleInstance, SecondStartFindsTheFirstAndAsksItToShowItsWindow) {
    QTemporaryDir runtime;
    SingleInstance first(runtime.path());
    ASSERT_EQ(first.Acquire(), Outcome::First);
    int shown = 0;
    ASSERT_TRUE(first.Listen([&] { ++shown; }));

    SingleInstance second(runtime.path());
    EXPECT_EQ(second.Acquire(), Outcome::AlreadyRunning);
    QString why;
    EXPECT_TRUE(WhileServing([&] { return second.AskRunningToShow(5000, &why); }))
        << why.toStdString();
    EXPECT_EQ(shown, 1);
    // And again: every later start is answered.
    EXPECT_TRUE(WhileServing([&] { return second.AskRunningToShow(5000); }));
    EXPECT_EQ(shown, 2);
}

TEST(SingleInstance, TheLockIsFreeAgainOnceTheFirstEnds) {
    QTemporaryDir runtime;
    {
        SingleInstance first(runtime.path());
        ASSERT_EQ(first.Acquire(), Outcome::First);
        EXPECT_TRUE(QFileInfo::exists(first.LockPath()));
    }
    SingleInstance next(runtime.path());
    EXPECT_EQ(next.Acquire(), Outcome::First);
}

TEST(SingleInstance, LeftoversOfAProgramThatIsGoneNeverPreventAStart) {
    QTemporaryDir runtime;
    const QString lock = runtime.path() + "/tarno-recorder.lock";
    const QString socket = runtime.path() + "/tarno-recorder.socket";
    auto leave = [&](const QByteArray& content) {
        QFile f(lock);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    };
    const QByteArray cases[] = {
        "",                              // died between creating the lock and writing it
        "garbage\n",                     // unreadable
        "999999999\ntarno-recorder\n\n", // a process id that is gone
        "1\ntarno-recorder\n\n",         // a process id now used by another program
        QByteArray::number(QCoreApplication::applicationPid()) + "\napp_tests\n\n", // even ours
    };
    for (const QByteArray& content : cases) {
        leave(content);
        // A socket file of the old program is there too.
        QFile s(socket);
        ASSERT_TRUE(s.open(QIODevice::WriteOnly));
        s.close();
        SingleInstance next(runtime.path());
        EXPECT_EQ(next.Acquire(), Outcome::First) << content.toStdString();
        int shown = 0;
        EXPECT_TRUE(next.Listen([&] { ++shown; })) << content.toStdString();
        SingleInstance later(runtime.path());
        EXPECT_EQ(later.Acquire(), Outcome::AlreadyRunning);
        EXPECT_TRUE(WhileServing([&] { return later.AskRunningToShow(5000); }));
        EXPECT_EQ(shown, 1);
    }
}

TEST(SingleInstance, NoAnswerAndNoFolderAreReportedNotHidden) {
    QTemporaryDir runtime;
    SingleInstance first(runtime.path());
    ASSERT_EQ(first.Acquire(), Outcome::First); // holds the lock but never listens
    SingleInstance second(runtime.path());
    ASSERT_EQ(second.Acquire(), Outcome::AlreadyRunning);
    QElapsedTimer clock;
    clock.start();
    QString why;
    EXPECT_FALSE(second.AskRunningToShow(600, &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_LT(clock.elapsed(), 3000);

    SingleInstance nowhere(runtime.path() + "/missing");
    EXPECT_EQ(nowhere.Acquire(&why), Outcome::Unguarded);
    EXPECT_TRUE(why.contains(runtime.path() + "/missing")) << why.toStdString();
    // No runtime folder at all: no lock in the working folder or at the root instead.
    SingleInstance none(QString{});
    EXPECT_EQ(none.Acquire(&why), Outcome::Unguarded);
    EXPECT_FALSE(QFileInfo::exists("/tarno-recorder.lock"));
    EXPECT_FALSE(QFileInfo::exists("tarno-recorder.lock"));
    // A folder the lock cannot be written into.
    QDir().mkpath(runtime.path() + "/locked");
    QFile::setPermissions(runtime.path() + "/locked", QFile::ReadOwner | QFile::ExeOwner);
    SingleInstance readOnly(runtime.path() + "/locked");
    if (::geteuid() != 0) { // root writes anyway
        EXPECT_EQ(readOnly.Acquire(&why), Outcome::Unguarded);
    }
}

TEST(SingleInstance, AStrangerOnTheSocketIsDroppedAndShowsNothing) {
    QTemporaryDir runtime;
    SingleInstance first(runtime.path());
    ASSERT_EQ(first.Acquire(), Outcome::First);
    int shown = 0;
    ASSERT_TRUE(first.Listen([&] { ++shown; }));

    for (const QByteArray& junk : {QByteArray("SHOW\n"), QByteArray(200, 'x'), QByteArray("sh")}) {
        QLocalSocket stranger;
        stranger.connectToServer(first.SocketPath());
        ASSERT_TRUE(stranger.waitForConnected(2000));
        stranger.write(junk);
        stranger.flush();
        QElapsedTimer clock;
        clock.start();
        // Dropped at once for a wrong or overlong line; after a short wait for an unfinished one.
        while (stranger.state() != QLocalSocket::UnconnectedState && clock.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            if (stranger.state() != QLocalSocket::UnconnectedState)
                stranger.waitForDisconnected(10);
        }
        EXPECT_EQ(stranger.state(), QLocalSocket::UnconnectedState) << junk.toStdString();
        EXPECT_TRUE(stranger.readAll().isEmpty());
    }
    EXPECT_EQ(shown, 0);
    SingleInstance second(runtime.path());
    EXPECT_TRUE(WhileServing([&] { return second.AskRunningToShow(5000); }));
    EXPECT_EQ(shown, 1);
}

// The real program, twice, in its own runtime folder.
class Program {
public:
    explicit Program(const QString& home) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home);
        env.insert("XDG_CONFIG_HOME", home + "/config");
        env.insert("XDG_RUNTIME_DIR", home + "/runtime");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("ASAN_OPTIONS", "detect_leaks=0");
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    ~Program() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    void Start() { process.start(TARNO_EXE, {}); }
    QProcess process;
};

bool WaitFor(const QString& path, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!QFileInfo::exists(path) && clock.elapsed() < ms)
        QThread::msleep(50);
    return QFileInfo::exists(path);
}

TEST(SingleInstance, TheRealProgramRunsOnceAndTakesOverAfterACrash) {
    QTemporaryDir home;
    QDir().mkpath(home.path() + "/runtime");
    QFile::setPermissions(home.path() + "/runtime",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString socket = home.path() + "/runtime/tarno-recorder.socket";

    Program first(home.path());
    first.Start();
    ASSERT_TRUE(first.process.waitForStarted(10000));
    ASSERT_TRUE(WaitFor(socket, 60000)) << "the first start never answered";

    // Two starts, one program: the second hands over and ends at once.
    Program second(home.path());
    second.Start();
    ASSERT_TRUE(second.process.waitForFinished(30000));
    EXPECT_EQ(second.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.process.exitCode(), 0);
    EXPECT_EQ(first.process.state(), QProcess::Running);

    // The first crashes: its lock and socket stay behind, and still the next start runs.
    ::kill(pid_t(first.process.processId()), SIGKILL);
    ASSERT_TRUE(first.process.waitForFinished(10000));
    ASSERT_TRUE(QFileInfo::exists(home.path() + "/runtime/tarno-recorder.lock"));
    Program third(home.path());
    third.Start();
    ASSERT_TRUE(third.process.waitForStarted(10000));
    // It takes the lock over and answers: a fourth start hands over to it.
    const QString lock = home.path() + "/runtime/tarno-recorder.lock";
    QElapsedTimer clock;
    clock.start();
    auto owner = [&] {
        QFile f(lock);
        return f.open(QIODevice::ReadOnly) ? f.readLine().trimmed().toLongLong() : 0;
    };
    while (owner() != third.process.processId() && clock.elapsed() < 60000)
        QThread::msleep(50);
    ASSERT_EQ(owner(), third.process.processId());
    Program fourth(home.path());
    fourth.Start();
    ASSERT_TRUE(fourth.process.waitForFinished(60000));
    EXPECT_EQ(fourth.process.exitCode(), 0);
    EXPECT_EQ(third.process.state(), QProcess::Running);
}

} // namespace

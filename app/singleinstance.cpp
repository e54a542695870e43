#include "singleinstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>
#include <QWidget>

namespace {
// One line each way. A client that says anything else, or too much, is dropped.
constexpr char kShowRequest[] = "show\n";
constexpr char kShowAnswer[] = "ok\n";
constexpr int kMaxRequest = 64;
// How long a connected client may take to say what it wants.
constexpr int kClientMs = 2000;
} // namespace

SingleInstance::SingleInstance(const QString& runtimeDir, QObject* parent)
    : QObject(parent), runtimeDir_(runtimeDir),
      lock_(runtimeDir + QStringLiteral("/tarno-recorder.lock")),
      socketPath_(runtimeDir + QStringLiteral("/tarno-recorder.socket")) {
    // The program runs for days: age alone never makes the lock stale.
    lock_.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() {
    if (server_)
        server_->close();
    lock_.unlock();
}

SingleInstance::Outcome SingleInstance::Acquire(QString* why) {
    // Never a lock relative to the working folder or at the file system's root.
    if (runtimeDir_.isEmpty() || !QDir::isAbsolutePath(runtimeDir_) ||
        !QFileInfo(runtimeDir_).isDir()) {
        if (why)
            *why = QStringLiteral("no runtime folder (%1)")
                       .arg(runtimeDir_.isEmpty() ? QStringLiteral("none") : runtimeDir_);
        return Outcome::Unguarded;
    }
    if (lock_.tryLock(0))
        return Outcome::First;
    if (lock_.error() != QLockFile::LockFailedError) {
        if (why)
            *why = QStringLiteral("cannot create %1").arg(lock_.fileName());
        return Outcome::Unguarded;
    }
    // Qt has already removed a lock whose process is gone. What is left may still be stale: a
    // lock file that could not be read (its writer died), or a process id now used by another
    // program. Removing succeeds only when no live process holds the file lock on it.
    if (lock_.removeStaleLockFile() && lock_.tryLock(0))
        return Outcome::First;
    return Outcome::AlreadyRunning;
}

bool SingleInstance::AskRunningToShow(int timeoutMs, QString* why) {
    QDeadlineTimer deadline(timeoutMs);
    QString failure = QStringLiteral("no answer");
    do {
        QLocalSocket socket;
        socket.connectToServer(socketPath_);
        if (socket.waitForConnected(int(deadline.remainingTime()))) {
            socket.write(kShowRequest);
            QByteArray answer;
            while (!answer.endsWith('\n') && answer.size() < kMaxRequest &&
                   socket.waitForReadyRead(int(deadline.remainingTime())))
                answer += socket.readAll();
            if (answer == kShowAnswer)
                return true;
            failure = answer.isEmpty() ? QStringLiteral("no answer")
                                       : QStringLiteral("an unexpected answer");
        } else {
            failure = socket.errorString();
        }
        QThread::msleep(100);
    } while (!deadline.hasExpired());
    if (why)
        *why = failure;
    return false;
}

bool SingleInstance::Listen(std::function<void()> show, QString* why) {
    show_ = std::move(show);
    server_ = std::make_unique<QLocalServer>();
    // Only the same user may connect; the runtime folder is private anyway.
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // Holding the lock, any socket file here was left by a program that is gone.
    QLocalServer::removeServer(socketPath_);
    if (!server_->listen(socketPath_)) {
        if (why)
            *why =
                QStringLiteral("cannot listen on %1: %2").arg(socketPath_, server_->errorString());
        server_.reset();
        return false;
    }
    connect(server_.get(), &QLocalServer::newConnection, this, &SingleInstance::Answer);
    return true;
}

void SingleInstance::Answer() {
    while (QLocalSocket* client = server_->nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        QTimer::singleShot(kClientMs, client, [client] { client->abort(); });
        connect(client, &QLocalSocket::readyRead, this, [this, client] {
            if (!client->canReadLine()) {
                if (client->bytesAvailable() > kMaxRequest)
                    client->abort();
                return;
            }
            const QByteArray request = client->readLine(kMaxRequest);
            if (request != kShowRequest) {
                client->abort();
                return;
            }
            if (show_)
                show_();
            client->write(kShowAnswer);
            client->disconnectFromServer();
        });
    }
}

void BringToFront(QWidget& window) {
    window.show();
    window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window.raise();
    window.activateWindow();
}

#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QLocalServer;
class QWidget;

// One running program per user. The first start holds a lock file in the user's runtime folder
// ($XDG_RUNTIME_DIR, private to the user) and answers on a local socket beside it; a later start
// finds the lock held, asks the first over the socket to bring its main window forward, and ends.
//
// A lock left behind by a program that is gone (crashed, killed, or died while writing the lock)
// never prevents a start: the holder's file lock ends with its process, and a lock file nobody
// holds is taken over.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        First,          // this process holds the lock and should run
        AlreadyRunning, // another live process holds it: call AskRunningToShow and end
        Unguarded,      // the lock could not be made (no runtime folder, not writable): run anyway
    };

    // `runtimeDir` must exist and be private to the user; the lock and the socket live there.
    explicit SingleInstance(const QString& runtimeDir, QObject* parent = nullptr);
    // Stops answering and releases the lock.
    ~SingleInstance() override;

    // Tries to take the lock, once, without waiting. For Unguarded, `why` (when given) says what
    // failed.
    Outcome Acquire(QString* why = nullptr);

    // After AlreadyRunning: asks the running program to show its main window and waits up to
    // `timeoutMs` for its confirmation, retrying the connection meanwhile (the running program may
    // still be starting). Blocks the calling thread; needs no event loop. False, with the reason
    // in `why`, when no confirmation came.
    bool AskRunningToShow(int timeoutMs, QString* why = nullptr);

    // After First: answers later starts. `show` runs on this object's thread, from its event
    // loop, once for each start that asked. False, with the reason in `why`, when the socket could
    // not be opened (the program then runs without answering; later starts report that).
    bool Listen(std::function<void()> show, QString* why = nullptr);

    QString LockPath() const { return lock_.fileName(); }
    QString SocketPath() const { return socketPath_; }

private:
    void Answer();

    QString runtimeDir_;
    QLockFile lock_;
    QString socketPath_;
    std::function<void()> show_;
    std::unique_ptr<QLocalServer> server_;
};

// Brings a top-level window forward: shown, not minimised, raised and asked to take the focus.
void BringToFront(QWidget& window);

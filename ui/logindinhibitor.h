#pragma once

#include "sleepinhibitor.h"

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QString>

// Asks logind not to suspend the machine while a recording is open: a "sleep" inhibitor lock of
// mode "block", held as the file descriptor logind returns and released by closing it. Without a
// system bus, without logind, or when logind refuses, the recording goes on and nothing is said.
class LogindInhibitor : public SleepInhibitor {
public:
    // The system bus and logind's well-known name; tests pass a private bus and their own service.
    explicit LogindInhibitor(QDBusConnection bus = QDBusConnection::systemBus(),
                             QString service = QStringLiteral("org.freedesktop.login1"));
    ~LogindInhibitor() override;

    void Inhibit(const QString& why) override;
    void Release() override;

    // True while logind holds our lock.
    bool Holding() const { return lock_.isValid(); }

private:
    QDBusConnection bus_;
    QString service_;
    QDBusUnixFileDescriptor lock_;
};

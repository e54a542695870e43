#include "logindinhibitor.h"

#include <QDBusMessage>
#include <QDBusReply>

namespace {
// A suspend request waits for us only this long, so a hanging bus must not hold up a recording.
constexpr int kCallTimeoutMs = 2000;
} // namespace

LogindInhibitor::LogindInhibitor(QDBusConnection bus, QString service)
    : bus_(std::move(bus)), service_(std::move(service)) {}

LogindInhibitor::~LogindInhibitor() {
    Release();
}

void LogindInhibitor::Inhibit(const QString& why) {
    if (lock_.isValid() || !bus_.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        service_, QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << QStringLiteral("Tarno MP3 Recorder") << why
         << QStringLiteral("block");
    const QDBusReply<QDBusUnixFileDescriptor> reply = bus_.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.isValid())
        lock_ = reply.value();
}

void LogindInhibitor::Release() {
    // Our copy of the descriptor is the lock; closing it lets the machine sleep again.
    lock_ = QDBusUnixFileDescriptor();
}

#include "uiwake.h"

#include "componenterror.h"

#include <QSocketNotifier>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

struct UiWake::Channel {
    int fd = -1;
    std::thread::id owner;
    // Owner thread only: where a wake on the owner thread goes; cleared when the UiWake dies.
    std::function<void()> direct;
    bool listening = true; // owner thread only

    ~Channel() {
        if (fd >= 0)
            ::close(fd);
    }

    void Signal() {
        if (std::this_thread::get_id() == owner && listening) {
            if (direct)
                direct();
            return;
        }
        // Every wake adds to the eventfd's counter; the owner reads it back to zero before each
        // run, so a wake that lands during a run makes one more run, and none is lost. EAGAIN
        // (a counter at its maximum) wakes the owner just the same.
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(fd, &one, sizeof one);
    }
};

UiWake::UiWake(std::function<void()> process, QObject* parent)
    : QObject(parent), channel_(std::make_shared<Channel>()), process_(std::move(process)) {
    channel_->fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (channel_->fd < 0)
        throw ComponentError(std::string("Cannot create the sound wake-up channel: ") +
                             std::strerror(errno));
    channel_->owner = std::this_thread::get_id();
    channel_->direct = [this]() { process_(); };
    notifier_ =
        new QSocketNotifier(static_cast<qintptr>(channel_->fd), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &UiWake::OnReadable);
}

UiWake::~UiWake() {
    channel_->direct = nullptr;
    delete notifier_;
}

WakeFunction UiWake::Function() const {
    return [channel = channel_]() { channel->Signal(); };
}

void UiWake::SetListening(bool listening) {
    channel_->listening = listening;
    notifier_->setEnabled(listening);
}

void UiWake::OnReadable() {
    // Draining the counter first means `process` sees everything signalled before the read.
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(channel_->fd, &count, sizeof count);
    process_();
}

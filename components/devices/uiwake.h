#pragma once

#include "audiobackend.h"

#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

// How a component gets from the sound server's thread back to its own (UI) thread.
//
// A UiWake belongs to one component and lives on the thread that created it (the owner thread).
// Function() hands out the WakeFunction a stream is opened with. Called on any other thread, that
// function only writes to an eventfd: it touches no Qt object, so it stays
// safe however the owner's objects are being created or destroyed meanwhile. The owner thread's
// event loop sees the eventfd through a QSocketNotifier and runs `process` once for any number of
// wakes since the previous run. Called on the owner thread itself, the function runs `process` at
// once (the simulated backend delivers its events that way, synchronously).
//
// The eventfd lives in a small shared block that every WakeFunction holds, so a stream that is
// still being torn down can never write to a closed or reused descriptor. Once the UiWake is
// destroyed, `process` never runs again, even for wakes still in flight.
class UiWake : public QObject {
    Q_OBJECT
public:
    explicit UiWake(std::function<void()> process, QObject* parent = nullptr);
    ~UiWake() override;

    WakeFunction Function() const;

    // Owner thread only. While not listening, wakes are only counted, from any thread: `process`
    // runs for them once listening again (the owner reads on a clock of its own meanwhile, so the
    // wakes need not cost it an event each). Listening is the default.
    void SetListening(bool listening);

    struct Channel; // the shared block: the eventfd and the owner thread

private:
    void OnReadable();

    std::shared_ptr<Channel> channel_;
    std::function<void()> process_;
    QSocketNotifier* notifier_ = nullptr;
};

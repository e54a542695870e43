#pragma once

#include "audiobackend.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>

// The wake function a component hands its stream: called on the backend's thread, it queues one
// run of `process` on the owner's (UI) thread, at most one outstanding at a time; called on the
// owner's thread itself, it runs `process` at once. Nothing runs once the owner is gone.
inline WakeFunction MakeUiWake(QObject* owner, std::shared_ptr<std::atomic<bool>> queued,
                               std::function<void()> process) {
    QPointer<QObject> target(owner);
    return [target, queued, process]() {
        if (target && QThread::currentThread() == target->thread()) {
            process();
            return;
        }
        if (queued->exchange(true))
            return;
        QMetaObject::invokeMethod(
            target.data(),
            [target, queued, process]() {
                queued->store(false);
                if (target)
                    process();
            },
            Qt::QueuedConnection);
    };
}

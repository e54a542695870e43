#pragma once

#include <QString>

// Keeps the machine from suspending while a recording is open: a suspend would cut the
// recording without a word. The default does nothing, for machines without a session manager to
// ask; the desktop implementation talks to logind. Calls come in pairs on the UI thread: Inhibit
// when a recording opens, Release when it is closed (also after a failure). Neither may throw.
class SleepInhibitor {
public:
    virtual ~SleepInhibitor() = default;
    // `why` is shown by the desktop in its list of blockers.
    virtual void Inhibit(const QString& why) { (void)why; }
    virtual void Release() {}
};

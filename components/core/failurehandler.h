#pragma once

#include <exception>
#include <functional>
#include <stdexcept>

// Where a failure goes that happens in an event handler: a slot, a timer, a wake-up from the
// sound server's thread. Such a handler has no caller to hand the failure to, and an exception
// must never unwind through Qt's signal dispatch. The program sets its one handler, which shows
// the message and stops what runs (Tfm_main::ApplicationEvents1Exception).
using FailureHandler = std::function<void(const std::exception&)>;

// Runs `action`; what it throws goes to `handler`, once, and nothing leaves this call. Without a
// handler the failure propagates to whoever raised the event: a test that drives the events by
// hand sees it there.
template <class Action> void HandleFailures(const FailureHandler& handler, Action&& action) {
    if (!handler) {
        action();
        return;
    }
    try {
        action();
    } catch (const std::exception& e) {
        handler(e);
    } catch (...) {
        handler(std::runtime_error("An unknown error occurred."));
    }
}

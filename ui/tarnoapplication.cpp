#include "tarnoapplication.h"

#include <cstdio>
#include <stdexcept>

TarnoApplication::TarnoApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TarnoApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        if (handler_ && !inHandler_) {
            // The handler shows a modal box, whose own events come back through here; an
            // exception raised while it runs is reported on stderr instead of recursing.
            inHandler_ = true;
            try {
                handler_(e);
            } catch (const std::exception& again) {
                std::fprintf(stderr, "tarno-recorder: %s\n", again.what());
            }
            inHandler_ = false;
        } else {
            std::fprintf(stderr, "tarno-recorder: %s\n", e.what());
        }
    } catch (...) {
        std::fprintf(stderr, "tarno-recorder: unknown error\n");
    }
    return false;
}

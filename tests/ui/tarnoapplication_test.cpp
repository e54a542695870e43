// An exception escaping an event handler reaches the application's one handler, once, and the
// event loop goes on; one raised inside that handler is reported without recursing.
#include "componenterror.h"
#include "tarnoapplication.h"

#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TarnoApplication app(argc, argv);
    std::vector<std::string> seen;
    app.SetExceptionHandler([&](const std::exception& e) {
        seen.emplace_back(e.what());
        if (seen.size() == 2)
            throw std::runtime_error("raised inside the handler");
    });
    int after = 0;
    QTimer::singleShot(0, [] { throw ComponentError("Cannot write '/x.wav': No space left"); });
    QTimer::singleShot(5, [] { throw std::runtime_error("second"); });
    QTimer::singleShot(10, [&] { ++after; });
    QTimer::singleShot(50, [&] { app.quit(); });
    app.exec();

    int failed = 0;
    auto check = [&](bool ok, const char* what) {
        std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
        failed += ok ? 0 : 1;
    };
    check(seen.size() == 2, "both exceptions reached the handler once each");
    check(!seen.empty() && seen[0] == "Cannot write '/x.wav': No space left", "message kept");
    check(after == 1, "the event loop went on after the exceptions");
    std::printf("%d passed, %d failed\n", 3 - failed, failed);
    return failed == 0 ? 0 : 1;
}

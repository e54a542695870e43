// The bridge from the sound server's thread to the UI thread: wakes from another thread reach the
// owner's event loop, none is lost, and none reaches an owner that is gone.
#include "uiwake.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// Runs the event loop until `done` holds or two seconds pass.
template <class F> bool SpinUntil(F done) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

TEST(UiWake, WakesFromAnotherThreadRunOnTheOwnerAndNoneIsLost) {
    const auto owner = std::this_thread::get_id();
    std::atomic<int> produced{0};
    int seen = 0;
    int runs = 0;
    bool onOwner = true;
    UiWake wake([&] {
        ++runs;
        onOwner = onOwner && std::this_thread::get_id() == owner;
        seen = produced.load();
    });
    const WakeFunction fn = wake.Function();

    // The producer publishes, then wakes, as a capture callback does.
    std::thread producer([&] {
        for (int i = 0; i < 5000; ++i) {
            produced.fetch_add(1);
            fn();
        }
    });
    producer.join();
    EXPECT_TRUE(SpinUntil([&] { return seen == 5000; })) << "the last wake was lost: " << seen;
    EXPECT_TRUE(onOwner);
    EXPECT_GE(runs, 1);
    EXPECT_LT(runs, 5000) << "wakes that arrive together are handled in one run";

    // Called on the owner thread, the work runs at once (the simulated backend relies on it).
    const int before = runs;
    fn();
    EXPECT_EQ(runs, before + 1);
}

TEST(UiWake, AWakeFunctionOutlivesItsOwnerHarmlessly) {
    int runs = 0;
    WakeFunction fn;
    {
        UiWake wake([&] { ++runs; });
        fn = wake.Function();
    }
    // A stream being torn down may still wake, from its thread or from ours: nothing runs.
    std::thread late([&] { fn(); });
    late.join();
    fn();
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 0);
}

TEST(UiWake, OwnersComingAndGoingWhileAnotherThreadWakesThem) {
    // The crash this guards against: the sound thread woke a component while the UI thread was
    // destroying one owner and creating the next (under the sanitizers, a use after free).
    std::mutex m;
    std::shared_ptr<const WakeFunction> current;
    std::atomic<bool> stop{false};
    std::thread waker([&] {
        while (!stop.load()) {
            std::shared_ptr<const WakeFunction> f;
            {
                std::lock_guard lock(m);
                f = current;
            }
            if (f)
                (*f)();
        }
    });
    int runs = 0;
    // At least 2000 owners, and more until one was woken: on a busy machine the waker thread
    // may not have been scheduled yet.
    for (int i = 0; i < 2000 || (runs == 0 && i < 200000); ++i) {
        auto wake = std::make_unique<UiWake>([&] { ++runs; });
        {
            std::lock_guard lock(m);
            current = std::make_shared<const WakeFunction>(wake->Function());
        }
        QCoreApplication::processEvents();
        wake.reset();
    }
    stop.store(true);
    waker.join();
    QCoreApplication::processEvents();
    EXPECT_GT(runs, 0) << "the live owners were woken";
}

} // namespace

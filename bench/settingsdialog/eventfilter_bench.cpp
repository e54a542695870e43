// The cost the application-wide event filter adds to every event the program handles, and to a
// function-key press (which reads the four bindings from the settings file).
//
//   QT_QPA_PLATFORM=offscreen build/bench/settingsdialog/bench_eventfilter
//
// Prints nanoseconds per event without the filter, with it (schedule off, and schedule on but
// not matching), and the ratio; then microseconds per hot-key press.
#include "appeventfilter.h"
#include "appstate.h"
#include "ports.h"
#include "prompts.h"
#include "recorderskin.h"
#include "simulatedbackend.h"
#include "taudiofile2.h"
#include "taudiorecord2.h"
#include "tfm_dir.h"
#include "tfm_set.h"
#include "tinifile.h"
#include "tskin.h"

#include <QApplication>
#include <QDateTimeEdit>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QRadioButton>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

namespace {

struct NoPrompts : Prompts {
    void Information(const QString&) override {}
    bool YesNo(const QString&) override { return false; }
    QString SaveFileName(const QString&) override { return {}; }
    QStringList OpenFileNames(const QString&) override { return {}; }
};

struct CountingActions : RecorderActions {
    long calls = 0;
    void StartRecording() override { ++calls; }
    void StopRecording() override { ++calls; }
    void ToggleRecordPause() override { ++calls; }
    void PlaySelected() override { ++calls; }
    void TogglePlayPause() override { ++calls; }
    void StopPlaying() override { ++calls; }
};

// Nanoseconds per event delivered to a plain object.
double PerEvent(int rounds) {
    QObject target;
    QEvent event(QEvent::User);
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < rounds; ++i)
        QCoreApplication::sendEvent(&target, &event);
    return static_cast<double>(t.nsecsElapsed()) / rounds;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QTemporaryDir dir;
    TIniFile ini(dir.filePath(QStringLiteral("tarnoRecord.ini")));
    AppState state;
    NoPrompts prompts;
    TSkin skin{recorderskin::FallbackSkin()};
    TAudioFile2 file;
    TAudioRecord2 record(std::make_shared<SimulatedBackend>());
    Tfm_dir fm_dir(state);
    Tfm_set fm_set(ini, state, prompts, skin, file, record, fm_dir, dir.path(), nullptr);
    fm_set.LoadFromStore();
    CountingActions actions;
    AppEventFilter filter(state, ini, actions, fm_set);

    constexpr int kRounds = 200000;
    PerEvent(kRounds / 10); // warm-up
    const double bare = PerEvent(kRounds);
    app.installEventFilter(&filter);
    const double off = PerEvent(kRounds);
    // Times that do not match during the run (set before the mode, so nothing falls due).
    fm_set.Begintime->setTime(QTime::currentTime().addSecs(3600));
    fm_set.endtime->setTime(QTime::currentTime().addSecs(7200));
    fm_set.findChild<QRadioButton*>(QStringLiteral("RadioButton2"))->setChecked(true);
    const double on = PerEvent(kRounds);

    std::printf("event delivery without the filter:        %8.0f ns\n", bare);
    std::printf("with the filter, schedule disabled:       %8.0f ns  (%.2fx)\n", off, off / bare);
    std::printf("with the filter, schedule every day:      %8.0f ns  (%.2fx)\n", on, on / bare);

    // Hot-key presses that match nothing (F1) still read the four bindings from the file.
    constexpr int kPresses = 2000;
    QObject target;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < kPresses; ++i) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
        press.setTimestamp(static_cast<quint64>(i) + 1);
        QCoreApplication::sendEvent(&target, &press);
    }
    std::printf("one F-key press (4 reads of the store):   %8.1f us\n",
                static_cast<double>(t.nsecsElapsed()) / kPresses / 1000.0);
    return actions.calls == 0 ? 0 : 1;
}

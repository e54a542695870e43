#include "appeventfilter.h"
#include "dialogrig.h"
#include "testinput.h"

#include <QDateTimeEdit>
#include <QElapsedTimer>
#include <QRadioButton>
#include <gtest/gtest.h>

namespace {

struct ScheduleRig : DialogRig {
    FakeActions actions{state};
    QDateTime now{QDate(2026, 5, 4), QTime(7, 0, 0)};
    AppEventFilter::Clock clock = [this] { return now; };
    AppEventFilter filter{state, ini, actions, *fm_set, [this] { return clock(); }};

    void SetTimes(QTime begin, QTime end) {
        fm_set->Begintime->setTime(begin);
        fm_set->endtime->setTime(end);
    }
    // The clock at `when`, and a few events passing through the check in that second.
    QStringList At(const QDateTime& when) {
        now = when;
        actions.calls.clear();
        for (int i = 0; i < 5; ++i)
            filter.CheckSchedule();
        return actions.calls;
    }
};

const QStringList kStart{"StartRecording"};
const QStringList kStop{"StopRecording"};
const QStringList kNothing{};

QDateTime At(int day, int h, int m, int s) {
    return {QDate(2026, 5, day), QTime(h, m, s)};
}

} // namespace

TEST(Schedule, EveryDayStartsAndStopsOncePerMatchingSecond) {
    ScheduleRig rig;
    rig.fm_set->LoadFromStore();
    rig.Controls().RadioButton2->setChecked(true);
    rig.SetTimes(QTime(8, 0, 0), QTime(8, 30, 0));

    EXPECT_EQ(rig.At(At(4, 7, 59, 59)), kNothing);
    EXPECT_EQ(rig.At(At(4, 8, 0, 0)), kStart);
    EXPECT_EQ(rig.At(At(4, 8, 0, 0)), kNothing) << "a match acts once in its second";
    EXPECT_EQ(rig.At(At(4, 8, 0, 1)), kNothing);
    EXPECT_EQ(rig.At(At(4, 8, 30, 0)), kStop);
    EXPECT_EQ(rig.At(At(4, 8, 30, 0)), kNothing);
    // The next day again; a recording started by hand is stopped too.
    EXPECT_EQ(rig.At(At(5, 8, 0, 0)), kStart);
    EXPECT_EQ(rig.At(At(5, 8, 30, 0)), kStop);
    rig.state.recording = true;
    EXPECT_EQ(rig.At(At(6, 8, 30, 0)), kStop);
    // Nothing to stop: no call.
    EXPECT_EQ(rig.At(At(7, 8, 30, 0)), kNothing);
}

TEST(Schedule, RunsOverMidnight) {
    ScheduleRig rig;
    rig.Controls().RadioButton2->setChecked(true);
    rig.SetTimes(QTime(23, 0, 0), QTime(1, 0, 0));
    EXPECT_EQ(rig.At(At(4, 1, 0, 0)), kNothing);
    EXPECT_EQ(rig.At(At(4, 23, 0, 0)), kStart);
    EXPECT_EQ(rig.At(At(5, 0, 30, 0)), kNothing);
    EXPECT_TRUE(rig.state.recording);
    EXPECT_EQ(rig.At(At(5, 1, 0, 0)), kStop);
}

TEST(Schedule, SpecialDayActsOnThatDateOnly) {
    ScheduleRig rig;
    rig.Controls().RadioButton3->setChecked(true);
    rig.fm_set->date_time->setDate(QDate(2026, 5, 4));
    rig.SetTimes(QTime(8, 0, 0), QTime(8, 30, 0));
    EXPECT_EQ(rig.At(At(3, 8, 0, 0)), kNothing);
    rig.state.recording = true;
    EXPECT_EQ(rig.At(At(3, 8, 30, 0)), kNothing);
    rig.state.recording = false;
    EXPECT_EQ(rig.At(At(4, 8, 0, 0)), kStart);
    EXPECT_EQ(rig.At(At(4, 8, 30, 0)), kStop);
    EXPECT_EQ(rig.At(At(5, 8, 0, 0)), kNothing);

    // Disabled: nothing at all.
    rig.Controls().RadioButton1->setChecked(true);
    EXPECT_EQ(rig.At(At(4, 8, 0, 0)), kNothing);
}

TEST(Schedule, APausedRecordingIsResumedAtTheBeginTime) {
    ScheduleRig rig;
    rig.Controls().RadioButton2->setChecked(true);
    rig.SetTimes(QTime(8, 0, 0), QTime(9, 0, 0));
    rig.state.recording = true;
    rig.state.record_paused = true;
    EXPECT_EQ(rig.At(At(4, 8, 0, 0)), kStart);
    EXPECT_FALSE(rig.state.record_paused);
    EXPECT_TRUE(rig.state.recording);
}

TEST(Schedule, TheIdleProgramStillStartsAndStops) {
    // The filter is not installed on the application here: only its own wake-up runs the check.
    // The clock runs, starting half a second before the begin time.
    ScheduleRig rig;
    QElapsedTimer running;
    running.start();
    rig.clock = [&] {
        return QDateTime(QDate(2026, 5, 4), QTime(7, 59, 59, 500)).addMSecs(running.elapsed());
    };
    rig.Controls().RadioButton2->setChecked(true);
    rig.SetTimes(QTime(8, 0, 0), QTime(8, 0, 1));
    testinput::Wait(1200);
    EXPECT_EQ(rig.actions.calls, kStart);
    testinput::Wait(1000);
    EXPECT_EQ(rig.actions.calls, QStringList({"StartRecording", "StopRecording"}));
}

TEST(Schedule, NothingWakesTheProgramWithoutASchedule) {
    ScheduleRig rig;
    rig.Controls().RadioButton1->setChecked(true);
    rig.SetTimes(QTime(8, 0, 0), QTime(8, 30, 0));
    EXPECT_FALSE(rig.filter.ArmedFor().isValid());

    // Special day on a date gone by: nothing can match any more.
    rig.Controls().RadioButton3->setChecked(true);
    rig.fm_set->date_time->setDate(QDate(2026, 5, 3));
    EXPECT_FALSE(rig.filter.ArmedFor().isValid());
}

TEST(Schedule, TheWakeUpIsArmedForTheNextMatch) {
    ScheduleRig rig;
    rig.Controls().RadioButton2->setChecked(true);
    rig.SetTimes(QTime(8, 0, 0), QTime(8, 30, 0));
    EXPECT_EQ(rig.filter.ArmedFor(), At(4, 8, 0, 0)) << "at 7:00 the begin time comes first";
    // The clock moves on (a wake-up, or the wall clock being set): each re-arm looks again.
    rig.now = At(4, 8, 10, 0);
    rig.filter.Rearm();
    EXPECT_EQ(rig.filter.ArmedFor(), At(4, 8, 30, 0));
    rig.now = At(4, 9, 0, 0);
    rig.filter.Rearm();
    EXPECT_EQ(rig.filter.ArmedFor(), At(5, 8, 0, 0)) << "tomorrow's begin time";
    // The wall clock set back into the begin second: the start is due at once.
    rig.now = QDateTime(QDate(2026, 5, 4), QTime(8, 0, 0, 400));
    rig.filter.Rearm();
    EXPECT_EQ(rig.filter.ArmedFor(), rig.now);
    rig.filter.CheckSchedule();
    rig.filter.Rearm();
    EXPECT_EQ(rig.filter.ArmedFor(), At(4, 8, 30, 0)) << "a match that acted is not armed again";

    // A picker changed: armed anew at once.
    rig.fm_set->endtime->setTime(QTime(8, 15, 0));
    EXPECT_EQ(rig.filter.ArmedFor(), At(4, 8, 15, 0));

    // Special day: its date only.
    rig.Controls().RadioButton3->setChecked(true);
    rig.fm_set->date_time->setDate(QDate(2026, 5, 6));
    EXPECT_EQ(rig.filter.ArmedFor(), At(6, 8, 0, 0));
}

TEST(Schedule, AModeChangeSeenByTheFilterRearms) {
    // The mode is a plain value the radio buttons set; any event through the filter notices it.
    ScheduleRig rig;
    rig.SetTimes(QTime(8, 0, 0), QTime(8, 30, 0));
    rig.state.schedule_mode = 0;
    rig.filter.Rearm();
    ASSERT_FALSE(rig.filter.ArmedFor().isValid());
    rig.state.schedule_mode = 1;
    QObject target;
    QEvent any(QEvent::User);
    rig.filter.eventFilter(&target, &any);
    EXPECT_EQ(rig.filter.ArmedFor(), At(4, 8, 0, 0));
    rig.state.schedule_mode = 0;
    rig.filter.eventFilter(&target, &any);
    EXPECT_FALSE(rig.filter.ArmedFor().isValid());
}

TEST(Schedule, AStoredScheduleWorksAfterARestartWithoutOpeningTheDialog) {
    DialogRig before;
    before.fm_set->show();
    before.Controls().RadioButton2->setChecked(true);
    before.fm_set->Begintime->setTime(QTime(6, 15, 0));
    before.fm_set->endtime->setTime(QTime(6, 45, 0));
    before.fm_set->SaveSettings();
    ASSERT_TRUE(before.prompts.infos.isEmpty());

    // A new run on the same store: start-up loads the dialog, nobody opens it.
    ScheduleRig after;
    ASSERT_TRUE(QFile::copy(before.iniPath, after.iniPath));
    after.fm_set->LoadFromStore();
    EXPECT_FALSE(after.fm_set->isVisible());
    EXPECT_EQ(after.state.schedule_mode, 1);
    EXPECT_EQ(after.At(At(9, 6, 15, 0)), kStart);
    EXPECT_EQ(after.At(At(9, 6, 45, 0)), kStop);
}

TEST(Schedule, EveryEventRunsTheCheckOnceInstalled) {
    ScheduleRig rig;
    rig.Controls().RadioButton2->setChecked(true);
    rig.SetTimes(QTime(8, 0, 0), QTime(8, 30, 0));
    rig.now = At(4, 8, 0, 0);
    qApp->installEventFilter(&rig.filter);
    QObject target;
    QEvent any(QEvent::User);
    QCoreApplication::sendEvent(&target, &any);
    EXPECT_EQ(rig.actions.calls, kNothing) << "not from inside the event's delivery";
    QCoreApplication::processEvents();
    EXPECT_EQ(rig.actions.calls, kStart);
    // Many more events in the same second: nothing more.
    for (int i = 0; i < 20; ++i)
        QCoreApplication::sendEvent(&target, &any);
    QCoreApplication::processEvents();
    qApp->removeEventFilter(&rig.filter);
    EXPECT_EQ(rig.actions.calls, kStart);
}

TEST(Schedule, EventsAfterTheDialogIsGoneAreHarmless) {
    // At exit the dialog is destroyed before the main window, which owns the filter.
    ScheduleRig rig;
    rig.Controls().RadioButton2->setChecked(true);
    rig.SetTimes(QTime(8, 0, 0), QTime(8, 30, 0));
    rig.now = At(4, 7, 0, 0);
    qApp->installEventFilter(&rig.filter);
    rig.fm_set.reset();
    QObject target;
    QEvent any(QEvent::User);
    QCoreApplication::sendEvent(&target, &any);
    rig.now = At(4, 8, 0, 0);
    rig.filter.CheckSchedule();
    qApp->removeEventFilter(&rig.filter);
    EXPECT_EQ(rig.actions.calls, kStart);
}

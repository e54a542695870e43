#include "appeventfilter.h"
#include "dialogrig.h"
#include "testinput.h"

#include <QDateTimeEdit>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QRadioButton>
#include <gtest/gtest.h>
#include <string>

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

namespace {

// A store whose schedule (every day) holds `begin`, `end` and `date` as raw text.
void StoreSchedule(ScheduleRig& rig, const QByteArray& mode, const QByteArray& begin,
                   const QByteArray& end, const QByteArray& date) {
    QFile f(rig.iniPath);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("[autorec]\nformat=" + mode + "\nbegintime=" + begin + "\nendtime=" + end +
            "\ndate=" + date + "\n");
}

std::string Stored(const DialogRig& rig, const char* key) {
    return rig.ini.ReadString(QStringLiteral("autorec"), QString::fromLatin1(key), QString())
        .toStdString();
}

QLabel* UnreadLabel(const DialogRig& rig) {
    return rig.fm_set->findChild<QLabel*>(QStringLiteral("lbl_sched_unread"));
}

// The clock at the fallback the pickers show for unreadable texts, on `day`.
QDateTime AtPicker(const QDateTimeEdit* picker, int day) {
    return {QDate(2026, 5, day), picker->time()};
}

} // namespace

// Hand-edited texts, and texts in another locale's form (de_DE's short date, ja_JP's long time),
// read under this store's locale: nothing starts or stops, at the fallback time or any other.
TEST(Schedule, AStoredScheduleThatDoesNotReadBackStartsAndStopsNothing) {
    ScheduleRig rig;
    StoreSchedule(rig, "1",
                  "10\xe6\x99\x82"
                  "24\xe5\x88\x86"
                  "55\xe7\xa7\x92",
                  "quarter past", "15.01.27");
    rig.fm_set->LoadFromStore();
    EXPECT_EQ(rig.state.schedule_mode, 1);
    EXPECT_FALSE(rig.fm_set->ScheduledBegin());
    EXPECT_FALSE(rig.fm_set->ScheduledEnd());
    EXPECT_FALSE(rig.fm_set->ScheduledDate());
    rig.state.recording = true;
    EXPECT_EQ(rig.At(AtPicker(rig.fm_set->Begintime, 4)), kNothing);
    EXPECT_EQ(rig.At(AtPicker(rig.fm_set->endtime, 4)), kNothing);
    EXPECT_EQ(rig.At(At(4, 10, 24, 55)), kNothing);
    EXPECT_TRUE(rig.state.recording);

    // The schedule page says so and shows what is stored.
    QLabel* label = UnreadLabel(rig);
    ASSERT_NE(label, nullptr);
    EXPECT_FALSE(label->isHidden());
    EXPECT_TRUE(label->text().contains(QString::fromUtf8("10時24分55秒")))
        << label->text().toStdString();
    EXPECT_TRUE(label->text().contains("quarter past"));
    EXPECT_TRUE(label->text().contains("15.01.27"));
    EXPECT_TRUE(label->text().contains("could not be read"));
}

// Only the value that does not read is out of force: a readable end still stops, and a special
// day with an unreadable date does nothing on any day.
TEST(Schedule, OnlyTheUnreadableValueIsOutOfForce) {
    ScheduleRig rig;
    StoreSchedule(rig, "1", "garbage", "08:30:00", "15.01.27");
    rig.fm_set->LoadFromStore();
    rig.state.recording = true;
    EXPECT_EQ(rig.At(AtPicker(rig.fm_set->Begintime, 4)), kNothing);
    EXPECT_EQ(rig.At(At(4, 8, 30, 0)), kStop);
    EXPECT_TRUE(UnreadLabel(rig)->text().contains("garbage"));
    EXPECT_FALSE(UnreadLabel(rig)->text().contains("08:30:00"));

    StoreSchedule(rig, "2", "08:00:00", "08:30:00", "15.01.27");
    rig.fm_set->LoadFromStore();
    EXPECT_EQ(rig.state.schedule_mode, 2);
    for (int day : {4, 5}) {
        EXPECT_EQ(rig.At(At(day, 8, 0, 0)), kNothing) << day;
        EXPECT_EQ(rig.At(AtPicker(rig.fm_set->Begintime, day)), kNothing) << day;
    }
}

// The recording start's save and an OK that did not touch the schedule keep the stored texts;
// setting a picker brings it into force and the next save writes it in the locale's form.
TEST(Schedule, AnUnreadableStoredScheduleSurvivesSavesUntilTheUserSetsIt) {
    ScheduleRig rig;
    const QString begin = QString::fromUtf8("10時24分55秒");
    StoreSchedule(rig, "1", begin.toUtf8(), "quarter past", "15.01.27");
    rig.fm_set->LoadFromStore();
    rig.fm_set->SaveSettings(); // what every recording start runs
    ASSERT_TRUE(rig.prompts.infos.isEmpty());
    EXPECT_EQ(Stored(rig, "begintime"), begin.toStdString());
    EXPECT_EQ(Stored(rig, "endtime"), "quarter past");
    EXPECT_EQ(Stored(rig, "date"), "15.01.27");

    rig.fm_set->show(); // loads again
    rig.fm_set->SaveSettings();
    EXPECT_EQ(Stored(rig, "begintime"), begin.toStdString());
    EXPECT_EQ(Stored(rig, "endtime"), "quarter past");
    EXPECT_EQ(Stored(rig, "date"), "15.01.27");

    rig.fm_set->show();
    rig.fm_set->Begintime->setTime(QTime(8, 0, 0));
    EXPECT_EQ(rig.fm_set->ScheduledBegin(), QTime(8, 0, 0));
    EXPECT_FALSE(UnreadLabel(rig)->text().contains(begin));
    EXPECT_TRUE(UnreadLabel(rig)->text().contains("quarter past"));
    EXPECT_EQ(rig.At(At(4, 8, 0, 0)), kStart);
    rig.fm_set->SaveSettings();
    EXPECT_EQ(Stored(rig, "begintime"), "08:00:00");
    EXPECT_EQ(Stored(rig, "endtime"), "quarter past");

    // Everything set: the page has nothing to say.
    rig.fm_set->show();
    rig.fm_set->endtime->setTime(QTime(8, 30, 0));
    rig.fm_set->date_time->setDate(QDate(2026, 5, 9));
    EXPECT_TRUE(UnreadLabel(rig)->isHidden());
    rig.fm_set->SaveSettings();
    EXPECT_EQ(Stored(rig, "endtime"), "08:30:00");
    EXPECT_EQ(Stored(rig, "date"), "09/05/2026");
}

// A file written under another locale in ISO form keeps working.
TEST(Schedule, AnIsoStoredScheduleFires) {
    ScheduleRig rig;
    StoreSchedule(rig, "2", "08:00:00", "08:30", "2026-05-04");
    rig.fm_set->LoadFromStore();
    EXPECT_TRUE(UnreadLabel(rig)->isHidden());
    EXPECT_EQ(rig.At(At(3, 8, 0, 0)), kNothing);
    EXPECT_EQ(rig.At(At(4, 8, 0, 0)), kStart);
    EXPECT_EQ(rig.At(At(4, 8, 30, 0)), kStop);
}

#pragma once

#include "failurehandler.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>

struct AppState;
class QKeyEvent;
class RecorderActions;
class TIniFile;
class Tfm_set;
namespace settings {
struct Key;
}

// The application-wide watch on events: the four function-key hot keys and the recording
// schedule. The program's builder installs it on the application (qApp->installEventFilter).
// What a hot key or the schedule starts and fails goes to the failure handler.
//
// Hot keys: a key press of F1..F12 is tested against the store's "hot" "rec", "play", "pause"
// and "stop" (read anew at every press, defaults F7..F10), in that order and each on its own, so
// a key bound twice triggers both actions. A stored index outside 0..11 binds nothing. The event
// is never consumed; it goes on to the focused window. Qt shows one key press to an application
// filter several times (the window, the focused widget, its parents); it acts once per press.
// A press repeated by holding the key down is a new press.
//
// Schedule: the clock's time is compared as text (the store's locale, long time format; dates in
// the short format) with the dialog's pickers `Begintime` and `endtime`, and in mode 2 its date
// with `date_time`; the mode is AppState::schedule_mode (0 off, 1 every day, 2 one date). A begin
// match calls StartRecording, an end match StopRecording while a recording is open; each match
// acts at most once per matching text (one second with a time format showing seconds). The check
// runs after the hot keys, on events at most once per kEventCheckMs, and on a single-shot wake-up
// armed for the next second that can match, so an idle program misses nothing and, with no
// schedule set, never wakes. An event that finds a start or stop due has it run at the event
// loop's next turn, outside that event's delivery (the start may open a dialog, never in the
// middle of a paint); the wake-up acts at once.
//
// The wake-up is armed from the clock for the start of the next begin or end match (every day in
// mode 1, on the date in mode 2), at once when a match is due now, and re-armed after it fires,
// when a picker or the mode changes (the mode is compared on every event: a radio click passes
// through the filter) and when the wall clock is set. It is a timerfd on the wall clock, so it
// fires at its time across a suspend and reports the clock being set; it is re-armed at least
// every kRearmMaxMs besides (a time-zone change sets no clock). Without a timerfd a plain timer
// re-armed at least every kRearmMaxMs does the same job a little later.
//
// The pickers' values count through Tfm_set::ScheduledBegin(), ScheduledEnd() and ScheduledDate():
// a stored value the dialog could not read back is not in force and matches nothing.
class AppEventFilter : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;
    // The longest the wake-up sleeps before it looks at the clock again.
    static constexpr int kRearmMaxMs = 60 * 60 * 1000;
    // Events closer together than this share one look at the clock.
    static constexpr int kEventCheckMs = 25;

    // All references must outlive the filter. `clock` gives the current local date and time.
    AppEventFilter(AppState& state, TIniFile& ini, RecorderActions& actions, Tfm_set& fm_set,
                   Clock clock = &QDateTime::currentDateTime, QObject* parent = nullptr);
    ~AppEventFilter() override;
    AppEventFilter(const AppEventFilter&) = delete;
    AppEventFilter& operator=(const AppEventFilter&) = delete;

    // Receives what the actions of hot keys and the schedule let out; without one it propagates.
    void SetFailureHandler(FailureHandler handler);

    bool eventFilter(QObject* watched, QEvent* event) override;

    // The Qt key (F1..F12) bound to `key` ("hot" "rec" and the others), read from the store as a
    // press reads it; nothing when the stored index binds no key.
    static std::optional<int> BoundKey(const TIniFile& ini, const settings::Key& key);

    // The four binding tests for one press of the Qt key `key`.
    void HotKeyPress(int key);
    // One run of the schedule check; acts at once.
    void CheckSchedule();
    // Arms the wake-up anew from the clock (the wall clock was set, or a test moved its clock).
    void Rearm();
    // The instant (by the clock) the wake-up is armed for; invalid while nothing can match.
    QDateTime ArmedFor() const { return armedFor_; }

private:
    struct PressId {
        int key;
        quint64 timestamp;
        bool autoRepeat;
        quint32 scanCode;
        int modifiers;
        bool operator==(const PressId&) const = default;
    };
    // What the schedule would do now; `stamp` is the matched date and time text.
    struct Match {
        bool start = false;
        bool stop = false; // still subject to a recording being open
        QString stamp;
    };
    Match Matching() const;
    bool Due() const;
    // The first instant after the current second whose time text matches `time`'s on `date`.
    QDateTime MatchStart(const QDate& date, const QTime& time) const;
    void Wake();
    void ArmIn(qint64 ms);
    bool IsNewPress(const QKeyEvent& event);
    // Forgets the last press once the event loop turns with no hot-key action running.
    void QueueForget();
    bool Bound(const settings::Key& key, int pressed) const;

    AppState& state_;
    TIniFile& ini_;
    RecorderActions& actions_;
    // The schedule in force, followed through the dialog's change signal, so the check never
    // reaches into the dialog (at exit the dialog may go first while events still pass). An empty
    // one is a stored text that did not read back: it neither starts nor stops anything.
    std::optional<QTime> begin_;
    std::optional<QTime> end_;
    std::optional<QDate> date_;
    Clock clock_;
    FailureHandler failureHandler_;
    QDateTime armedFor_;
    int armedMode_ = -1; // the schedule mode the wake-up was armed for
    int timerFd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    QTimer fallback_; // without a timerfd
    std::optional<PressId> lastPress_;
    bool forgetQueued_ = false;
    int acting_ = 0; // hot-key actions running (one, or more from inside its dialog)
    bool checkQueued_ = false;
    QElapsedTimer sinceCheck_;
    QString lastStart_; // the date and time texts of the latest start and stop by schedule
    QString lastStop_;
};

#include "appeventfilter.h"

#include "appstate.h"
#include "ports.h"
#include "settingstable.h"
#include "tfm_set.h"
#include "tinifile.h"

#include <QKeyEvent>
#include <cerrno>
#include <ctime>
#include <sys/timerfd.h>
#include <unistd.h>

namespace {
constexpr int kHotKeyCount = 12; // F1..F12
} // namespace

AppEventFilter::AppEventFilter(AppState& state, TIniFile& ini, RecorderActions& actions,
                               Tfm_set& fm_set, Clock clock, QObject* parent)
    : QObject(parent), state_(state), ini_(ini), actions_(actions), clock_(std::move(clock)) {
    const auto follow = [this, &fm_set] {
        begin_ = fm_set.ScheduledBegin();
        end_ = fm_set.ScheduledEnd();
        date_ = fm_set.ScheduledDate();
    };
    follow();
    connect(&fm_set, &Tfm_set::scheduleChanged, this, [this, follow] {
        follow();
        Rearm();
    });
    // The schedule must not wait for other events: an idle program still starts and stops.
    timerFd_ = timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (timerFd_ >= 0) {
        notifier_ = new QSocketNotifier(timerFd_, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] {
            quint64 expirations = 0;
            const ssize_t n = read(timerFd_, &expirations, sizeof expirations);
            if (n < 0 && errno == ECANCELED)
                Rearm(); // the wall clock was set: nothing is due yet by the old reckoning
            else if (n > 0)
                Wake();
        });
    } else {
        fallback_.setSingleShot(true);
        fallback_.setTimerType(Qt::PreciseTimer); // a coarse timer may fire early
        connect(&fallback_, &QTimer::timeout, this, [this] { Wake(); });
    }
    Rearm();
}

AppEventFilter::~AppEventFilter() {
    if (timerFd_ >= 0) {
        delete notifier_;
        close(timerFd_);
    }
}

void AppEventFilter::Wake() {
    HandleFailures(failureHandler_, [this] { CheckSchedule(); });
    Rearm();
}

void AppEventFilter::ArmIn(qint64 ms) {
    if (timerFd_ < 0) {
        if (ms < 0)
            fallback_.stop();
        else
            fallback_.start(static_cast<int>(std::min<qint64>(ms, kRearmMaxMs)));
        return;
    }
    itimerspec due{}; // all zero disarms
    int flags = 0;
    if (ms >= 0) {
        // An absolute wall-clock time: it passes during a suspend like the clock itself, and
        // the kernel reports the clock being set.
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        ms = std::min<qint64>(ms, kRearmMaxMs);
        const qint64 ns = now.tv_nsec + (ms % 1000) * 1000000;
        due.it_value.tv_sec = now.tv_sec + ms / 1000 + ns / 1000000000;
        due.it_value.tv_nsec = ns % 1000000000;
        flags = TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET;
    }
    timerfd_settime(timerFd_, flags, &due, nullptr);
}

QDateTime AppEventFilter::MatchStart(const QDate& date, const QTime& time) const {
    // Without seconds (or minutes) in the time format a match lasts the whole minute (hour): it
    // starts at the coarsest truncation whose text is still the same.
    const QLocale& locale = ini_.Locale();
    const QString text = TIniFile::TimeText(locale, time);
    QTime start(time.hour(), time.minute(), time.second());
    for (const QTime t : {QTime(time.hour(), 0, 0), QTime(time.hour(), time.minute(), 0)}) {
        if (TIniFile::TimeText(locale, t) == text) {
            start = t;
            break;
        }
    }
    return QDateTime(date, start);
}

void AppEventFilter::Rearm() {
    armedMode_ = state_.schedule_mode;
    armedFor_ = QDateTime();
    const int mode = state_.schedule_mode;
    if (mode != 1 && mode != 2) {
        ArmIn(-1);
        return;
    }
    const QDateTime now = clock_();
    QDateTime next;
    if (Due()) {
        next = now;
    } else {
        // The next match starts after the current second (the current one has acted or fails).
        const QDateTime second(now.date(),
                               QTime(now.time().hour(), now.time().minute(), now.time().second()));
        // A begin, end or date that did not read back matches nothing.
        const auto after = [&](const std::optional<QTime>& time) {
            if (!time)
                return QDateTime();
            if (mode == 2) {
                if (!date_)
                    return QDateTime();
                const QDateTime at = MatchStart(*date_, *time);
                return at > second ? at : QDateTime();
            }
            const QDateTime today = MatchStart(now.date(), *time);
            return today > second ? today : MatchStart(now.date().addDays(1), *time);
        };
        for (const QDateTime& at : {after(begin_), after(end_)})
            if (at.isValid() && (!next.isValid() || at < next))
                next = at;
    }
    armedFor_ = next;
    ArmIn(next.isValid() ? std::max<qint64>(0, now.msecsTo(next)) : -1);
}

void AppEventFilter::SetFailureHandler(FailureHandler handler) {
    failureHandler_ = std::move(handler);
}

bool AppEventFilter::eventFilter(QObject* watched, QEvent* event) {
    if (state_.schedule_mode != armedMode_)
        Rearm();
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<const QKeyEvent*>(event);
        if (key->key() >= Qt::Key_F1 && key->key() <= Qt::Key_F12 && IsNewPress(*key)) {
            // An action may show a dialog, whose event loop turns before this press has reached
            // the focused widget: the press is remembered until the action has returned.
            struct Acting {
                int& count;
                explicit Acting(int& c) : count(++c) {}
                ~Acting() { --count; }
            };
            {
                Acting acting(acting_);
                HandleFailures(failureHandler_, [&] { HotKeyPress(key->key()); });
            }
            QueueForget();
        }
    }
    // A due start or stop runs from the event loop, not from inside this event's delivery: the
    // recording start may open a dialog, which must not happen in the middle of a paint.
    // Formatting the texts costs microseconds; with hundreds of events a second, looking once
    // per kEventCheckMs is as good as on every one: a match lasts a whole second.
    if (!checkQueued_ && (!sinceCheck_.isValid() || sinceCheck_.hasExpired(kEventCheckMs))) {
        sinceCheck_.start();
        if (Due()) {
            checkQueued_ = true;
            QMetaObject::invokeMethod(
                this,
                [this] {
                    checkQueued_ = false;
                    HandleFailures(failureHandler_, [this] { CheckSchedule(); });
                },
                Qt::QueuedConnection);
        }
    }
    return QObject::eventFilter(watched, event);
}

// One press reaches the filter once for the window and again for the focused widget and each
// parent it propagates to, always with the same key, time stamp and repeat flag. A press is
// therefore new when it differs from the last one seen, or when the event loop has turned since
// its action returned (synthesised presses may all carry the time stamp 0).
bool AppEventFilter::IsNewPress(const QKeyEvent& event) {
    const PressId id{event.key(), event.timestamp(), event.isAutoRepeat(), event.nativeScanCode(),
                     static_cast<int>(event.modifiers())};
    if (lastPress_ && *lastPress_ == id)
        return false;
    lastPress_ = id;
    return true;
}

void AppEventFilter::QueueForget() {
    if (forgetQueued_)
        return;
    forgetQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            forgetQueued_ = false;
            // Inside a dialog an action opened, the press that opened it is still on its way.
            if (acting_ == 0)
                lastPress_.reset();
        },
        Qt::QueuedConnection);
}

std::optional<int> AppEventFilter::BoundKey(const TIniFile& ini, const settings::Key& key) {
    const int index = settings::ReadInteger(ini, key, settings::Reader::HotKeyHook);
    if (index < 0 || index >= kHotKeyCount)
        return std::nullopt;
    return Qt::Key_F1 + index;
}

bool AppEventFilter::Bound(const settings::Key& key, int pressed) const {
    return BoundKey(ini_, key) == pressed;
}

void AppEventFilter::HotKeyPress(int key) {
    if (Bound(settings::kHotRec, key))
        actions_.StartRecording();
    if (Bound(settings::kHotPlay, key))
        actions_.PlaySelected();
    if (Bound(settings::kHotPause, key)) {
        if (state_.recording)
            actions_.ToggleRecordPause();
        if (state_.playing)
            actions_.TogglePlayPause();
    }
    if (Bound(settings::kHotStop, key)) {
        actions_.StopRecording();
        actions_.StopPlaying();
    }
}

AppEventFilter::Match AppEventFilter::Matching() const {
    Match m;
    const int mode = state_.schedule_mode;
    if (mode != 1 && mode != 2)
        return m;
    const QLocale& locale = ini_.Locale();
    const QDateTime now = clock_();
    const QString nowTime = TIniFile::TimeText(locale, now.time());
    const QString nowDate = TIniFile::DateText(locale, now.date());
    if (mode == 2 && (!date_ || nowDate != TIniFile::DateText(locale, *date_)))
        return m;
    // The memory is the matched text, so a match fires once however many events pass within it.
    m.stamp = nowDate + QLatin1Char(' ') + nowTime;
    m.start = begin_ && nowTime == TIniFile::TimeText(locale, *begin_) && lastStart_ != m.stamp;
    m.stop = end_ && nowTime == TIniFile::TimeText(locale, *end_) && lastStop_ != m.stamp;
    return m;
}

bool AppEventFilter::Due() const {
    const Match m = Matching();
    return m.start || (m.stop && state_.recording);
}

void AppEventFilter::CheckSchedule() {
    const Match m = Matching();
    if (m.start) {
        lastStart_ = m.stamp;
        actions_.StartRecording();
    }
    if (m.stop && state_.recording) {
        lastStop_ = m.stamp;
        actions_.StopRecording();
    }
}

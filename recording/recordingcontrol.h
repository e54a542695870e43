#pragma once

#include "diskwatch.h"
#include "encoderconfig.h"
#include "failurehandler.h"
#include "sleepinhibitor.h"
#include "tagwriter.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <exception>
#include <functional>

struct AppState;
class TIniFile;
class Prompts;
class MainDisplay;
class SettingsDialogPort;
class RecordingsList;
class TAudioRecord2;
class TAudioFile2;
class TAudioFile2LameEnc;
class TAudioInformation2;

// Everything a recording needs from the main window. All references must outlive the
// RecordingControl built from them.
struct RecordingParts {
    AppState& state;
    TIniFile& ini;
    Prompts& prompts;
    MainDisplay& display;
    SettingsDialogPort& settingsDialog;
    RecordingsList& list;
    TAudioRecord2& record;           // AudioRecord1
    TAudioFile2& fileWrite;          // AudioFileWrite
    TAudioFile2LameEnc& lameEnc;     // AudioFile2LameEnc
    TAudioInformation2& information; // AudioInformation21
    QString defaultOutputDir;        // "<home>/My Recorder", the default of "output"/"dir"
};

// Starting, pausing, resuming and stopping a recording, and the handlers of the capture events.
//
// The main window hands its "recorder", "pause", "stop" (and hot key and schedule) requests to
// StartRecording, ToggleRecordPause and StopRecording; their component failures propagate to the
// caller as ComponentError (settings writes as SettingsWriteError), and the caller hands them to
// the application's exception handler, which shows the message and calls StopRecording while
// `recording` is set. The capture component's OnTimer and OnEndArrayRecord are connected straight
// to the two slots below. A slot that fails while one of the calls above is inside the capture
// component (the last block comes out of StopCapture) makes that call fail; at any other time
// the failure goes to the failure handler. Everything runs on the UI thread.
class RecordingControl : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;

    explicit RecordingControl(const RecordingParts& parts);
    ~RecordingControl() override;
    RecordingControl(const RecordingControl&) = delete;
    RecordingControl& operator=(const RecordingControl&) = delete;

    // The local time file names are made from ("dd-mm--hh;mm;ss"); QDateTime::currentDateTime
    // unless replaced.
    void SetClock(Clock clock);
    // Where the free space of the output folder is read; the file system unless replaced. The
    // source must outlive this object.
    void SetFreeSpaceSource(const FreeSpaceSource& source);
    // Asked to keep the machine awake while a recording is open; a no-op unless replaced. Must
    // outlive this object.
    void SetSleepInhibitor(SleepInhibitor& inhibitor);
    // How often the free space is checked while recording (one minute unless changed).
    void SetDiskCheckInterval(int ms);
    // Receives what fails in the capture events and the free-space check; without one it
    // propagates out of the slot.
    void SetFailureHandler(FailureHandler handler);

    // Starts a recording from idle or resumes a paused one; ignored while recording.
    void StartRecording();
    // Ends the recording: capture stopped, file closed, listed and tagged, display idle. Also safe
    // while idle (it then only stops capture, closes the file component and resets the display).
    // The first error of the sequence is rethrown after the display is back to idle.
    void StopRecording();
    // Pauses a running recording or resumes a paused one; the file stays open.
    void ToggleRecordPause();

    // OnTimer: sample_pos = sample_base + CurrentSamples; "s_time" shows the elapsed time of
    // sample_pos in full 64 bits, so recordings beyond 2^31 frames keep the right time.
    void AudioRecord1Timer(qint64 CurrentSamples, int LevelLeft, int LevelRight);
    // OnEndArrayRecord: writes the block (unless its upper bound is below 1) and shows the file
    // size as "<n> KB". After a write failure the blocks that follow it until the next recording
    // are dropped, so the stop that the error handler runs does not fail a second time on the
    // final block.
    void AudioRecord1EndArrayRecord(int nBlock);

    // The date-and-time name of a recording started at `when` ("06-12--23;41;05").
    static QString TimeStampName(const QDateTime& when);
    // The overwrite question for `path`.
    static QString OverwriteQuestion(const QString& path);
    // The note after a recording that lost `lostMs` milliseconds of audio.
    static QString LostAudioText(std::int64_t lostMs, const QString& fileName);

private:
    // The look of a paused recording: the time display blinks until it resumes or stops.
    void ShowPaused(bool paused);
    // A capture that could not start: the file just created goes again, the display is idle.
    void AbandonStart();
    // Tells the user once when the capture fell back to "Default input".
    void TellFallback();
    // The state, the timers, the sleep inhibitor and the display as they are between recordings.
    void ReturnToIdle();
    void CheckDiskSpace();
    void WriteRecordedBlock();
    // A call into the capture component: a failure of the events it raises meanwhile comes out
    // of this call, after it.
    template <class Call> void Capture(Call&& call);
    // A slot's work: what fails goes to the call it was raised in, or to the failure handler.
    template <class Work> void FromEvent(Work&& work);

    RecordingParts p_;
    EncoderConfig encoder_;
    TagWriter tagWriter_;
    Clock clock_;
    StorageFreeSpace systemFreeSpace_;
    SleepInhibitor noInhibitor_;
    SleepInhibitor* inhibitor_;
    DiskWatch diskWatch_;
    QTimer diskTimer_;
    QTimer pausedBlink_; // runs only while the recording is paused
    bool timeShown_ = true;
    bool inhibited_ = false;
    bool writeFailed_ = false;
    FailureHandler failureHandler_;
    int inCapture_ = 0;
    std::exception_ptr eventFailure_;
};

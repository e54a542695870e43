#pragma once

#include "diskwatch.h"
#include "encoderconfig.h"
#include "recordingmonitor.h"
#include "sleepinhibitor.h"
#include "tagwriter.h"

#include <QDateTime>
#include <QString>
#include <QTimer>
#include <cstdint>
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
// The main window forwards its "recorder", "pause", "stop" (and hot key and schedule) requests to
// StartRecording, ToggleRecordPause and StopRecording, and the capture component's signals to the
// two monitor handlers:
//   connect(&AudioRecord1, &TAudioRecord2::OnTimer, [&](qint64 n, int l, int r) {
//       control.AudioRecord1Timer(n, l, r); });
//   connect(&AudioRecord1, &TAudioRecord2::OnEndArrayRecord, [&](int n) {
//       control.AudioRecord1EndArrayRecord(n); });
// Component failures propagate as ComponentError (settings writes as SettingsWriteError) to the
// application's exception handler, which shows the message and calls StopRecording while
// `recording` is set. Everything runs on the UI thread.
class RecordingControl {
public:
    using Clock = std::function<QDateTime()>;

    explicit RecordingControl(const RecordingParts& parts);
    ~RecordingControl();
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

    // Starts a recording from idle or resumes a paused one; ignored while recording.
    void StartRecording();
    // Ends the recording: capture stopped, file closed, listed and tagged, display idle. Also safe
    // while idle (it then only stops capture, closes the file component and resets the display).
    // The first error of the sequence is rethrown after the display is back to idle.
    void StopRecording();
    // Pauses a running recording or resumes a paused one; the file stays open.
    void ToggleRecordPause();

    void AudioRecord1Timer(qint64 CurrentSamples, int LevelLeft, int LevelRight);
    void AudioRecord1EndArrayRecord(int nBlock);

    // The date-and-time name of a recording started at `when` ("06-12--23;41;05").
    static QString TimeStampName(const QDateTime& when);
    // The overwrite question for `path`.
    static QString OverwriteQuestion(const QString& path);
    // The note after a recording that lost `lostMs` milliseconds of audio.
    static QString LostAudioText(std::int64_t lostMs, const QString& fileName);

    EncoderConfig& Encoder() { return encoder_; }

private:
    // A capture that could not start: the file just created goes again, the display is idle.
    void AbandonStart();
    // Tells the user once when the capture fell back to "Default input".
    void TellFallback();
    // The state, the timers, the sleep inhibitor and the display as they are between recordings.
    void ReturnToIdle();
    void CheckDiskSpace();

    RecordingParts p_;
    EncoderConfig encoder_;
    RecordingMonitor monitor_;
    TagWriter tagWriter_;
    Clock clock_;
    StorageFreeSpace systemFreeSpace_;
    SleepInhibitor noInhibitor_;
    SleepInhibitor* inhibitor_;
    DiskWatch diskWatch_;
    QTimer diskTimer_;
    bool inhibited_ = false;
};

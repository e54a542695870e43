#pragma once

#include "failurehandler.h"

#include <QObject>
#include <QString>
#include <cstdint>

struct AppState;
class MainDisplay;
class Prompts;
class RecordingsList;
class TAudioFile2;
class TAudioPlayer2;
class TIniFile;

// Plays one entry of the recordings list. The program does the streaming itself: it reads the
// file in blocks of `block_size` frames on the playback file component and queues each block on
// the player when the player asks for more, so exactly two blocks are queued at the start and
// then one per OnRequestOnLoadArray and one per OnEndArrayPlay. No block outlives the call that
// read it and the file is never read ahead of the player's requests.
//
// The position is kept in AppState: sample_pos = sample_base + the player's count since its latest
// StartPlayback, in 64 bits. The time field "s_time", the play bar "play_bar" (0..9820 for the
// whole file) and the progress image follow it on every player timer event.
//
// Everything runs on the UI thread. Component failures of the calls propagate as ComponentError to
// the caller (in the program: the application-wide handler, which calls StopPlaying while
// `playing` is set); those of the player's events, connected straight to the slots below, go to
// the failure handler.
class Player : public QObject {
    Q_OBJECT
public:
    // All references must outlive the player. `settings` is read for the RAW format of ".raw"
    // entries at every start. Each of the player's four events must be connected once to its
    // slot below (each event must feed once).
    Player(AppState& state, MainDisplay& display, RecordingsList& list, Prompts& prompts,
           TAudioFile2& AudioFilepaly, TAudioPlayer2& AudioPlayer21, TIniFile& settings,
           QObject* parent = nullptr);

    // Receives what fails in the slots below; without one it propagates out of the slot.
    void SetFailureHandler(FailureHandler handler);

    // Starts the selected entry (the first selected in list order; the last entry when none is
    // selected), or resumes a paused playback. Refused with "Please stop recording first." while
    // a recording is open; ignored while playing and with an empty list.
    void PlaySelected();
    // Reads the next block and queues it on the player.
    void FeedBlock();
    // Ends playback and returns the display to idle. Harmless when nothing plays.
    void StopPlaying();
    // Pauses or resumes; callers call it only while `playing`. The file stays open and what the
    // player still holds queued is played on resume.
    void TogglePlayPause();
    // Continues at the play bar's position (release of "play_bar" while playing): beyond 9800
    // ends playback. Always leaves the playback running and `play_paused` false.
    void SeekFromBar();
    // Plays the entry before or after the one last started; nothing at either end of the list.
    void PlayPrevious();
    void PlayNext();

    // The player's events. They are ignored when no playback is active (an event that was already
    // on its way when playback stopped must not read from a closed file).
    void AudioPlayer21RequestOnLoadArray();
    void AudioPlayer21EndArrayPlay();
    void AudioPlayer21EndPlay();
    void AudioPlayer21Timer(qint64 CurrentSamples, int LevelLeft, int LevelRight);

    // Blocks read and queued since construction, for diagnostics: the streaming rule above is
    // observable through it.
    std::int64_t BlocksFed() const { return blocksFed_; }

    // Play-bar units of the whole file.
    static constexpr int kBarRange = 9820;
    // Releasing the bar beyond this ends playback instead of seeking.
    static constexpr int kBarStopAbove = 9800;
    static constexpr int kBlockFrames = 4100;
    // The display is looked at only on these steps of the playing position, and only on a step
    // where the time or the thumb's pixel has changed: at most four looks a second, each new
    // second among them. A short file's thumb moves a few pixels a step; each look costs a
    // wake-up and a repaint, which is what a laptop's battery pays for.
    static constexpr int kLookStepMs = 250;

private:
    void ShowPosition(qint64 CurrentSamples);
    // Asks the player for its next timer event when the display will next change.
    void LookAgainAtTheNextChange();
    static constexpr int kLookLateMs = 6;

    AppState& state_;
    MainDisplay& display_;
    RecordingsList& list_;
    Prompts& prompts_;
    TAudioFile2& file_;
    TAudioPlayer2& player_;
    TIniFile& settings_;
    FailureHandler failureHandler_;
    std::int64_t blocksFed_ = 0;
};

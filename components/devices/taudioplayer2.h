#pragma once

#include "block.h"
#include "failurehandler.h"

#include <QObject>
#include <cstdint>
#include <memory>

class AudioBackend;

// The player component. Blocks queued with QueueBlock are copied and played in order; an empty
// block marks the end of the file. All calls and signals on the creating (UI) thread; failures
// of calls raise ComponentError. A stream that fails while playing fails the component's next
// event; a failure in an event (the stream's, or one a connected slot lets out) goes to the
// failure handler.
class TAudioPlayer2 : public QObject {
    Q_OBJECT
public:
    explicit TAudioPlayer2(std::shared_ptr<AudioBackend> backend, QObject* parent = nullptr);
    ~TAudioPlayer2() override;

    // Receives the failures of the events the event loop delivers (wake-ups, the poll timer),
    // once each; nothing is thrown into the event loop. Without a handler they propagate to
    // whoever delivered the event (the simulated backend's Advance in tests).
    void SetFailureHandler(FailureHandler handler);

    // Also drops anything still queued.
    void SetFormat(std::int32_t handle, std::int32_t param);
    void StartPlayback(); // starts, resumes, or restarts after a seek
    // Stops (pauses). What is queued and not yet played is kept for the next StartPlayback.
    void StopPlayback();
    // Drops everything queued and not yet played (a seek does this before it restarts).
    void FlushQueue();
    void QueueBlock(const Block& block);
    std::int64_t SamplesToMs(std::int64_t samples) const;
    // What the next OnTimer would give as CurrentSamples: the samples played since the latest
    // StartPlayback; 0 without a stream. For a position that must be exact now (a pause), not
    // at the last timer event.
    std::int64_t CurrentSamples() const;
    // The volume range is 0..kMaxVolume; the skin's volume slider "spb" spans the same range.
    static constexpr int kMaxVolume = 65534;
    int GetVolume() const;
    void SetVolume(int volume);
    bool GetMute() const;
    void SetMute(bool mute);
    // While playing, OnTimer comes about every `ms` (50 to 1000), at the latest `ms` after the
    // previous one: the program asks for the time its display next changes.
    void SetTimerInterval(int ms);
    static constexpr int kMinTimerMs = 50;
    static constexpr int kMaxTimerMs = 1000;

signals:
    void OnEndArrayPlay();       // one queued block has played
    void OnRequestOnLoadArray(); // less than about half a second is queued
    void OnEndPlay();            // the end-of-file block has played out
    void OnTimer(qint64 CurrentSamples, int LevelLeft, int LevelRight);

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

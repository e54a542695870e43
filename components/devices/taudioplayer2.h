#pragma once

#include "block.h"

#include <QObject>
#include <cstdint>
#include <memory>

class AudioBackend;

// The player component. Blocks queued with QueueBlock are copied and played in order; an empty
// block marks the end of the file. All calls and signals on the creating (UI) thread; failures
// raise ComponentError.
class TAudioPlayer2 : public QObject {
    Q_OBJECT
public:
    explicit TAudioPlayer2(std::shared_ptr<AudioBackend> backend, QObject* parent = nullptr);
    ~TAudioPlayer2() override;

    // Also drops anything still queued.
    void SetFormat(std::int32_t handle, std::int32_t param);
    void StartPlayback(); // starts, resumes, or restarts after a seek
    // Stops (pauses). What is queued and not yet played is kept for the next StartPlayback.
    void StopPlayback();
    // Drops everything queued and not yet played (a seek does this before it restarts).
    void FlushQueue();
    void QueueBlock(const Block& block);
    std::int64_t SamplesToMs(std::int64_t samples) const;
    // Full volume; the volume runs 0..kMaxVolume.
    static constexpr int kMaxVolume = 65534;
    int GetVolume() const; // 0..kMaxVolume
    void SetVolume(int volume);
    bool GetMute() const;
    void SetMute(bool mute);

signals:
    void OnEndArrayPlay();       // one queued block has played
    void OnRequestOnLoadArray(); // less than about half a second is queued
    void OnEndPlay();            // the end-of-file block has played out
    void OnTimer(qint64 CurrentSamples, int LevelLeft, int LevelRight);

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

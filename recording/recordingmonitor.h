#pragma once

#include <QtGlobal>

struct AppState;
class TAudioRecord2;
class TAudioFile2;
class MainDisplay;

// The handlers of the capture component's events while a recording runs: every captured block
// goes into the output file and the size display, every timer tick moves the elapsed time and
// the level meters. Both run on the UI thread and act on every event they receive.
class RecordingMonitor {
public:
    // All must outlive the monitor.
    RecordingMonitor(AppState& state, TAudioRecord2& record, TAudioFile2& fileWrite,
                     MainDisplay& display);

    // OnTimer: sample_pos = sample_base + CurrentSamples; "s_time" shows the elapsed time of
    // sample_pos in full 64 bits, so recordings beyond 2^31 frames keep the right time.
    void AudioRecord1Timer(qint64 CurrentSamples, int LevelLeft, int LevelRight);

    // OnEndArrayRecord: writes the block (unless its upper bound is below 1) and shows the file
    // size as "<n> KB". A write failure propagates as ComponentError; the blocks that follow it
    // until the next recording are dropped, so the stop that the error handler runs does not fail
    // a second time on the final block.
    void AudioRecord1EndArrayRecord(int nBlock);

    // A new recording begins: writing is allowed again.
    void Reset() { writeFailed_ = false; }
    bool WriteFailed() const { return writeFailed_; }

private:
    AppState& state_;
    TAudioRecord2& record_;
    TAudioFile2& fileWrite_;
    MainDisplay& display_;
    bool writeFailed_ = false;
};

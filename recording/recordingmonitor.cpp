#include "recordingmonitor.h"

#include "appstate.h"
#include "componenterror.h"
#include "ports.h"
#include "taudiofile2.h"
#include "taudiorecord2.h"

#include <QFileInfo>

RecordingMonitor::RecordingMonitor(AppState& state, TAudioRecord2& record, TAudioFile2& fileWrite,
                                   MainDisplay& display)
    : state_(state), record_(record), fileWrite_(fileWrite), display_(display) {}

void RecordingMonitor::AudioRecord1Timer(qint64 CurrentSamples, int LevelLeft, int LevelRight) {
    state_.sample_pos = state_.sample_base + static_cast<std::int64_t>(CurrentSamples);
    const QString time = FormatElapsed(record_.SamplesToMs(state_.sample_pos));
    display_.SetMeters(LevelLeft, LevelRight);
    display_.SetText("s_time", time);
}

void RecordingMonitor::AudioRecord1EndArrayRecord(int /*nBlock*/) {
    const Block block = record_.GetRecordedBlock();
    if (UpperBound(block) < 1 || writeFailed_)
        return;
    try {
        fileWrite_.WriteBlock(block);
    } catch (...) {
        writeFailed_ = true;
        throw;
    }

    const QFileInfo info(state_.out_file_name);
    if (!info.exists())
        throw ComponentError("Cannot read the size of " + state_.out_file_name.toStdString() +
                             ": the file is gone");
    const std::int64_t kb = static_cast<std::int64_t>(info.size()) / 1024;
    display_.SetText("s_sizeson", QString::number(kb) + " KB");
}

#include "skindispatch.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

// Records every action as a word, and changes the state the way the real actions would, so a
// second call of one click sees the first one's effect.
class RecordingActions : public MainActions {
public:
    explicit RecordingActions(AppState& s) : s_(s) {}
    QStringList calls;

    void StartRecording() override { calls << "StartRecording"; }
    void StopRecording() override {
        calls << "StopRecording";
        s_.recording = false;
    }
    void ToggleRecordPause() override { calls << "ToggleRecordPause"; }
    void PlaySelected() override { calls << "PlaySelected"; }
    void TogglePlayPause() override { calls << "TogglePlayPause"; }
    void StopPlaying() override {
        calls << "StopPlaying";
        s_.playing = false;
    }
    void PlayPrevious() override { calls << "PlayPrevious"; }
    void PlayNext() override { calls << "PlayNext"; }
    void AddToList() override { calls << "AddToList"; }
    void DeleteSelected() override { calls << "DeleteSelected"; }
    void ClearList() override { calls << "ClearList"; }
    void ShowList(bool show) override { calls << (show ? "ShowList" : "CloseList"); }
    void ShowSettings(bool show) override { calls << (show ? "ShowSettings" : "CloseSettings"); }
    void ShowTags(bool show) override { calls << (show ? "ShowTags" : "CloseTags"); }
    void RestoreDefaults() override { calls << "RestoreDefaults"; }
    void SaveSettings() override { calls << "SaveSettings"; }
    void CloseSettings() override { calls << "CloseSettings"; }
    void OpenHelp() override { calls << "OpenHelp"; }
    void OpenWeb() override { calls << "OpenWeb"; }
    void SetMuted(bool muted) override { calls << (muted ? "Mute" : "Unmute"); }
    void Information(const QString& text) override { calls << "Info:" + text; }

private:
    AppState& s_;
};

enum class Mode { Idle, Recording, RecordPaused, Playing, PlayPaused };

AppState StateFor(Mode mode) {
    AppState s;
    s.recording = mode == Mode::Recording || mode == Mode::RecordPaused;
    s.record_paused = mode == Mode::RecordPaused;
    s.playing = mode == Mode::Playing || mode == Mode::PlayPaused;
    s.play_paused = mode == Mode::PlayPaused;
    return s;
}

struct Row {
    const char* element;
    QStringList idle, recording, playing; // paused states act as their running states
};

} // namespace

TEST(SkinDispatch, EveryElementInEveryState) {
    const QString info = "Info:Please stop playing first.";
    const Row rows[] = {
        {"recorder", {"StartRecording"}, {"StartRecording"}, {"StartRecording"}},
        {"pause", {}, {"ToggleRecordPause"}, {"TogglePlayPause"}},
        {"recordpause", {}, {"ToggleRecordPause"}, {"TogglePlayPause"}},
        {"recordstop", {}, {"StopRecording"}, {"StopPlaying"}},
        {"stop", {}, {"StopRecording"}, {"StopPlaying"}},
        {"add", {"AddToList"}, {"AddToList"}, {info, "AddToList"}},
        {"play", {"PlaySelected"}, {"PlaySelected"}, {"PlaySelected"}},
        {"list", {"ShowList"}, {"ShowList"}, {"ShowList"}},
        {"relist", {"ShowList"}, {"ShowList"}, {"ShowList"}},
        {"set", {"ShowSettings"}, {}, {}},
        {"tag", {"ShowTags"}, {"ShowTags"}, {"ShowTags"}},
        {"clear", {"ClearList"}, {"ClearList"}, {info}},
        {"web", {"OpenWeb"}, {"OpenWeb"}, {"OpenWeb"}},
        {"list_add", {"AddToList"}, {"AddToList"}, {"AddToList"}},
        {"del", {"DeleteSelected"}, {"DeleteSelected"}, {info}},
        {"default", {"RestoreDefaults"}, {"RestoreDefaults"}, {"RestoreDefaults"}},
        {"ok", {"SaveSettings"}, {"SaveSettings"}, {"SaveSettings"}},
        {"cancel", {"CloseSettings"}, {"CloseSettings"}, {"CloseSettings"}},
        {"help", {"OpenHelp"}, {"OpenHelp"}, {"OpenHelp"}},
        {"back", {"PlayPrevious"}, {"PlayPrevious"}, {"PlayPrevious"}},
        {"next", {"PlayNext"}, {"PlayNext"}, {"PlayNext"}},
        {"spb1", {"Unmute"}, {"Unmute"}, {"Unmute"}},
        {"spb2", {"Mute"}, {"Mute"}, {"Mute"}},
    };
    for (const Row& row : rows) {
        for (Mode mode :
             {Mode::Idle, Mode::Recording, Mode::RecordPaused, Mode::Playing, Mode::PlayPaused}) {
            AppState s = StateFor(mode);
            RecordingActions actions(s);
            EXPECT_TRUE(DispatchClick(row.element, s, actions));
            const QStringList& expected = mode == Mode::Idle ? row.idle
                                          : (mode == Mode::Recording || mode == Mode::RecordPaused)
                                              ? row.recording
                                              : row.playing;
            EXPECT_EQ(actions.calls, expected)
                << row.element << " in mode " << static_cast<int>(mode) << ": got "
                << actions.calls.join(",").toStdString();
        }
    }
}

TEST(SkinDispatch, WindowsToggleByTheirShownFlags) {
    AppState s;
    s.list_shown = s.settings_shown = s.tags_shown = true;
    RecordingActions actions(s);
    for (const char* e : {"list", "relist", "set", "tag"})
        DispatchClick(e, s, actions);
    EXPECT_EQ(actions.calls, (QStringList{"CloseList", "CloseList", "CloseSettings", "CloseTags"}));
}

TEST(SkinDispatch, NamesMatchInFullAndWithCase) {
    AppState s;
    RecordingActions actions(s);
    for (const char* e :
         {"Recorder", "RECORDER", "record", "recorder ", "play2", "", "min", "close", "s_time"})
        EXPECT_FALSE(DispatchClick(e, s, actions)) << e;
    EXPECT_TRUE(actions.calls.isEmpty());
}

TEST(SkinDispatch, StopWithBothFlagsStopsRecordingThenPlayback) {
    // Not reachable through the program's own rules, but the order of the two tests is fixed.
    AppState s;
    s.recording = s.playing = true;
    RecordingActions actions(s);
    DispatchClick("stop", s, actions);
    EXPECT_EQ(actions.calls, (QStringList{"StopRecording", "StopPlaying"}));
}

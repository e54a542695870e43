#include "skindispatch.h"

#include <functional>
#include <utility>

namespace {

constexpr const char* kStopPlayingFirst = "Please stop playing first.";

using Action = std::function<void(const AppState&, MainActions&)>;

const std::pair<const char*, Action>* Table(int& size) {
    // Each flag is read again after the first call, as a first action may change it.
    static const std::pair<const char*, Action> table[] = {
        {"recorder", [](const AppState&, MainActions& a) { a.StartRecording(); }},
        {"pause",
         [](const AppState& s, MainActions& a) {
             if (s.playing)
                 a.TogglePlayPause();
             if (s.recording)
                 a.ToggleRecordPause();
         }},
        {"recordpause",
         [](const AppState& s, MainActions& a) {
             if (s.recording)
                 a.ToggleRecordPause();
             if (s.playing)
                 a.TogglePlayPause();
         }},
        {"recordstop",
         [](const AppState& s, MainActions& a) {
             if (s.recording)
                 a.StopRecording();
             if (s.playing)
                 a.StopPlaying();
         }},
        {"stop",
         [](const AppState& s, MainActions& a) {
             if (s.recording)
                 a.StopRecording();
             if (s.playing)
                 a.StopPlaying();
         }},
        {"add",
         [](const AppState& s, MainActions& a) {
             if (s.playing)
                 a.Information(kStopPlayingFirst);
             a.AddToList(); // does nothing itself while recording or playing
         }},
        {"play", [](const AppState&, MainActions& a) { a.PlaySelected(); }},
        {"list", [](const AppState& s, MainActions& a) { a.ShowList(!s.list_shown); }},
        {"relist", [](const AppState& s, MainActions& a) { a.ShowList(!s.list_shown); }},
        {"set",
         [](const AppState& s, MainActions& a) {
             if (!s.recording && !s.playing)
                 a.ShowSettings(!s.settings_shown);
         }},
        {"tag", [](const AppState& s, MainActions& a) { a.ShowTags(!s.tags_shown); }},
        {"clear",
         [](const AppState& s, MainActions& a) {
             if (s.playing)
                 a.Information(kStopPlayingFirst);
             else
                 a.ClearList();
         }},
        {"web", [](const AppState&, MainActions& a) { a.OpenWeb(); }},
        {"list_add", [](const AppState&, MainActions& a) { a.AddToList(); }},
        {"del",
         [](const AppState& s, MainActions& a) {
             if (s.playing)
                 a.Information(kStopPlayingFirst);
             else
                 a.DeleteSelected();
         }},
        {"default", [](const AppState&, MainActions& a) { a.RestoreDefaults(); }},
        {"ok", [](const AppState&, MainActions& a) { a.SaveSettings(); }},
        {"cancel", [](const AppState&, MainActions& a) { a.CloseSettings(); }},
        {"help", [](const AppState&, MainActions& a) { a.OpenHelp(); }},
        {"back", [](const AppState&, MainActions& a) { a.PlayPrevious(); }},
        {"next", [](const AppState&, MainActions& a) { a.PlayNext(); }},
        {"spb1", [](const AppState&, MainActions& a) { a.SetMuted(false); }},
        {"spb2", [](const AppState&, MainActions& a) { a.SetMuted(true); }},
    };
    size = static_cast<int>(std::size(table));
    return table;
}

} // namespace

bool DispatchClick(const QString& name, const AppState& state, MainActions& actions) {
    int size = 0;
    const auto* table = Table(size);
    for (int i = 0; i < size; ++i) {
        if (name == QLatin1String(table[i].first)) {
            table[i].second(state, actions);
            return true;
        }
    }
    return false;
}

#pragma once

#include "failurehandler.h"
#include "ports.h"

#include <QWidget>

class QTreeWidget;
class Prompts;
class TAudioFile2;
class TIniFile;
class TSkin;
struct AppState;
struct ListEntry;

// The recordings list window `fm_list`: the recordings of this run and the files the user adds,
// in memory only. It is also the playlist: the player plays its selected entry and walks its
// order. The list view `lv` is the only store of the entries.
//
// The window is skinned with the "recorderlist" form of the shared skin control on every show
// and sits below the main window. Its skin clicks ("list_add", "del", "clear", "relist") go
// through the main window's click dispatch (skindispatch.h) like the main window's own, which
// calls AddToList, DeleteSelected and Clear here. Closing only hides it.
class Tfm_list : public QWidget, public RecordingsList {
    Q_OBJECT
public:
    // All references must outlive the window. `AudioFilepaly` probes the files added from disk
    // (it is idle then: adding is refused while playing), `settings` gives the RAW format for
    // ".raw" files, `display` the time of a recording just stopped, `actions` plays on a double
    // click. `mainWindow` is the window this one is placed below; it may be null (no placement).
    Tfm_list(AppState& state, TIniFile& settings, Prompts& prompts, MainDisplay& display,
             TAudioFile2& AudioFilepaly, TSkin& skin, RecorderActions& actions,
             QWidget* mainWindow);
    ~Tfm_list() override;

    // Receives what the double click's playback start lets out; without one it propagates.
    void SetFailureHandler(FailureHandler handler);

    // While a recording stops: lists it with the time "s_time" shows and today's date, and
    // selects it alone. Otherwise, unless recording or playing, asks for files and lists every
    // one that can be read ("Read <path> error!!" for the others); the first added is selected.
    void AddToList() override;
    // Removes every selected entry, unless recording or playing.
    void DeleteSelected();
    // Removes every entry.
    void Clear();

    // Moves this window so that it hangs below `main`: left + 7, top + height - 20. The main
    // window's skin keeps its elements out of that bottom strip.
    static constexpr int kLeftInset = 7;
    static constexpr int kBottomOverlap = 20;
    void PlaceBelow(const QWidget& main);

    int Count() const override;
    int FirstSelected() const override;
    void DeselectAll() override;
    // Adds entry `index` to the selection; an index outside the list is ignored.
    void Select(int index) override;
    // The "path" column of entry `index`; empty outside the list.
    QString Path(int index) const override;

    // Every show skins and places the window and sets `list_shown`; every hide (closing
    // included) clears it.
    void setVisible(bool visible) override;

    QTreeWidget* lv;

private:
    void Append(const ListEntry& entry);
    void lvDblClick();

    AppState& state_;
    TIniFile& settings_;
    Prompts& prompts_;
    MainDisplay& display_;
    TAudioFile2& file_;
    TSkin& skin_;
    RecorderActions& actions_;
    QWidget* main_;
    FailureHandler failureHandler_;
    bool showing_ = false;
};

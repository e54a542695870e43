#pragma once

#include "appstate.h"
#include "ports.h"

#include <QString>

// Everything a click on a skin element can ask the main window to do: the recorder's actions
// and the rest.
class MainActions : public RecorderActions {
public:
    virtual void PlayPrevious() = 0;
    virtual void PlayNext() = 0;
    virtual void AddToList() = 0;
    virtual void DeleteSelected() = 0;
    virtual void ClearList() = 0;
    virtual void ShowList(bool show) = 0;
    virtual void ShowSettings(bool show) = 0;
    virtual void ShowTags(bool show) = 0;
    virtual void RestoreDefaults() = 0;
    virtual void SaveSettings() = 0;
    virtual void CloseSettings() = 0;
    virtual void OpenHelp() = 0;
    virtual void OpenWeb() = 0;
    virtual void SetMuted(bool muted) = 0; // shows the matching speaker and mutes the player
    virtual void Information(const QString& text) = 0;
};

// The click dispatch of the skinned windows: the element's name is compared in full and with
// case, in table order; the first match acts and an unknown name does nothing. Returns whether
// the name matched an entry.
bool DispatchClick(const QString& name, const AppState& state, MainActions& actions);

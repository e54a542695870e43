#pragma once

#include <QString>

// The narrow interfaces through which the recording and playback logic reach the windows. The
// main window and its companions implement them; tests implement them with fakes.

// The main window's display: skin elements addressed by name, the level meters, and the main
// window's display operations. Every call is on the UI thread.
class MainDisplay {
public:
    virtual ~MainDisplay() = default;
    // SetText on the element, then Redraw when the text changed. Unknown elements are ignored.
    virtual void SetText(const QString& element, const QString& text) = 0;
    // SetText for a value that changes several times a second (the size while recording): the
    // element shows the new text with the display's next redraw of another element (the time,
    // once a second), or 1.25 s later at the latest, so that it costs no repaint of its own. A
    // later SetText of the same element replaces the held text. GetText answers the new text at
    // once.
    virtual void SetTextWithNextRedraw(const QString& element, const QString& text) {
        SetText(element, text);
    }
    // The element's text; a text held by SetTextWithNextRedraw counts.
    virtual QString GetText(const QString& element) const = 0;
    // SetVisible on the element, followed by Redraw only when `redraw`.
    virtual void SetVisible(const QString& element, bool visible, bool redraw) = 0;
    virtual int GetPosition(const QString& element) const = 0;
    // SetPosition on a slider element, then Redraw when its thumb moved a pixel or more.
    virtual void SetPosition(const QString& element, int position) = 0;
    // How many pixels the play bar's thumb travels from one end to the other (0: no play bar).
    virtual int PlayBarPixels() const = 0;
    // Shows or hides the text fields (and, by the state, "pb1"/"pb2" and the meters).
    virtual void ShowDisplay(bool visible) = 0;
    // Sizes the progress image "pb2" for a play-bar position 0..9820.
    virtual void SetProgressWidth(int position) = 0;
    // The values of the left and right level meters.
    virtual void SetMeters(int left, int right) = 0;
    // The meters get no more values for now (the recording paused or stopped): a falling peak
    // goes on falling by itself. The next SetMeters feeds them again.
    virtual void StopMeters() = 0;
};

// What the recording start needs of the settings dialog.
class SettingsDialogPort {
public:
    virtual ~SettingsDialogPort() = default;
    // Checks the dialog's choices, stores them and closes the dialog; on a refused choice it
    // shows its own message and stores nothing. The caller learns nothing of the outcome.
    virtual void SaveSettings() = 0;
    // The text of the WMA preset currently selected in the dialog's WMA box ("" when none).
    virtual QString WmaEntryText() const = 0;
};

// The recordings list as the logic layers use it. Indices are 0-based list positions.
class RecordingsList {
public:
    virtual ~RecordingsList() = default;
    // Lists the recording just stopped (while the stop sequence runs) or asks the user for files.
    virtual void AddToList() = 0;
    virtual int Count() const = 0;
    // The first selected entry in list order, or -1.
    virtual int FirstSelected() const = 0;
    virtual void DeselectAll() = 0;
    virtual void Select(int index) = 0;
    virtual QString Path(int index) const = 0;
};

// The actions hot keys, the schedule and the windows trigger on the main window.
class RecorderActions {
public:
    virtual ~RecorderActions() = default;
    virtual void StartRecording() = 0;
    virtual void StopRecording() = 0;
    virtual void ToggleRecordPause() = 0;
    virtual void PlaySelected() = 0;
    virtual void TogglePlayPause() = 0;
    virtual void StopPlaying() = 0;
};

#pragma once

#include "appstate.h"
#include "failurehandler.h"
#include "ports.h"
#include "skindispatch.h"
#include "taudiofile2.h"
#include "taudiofile2lameenc.h"
#include "taudioinformation2.h"
#include "taudioplayer2.h"
#include "taudiorecord2.h"
#include "tskin.h"

#include <QTimer>
#include <QWidget>
#include <exception>
#include <map>
#include <memory>

class AudioBackend;
class Prompts;
class SleepInhibitor;
class TAmpBar2;
class TIniFile;
class Tfm_list;
class Tfm_set;
class Tfm_id3;
class RecordingControl;
class Player;

// What the main window needs from the outside world: the settings file, where the program's own
// files are, the sound server and how to ask the user.
struct MainEnvironment {
    TIniFile* store = nullptr;
    QString dataDir; // the skin and the help: beside the executable, or in share/ installed
    QString defaultOutputDir; // "<home>/My Recorder"
    std::shared_ptr<AudioBackend> backend;
    Prompts* prompts = nullptr;
    // Asked to keep the machine awake while a recording is open; none: nobody is asked.
    SleepInhibitor* inhibitor = nullptr;
};

// The rest of the program as the main window reaches it: the other windows and the controllers.
// The program's builder provides it and builds every part before the main window is first shown;
// the main window asks for none of them earlier.
class MainPeers {
public:
    virtual Tfm_list& List() = 0;
    virtual Tfm_set& Settings() = 0;
    virtual Tfm_id3& Tags() = 0;
    virtual RecordingControl& Recorder() = 0;
    virtual Player& Playback() = 0;

protected:
    ~MainPeers() = default;
};

// The skinned main window. It owns every component and the application-wide state, runs the
// start-up sequence on its first show, dispatches the skin's element events by name and hands
// the work to the recording control, the player and the other windows. The skin's event
// handlers hand what fails to ApplicationEvents1Exception.
class Tfm_main : public QWidget, public MainDisplay, public MainActions {
    Q_OBJECT
public:
    // `peers` must outlive the window.
    Tfm_main(MainEnvironment env, MainPeers& peers, QWidget* parent = nullptr);
    ~Tfm_main() override;

    // Start-up sequence; runs once, on the first show.
    void FormShow();
    void FetchSkinObjects();

    // The application-wide handler of exceptions nothing else caught.
    void ApplicationEvents1Exception(const std::exception& e);

    // Display
    void SetText(const QString& element, const QString& text) override;
    void SetTextWithNextRedraw(const QString& element, const QString& text) override;
    QString GetText(const QString& element) const override;
    void SetVisible(const QString& element, bool visible, bool redraw) override;
    int GetPosition(const QString& element) const override;
    void SetPosition(const QString& element, int position) override;
    void ShowDisplay(bool visible) override;
    void SetProgressWidth(int position) override;
    void SetMeters(int left, int right) override;
    void StopMeters() override;
    int PlayBarPixels() const override;

    // RecorderActions
    void StartRecording() override;
    void StopRecording() override;
    void ToggleRecordPause() override;
    void PlaySelected() override;
    void TogglePlayPause() override;
    void StopPlaying() override;

    // MainActions: what the skin's clicks ask for
    void PlayPrevious() override;
    void PlayNext() override;
    void AddToList() override;
    void DeleteSelected() override;
    void ClearList() override;
    void ShowList(bool show) override;
    void ShowSettings(bool show) override;
    void ShowTags(bool show) override;
    void RestoreDefaults() override;
    void SaveSettings() override;
    void CloseSettings() override;
    void OpenHelp() override;
    void OpenWeb() override;
    void SetMuted(bool muted) override;
    void Information(const QString& text) override;

    // Skin events of all three skinned windows.
    void Skin1Click(SkinObject* Source);
    void Skin1MouseDown(SkinObject* Source, int Button, int x, int y);
    void Skin1MouseUp(SkinObject* Source, int Button, int x, int y);
    void Skin1MouseMove(SkinObject* Source, int x, int y);

    AppState& State() { return state_; }
    const SkinRect& ProgressRect() const { return progress_rect; }

    // The components, by their names.
    TAudioRecord2 AudioRecord1;
    TAudioFile2 AudioFileWrite;
    TAudioFile2 AudioFilepaly;
    TAudioFile2LameEnc AudioFile2LameEnc;
    TAudioPlayer2 AudioPlayer21;
    TAudioInformation2 AudioInformation21;
    TSkin Skin1;
    TAmpBar2* AmpBar1;
    TAmpBar2* AmpBar22;

protected:
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    SkinObject* Element(const QString& name) const;
    FailureHandler ToHandler();
    // Shows the texts SetTextWithNextRedraw holds; called before every other redraw.
    void ShowHeldTexts();

    MainEnvironment env_;
    MainPeers& peers_;
    AppState state_;
    SkinRect progress_rect;
    bool shownOnce_ = false;
    std::map<QString, SkinObject*> elements_;
    std::map<QString, QString> heldTexts_; // element, text
    QTimer heldTextsDue_;
};

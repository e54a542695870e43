#pragma once

#include "appstate.h"
#include "ports.h"
#include "skindispatch.h"
#include "taudiofile2.h"
#include "taudiofile2lameenc.h"
#include "taudioinformation2.h"
#include "taudioplayer2.h"
#include "taudiorecord2.h"
#include "tskin.h"

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
class Tfm_dir;
class RecordingControl;
class Player;
class AppEventFilter;

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

// The skinned main window. It owns every component and the application-wide state, runs the
// start-up sequence on its first show, dispatches the skin's element events by name and hands
// the work to the recording control, the player and the other windows.
class Tfm_main : public QWidget, public MainDisplay, public MainActions {
    Q_OBJECT
public:
    explicit Tfm_main(MainEnvironment env, QWidget* parent = nullptr);
    ~Tfm_main() override;

    // The other four windows, created after this one; must be called before the first show.
    void AttachWindows(Tfm_list* list, Tfm_set* set, Tfm_id3* id3, Tfm_dir* dir);

    // Start-up sequence; runs once, on the first show.
    void FormShow();
    void FetchSkinObjects();

    // The application-wide handler of exceptions nothing else caught.
    void ApplicationEvents1Exception(const std::exception& e);

    // Display
    void SetText(const QString& element, const QString& text) override;
    QString GetText(const QString& element) const override;
    void SetVisible(const QString& element, bool visible, bool redraw) override;
    int GetPosition(const QString& element) const override;
    void SetPosition(const QString& element, int position) override;
    void ShowDisplay(bool visible) override;
    void SetProgressWidth(int position) override;
    void SetMeters(int left, int right) override;

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

    MainEnvironment env_;
    AppState state_;
    SkinRect progress_rect;
    bool shownOnce_ = false;
    std::map<QString, SkinObject*> elements_;

    Tfm_list* fm_list = nullptr;
    Tfm_set* fm_set = nullptr;
    Tfm_id3* fm_id3 = nullptr;
    Tfm_dir* fm_dir = nullptr;
    std::unique_ptr<RecordingControl> recorder_;
    std::unique_ptr<Player> player_;
    std::unique_ptr<AppEventFilter> events_;
};

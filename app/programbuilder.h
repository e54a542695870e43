#pragma once

#include "tfm_main.h"

#include <exception>
#include <memory>

class AppEventFilter;
class Player;
class RecordingControl;
class TarnoApplication;
class Tfm_dir;
class Tfm_id3;
class Tfm_list;
class Tfm_set;

// The whole program put together, in one place. It creates the five windows in their order (the
// main window owns the components), the recording control, the player and the application-wide
// event filter; connects the components' events straight to the recording control and the
// player; and sends every failure that no caller can take, wherever it happens, to the main
// window's ApplicationEvents1Exception. main() and the test rig build the program with it.
//
// Nothing is shown: the caller shows Main(), whose first show runs the start-up sequence.
class Program : private MainPeers {
public:
    // `env`'s store, prompts and inhibitor must outlive the program. `app` receives the
    // exception handler for what escapes an event handler all the same; null leaves the
    // application alone (the tests' QApplication).
    Program(MainEnvironment env, TarnoApplication* app);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    Tfm_main& Main() { return *main_; }
    Tfm_dir& Dir() { return *dir_; }
    Tfm_list& List() override { return *list_; }
    Tfm_set& Settings() override { return *set_; }
    Tfm_id3& Tags() override { return *id3_; }
    RecordingControl& Recorder() override { return *recorder_; }
    Player& Playback() override { return *player_; }
    AppEventFilter& Events() { return *events_; }

private:
    // The one handler of failures. It shows a modal box whose own events may fail meanwhile;
    // those are reported on stderr rather than stacking a box on a box.
    void HandleFailure(const std::exception& e);

    TarnoApplication* app_;
    bool inHandler_ = false;
    std::unique_ptr<Tfm_main> main_;
    std::unique_ptr<Tfm_dir> dir_;
    std::unique_ptr<Tfm_list> list_;
    std::unique_ptr<Tfm_set> set_;
    std::unique_ptr<Tfm_id3> id3_;
    std::unique_ptr<RecordingControl> recorder_;
    std::unique_ptr<Player> player_;
    std::unique_ptr<AppEventFilter> events_;
};

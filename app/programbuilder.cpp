#include "programbuilder.h"

#include "appeventfilter.h"
#include "player.h"
#include "recordingcontrol.h"
#include "tarnoapplication.h"
#include "tfm_dir.h"
#include "tfm_id3.h"
#include "tfm_list.h"
#include "tfm_set.h"

#include <QApplication>
#include <cstdio>

Program::Program(MainEnvironment env, TarnoApplication* app) : app_(app) {
    TIniFile& store = *env.store;
    Prompts& prompts = *env.prompts;
    SleepInhibitor* inhibitor = env.inhibitor;
    const QString outputDir = env.defaultOutputDir;

    // The windows, in the order the program has always made them. The main window holds the
    // components by their names and the state every part shares; the list, settings and tag
    // windows sit on top of it.
    MainPeers& peers = *this;
    main_ = std::make_unique<Tfm_main>(std::move(env), peers);
    Tfm_main& m = *main_;
    AppState& state = m.State();
    dir_ = std::make_unique<Tfm_dir>(state);
    list_ = std::make_unique<Tfm_list>(state, store, prompts, m, m.AudioFilepaly, m.Skin1, m, &m);
    set_ = std::make_unique<Tfm_set>(store, state, prompts, m.Skin1, m.AudioFileWrite,
                                     m.AudioRecord1, *dir_, outputDir, &m);
    id3_ = std::make_unique<Tfm_id3>(store, state, &m);

    // The controllers the main window hands its requests to.
    recorder_ = std::make_unique<RecordingControl>(
        RecordingParts{state, store, prompts, m, *set_, *list_, m.AudioRecord1, m.AudioFileWrite,
                       m.AudioFile2LameEnc, m.AudioInformation21, outputDir});
    if (inhibitor != nullptr)
        recorder_->SetSleepInhibitor(*inhibitor);
    player_ = std::make_unique<Player>(state, m, *list_, prompts, m.AudioFilepaly, m.AudioPlayer21,
                                       store);
    events_ = std::make_unique<AppEventFilter>(state, store, m, *set_);

    // The components' events, straight to their handlers.
    QObject::connect(&m.AudioRecord1, &TAudioRecord2::OnTimer, recorder_.get(),
                     &RecordingControl::AudioRecord1Timer);
    QObject::connect(&m.AudioRecord1, &TAudioRecord2::OnEndArrayRecord, recorder_.get(),
                     &RecordingControl::AudioRecord1EndArrayRecord);
    QObject::connect(&m.AudioPlayer21, &TAudioPlayer2::OnRequestOnLoadArray, player_.get(),
                     &Player::AudioPlayer21RequestOnLoadArray);
    QObject::connect(&m.AudioPlayer21, &TAudioPlayer2::OnEndArrayPlay, player_.get(),
                     &Player::AudioPlayer21EndArrayPlay);
    QObject::connect(&m.AudioPlayer21, &TAudioPlayer2::OnEndPlay, player_.get(),
                     &Player::AudioPlayer21EndPlay);
    QObject::connect(&m.AudioPlayer21, &TAudioPlayer2::OnTimer, player_.get(),
                     &Player::AudioPlayer21Timer);

    // Failures are handled where they happen: every event handler that can fail hands its
    // failure here instead of throwing it into Qt's event dispatch. The main window's skin
    // events do the same on their own.
    const FailureHandler handler = [this](const std::exception& e) { HandleFailure(e); };
    m.AudioRecord1.SetFailureHandler(handler);
    m.AudioPlayer21.SetFailureHandler(handler);
    recorder_->SetFailureHandler(handler);
    player_->SetFailureHandler(handler);
    list_->SetFailureHandler(handler);
    set_->SetFailureHandler(handler);
    id3_->SetFailureHandler(handler);
    events_->SetFailureHandler(handler);
    if (app_ != nullptr)
        app_->SetExceptionHandler(handler);
    qApp->installEventFilter(events_.get());
}

Program::~Program() {
    qApp->removeEventFilter(events_.get());
    if (app_ != nullptr)
        app_->SetExceptionHandler(nullptr);
    // The windows refer to the main window's components: they go first, the main window last
    // (the members in reverse order).
}

void Program::HandleFailure(const std::exception& e) {
    if (inHandler_) {
        std::fprintf(stderr, "tarno-recorder: %s\n", e.what());
        return;
    }
    inHandler_ = true;
    try {
        main_->ApplicationEvents1Exception(e);
    } catch (const std::exception& again) {
        std::fprintf(stderr, "tarno-recorder: %s\n", again.what());
    }
    inHandler_ = false;
}

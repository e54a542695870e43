#pragma once

// The settings dialog with everything it talks to: a store in a temporary folder (UK locale, so
// times read "08:00:00"), a real file component, the capture component over the simulated sound
// server, the skin control with no skin file loaded, and prompts and actions that record calls.

#include "appstate.h"
#include "ports.h"
#include "prompts.h"
#include "recorderskin.h"
#include "setcontrols.h"
#include "simulatedbackend.h"
#include "taudiofile2.h"
#include "taudiorecord2.h"
#include "tfm_dir.h"
#include "tfm_set.h"
#include "tinifile.h"
#include "tskin.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>

struct FakePrompts : Prompts {
    QStringList infos;
    void Information(const QString& text) override { infos << text; }
    bool YesNo(const QString&) override { return false; }
    QString SaveFileName(const QString&) override { return {}; }
    QStringList OpenFileNames(const QString&) override { return {}; }
};

// Records the calls and changes the state roughly as the recorder does, so the schedule's and the
// hot keys' tests of `recording` and `playing` see the effect of earlier calls.
struct FakeActions : RecorderActions {
    explicit FakeActions(AppState& s) : state(s) {}
    AppState& state;
    QStringList calls;
    void StartRecording() override {
        calls << QStringLiteral("StartRecording");
        state.recording = true; // also resumes a paused recording
        state.record_paused = false;
    }
    void StopRecording() override {
        calls << QStringLiteral("StopRecording");
        state.recording = false;
        state.record_paused = false;
    }
    void ToggleRecordPause() override {
        calls << QStringLiteral("ToggleRecordPause");
        state.record_paused = !state.record_paused;
    }
    void PlaySelected() override {
        calls << QStringLiteral("PlaySelected");
        if (!state.recording)
            state.playing = true;
    }
    void TogglePlayPause() override {
        calls << QStringLiteral("TogglePlayPause");
        state.play_paused = !state.play_paused;
    }
    void StopPlaying() override {
        calls << QStringLiteral("StopPlaying");
        state.playing = false;
    }
};

inline QLocale RigLocale() {
    return QLocale(QLocale::English, QLocale::UnitedKingdom);
}

struct DialogRig {
    QTemporaryDir dir;
    QString home = dir.path() + QStringLiteral("/home");
    QString iniPath = dir.path() + QStringLiteral("/tarnoRecord.ini");
    TIniFile ini{iniPath, RigLocale()};
    AppState state;
    FakePrompts prompts;
    TSkin skin{recorderskin::FallbackSkin()};
    TAudioFile2 file;
    std::shared_ptr<SimulatedBackend> backend = std::make_shared<SimulatedBackend>();
    TAudioRecord2 record{backend};
    std::unique_ptr<Tfm_dir> fm_dir = std::make_unique<Tfm_dir>(state);
    std::unique_ptr<Tfm_set> fm_set =
        std::make_unique<Tfm_set>(ini, state, prompts, skin, file, record, *fm_dir,
                                  home + QStringLiteral("/My Recorder"), nullptr);

    ~DialogRig() {
        fm_set.reset();
        fm_dir.reset();
    }

    SetControls Controls() const { return SetControls(*fm_set); }

    QByteArray IniBytes() const {
        QFile f(iniPath);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    bool IniExists() const { return QFile::exists(iniPath); }

    // The device and line lists as start-up fills them.
    void FillDevicesLikeStartup() { fm_set->LoadRecordingSource(); }
};

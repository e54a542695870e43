#pragma once

// The whole program as main() builds it (the same builder), over the simulated sound server,
// with a settings file and skin of the test's choosing and prompts that record what they were
// asked.

#include "programbuilder.h"
#include "prompts.h"
#include "simulatedbackend.h"
#include "tfm_dir.h"
#include "tfm_id3.h"
#include "tfm_list.h"
#include "tfm_main.h"
#include "tfm_set.h"
#include "tinifile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <memory>

class RecordedPrompts : public Prompts {
public:
    QStringList shown;
    bool answerYes = true;
    QString saveName;
    QStringList openNames;
    std::function<void(const QString&)> onInformation;

    void Information(const QString& text) override {
        shown << text;
        if (onInformation)
            onInformation(text);
    }
    bool YesNo(const QString& text) override {
        shown << text;
        return answerYes;
    }
    QString SaveFileName(const QString&) override { return saveName; }
    QStringList OpenFileNames(const QString&) override { return openNames; }
};

struct MainRig {
    QTemporaryDir dir;
    std::shared_ptr<SimulatedBackend> backend = std::make_shared<SimulatedBackend>();
    std::unique_ptr<TIniFile> store;
    RecordedPrompts prompts;
    std::unique_ptr<Program> program;
    Tfm_main* fm_main = nullptr;
    Tfm_dir* fm_dir = nullptr;
    Tfm_list* fm_list = nullptr;
    Tfm_set* fm_set = nullptr;
    Tfm_id3* fm_id3 = nullptr;

    // Copies the default skin beside a pretend executable, unless `skinText` replaces it.
    explicit MainRig(const QByteArray& skinText = {}) {
        QDir().mkpath(exeDir());
        if (skinText.isNull()) {
            QFile::copy(QStringLiteral(TARNO_SOURCE_DIR) + "/resources/mp3enc.skn",
                        exeDir() + "/mp3enc.skn");
        } else {
            QFile f(exeDir() + "/mp3enc.skn");
            f.open(QIODevice::WriteOnly);
            f.write(skinText);
        }
        store = std::make_unique<TIniFile>(dir.path() + "/config/tarnoRecord.ini");
    }

    QString exeDir() const { return dir.path() + "/bin"; }
    QString outputDir() const { return dir.path() + "/My Recorder"; }

    // Builds the program as main() does and shows the main window (running start-up).
    void Start() {
        MainEnvironment env;
        env.store = store.get();
        env.dataDir = exeDir();
        env.defaultOutputDir = outputDir();
        env.backend = backend;
        env.prompts = &prompts;
        program = std::make_unique<Program>(env, nullptr);
        fm_main = &program->Main();
        fm_dir = &program->Dir();
        fm_list = &program->List();
        fm_set = &program->Settings();
        fm_id3 = &program->Tags();
        fm_main->show();
        QCoreApplication::processEvents();
    }

    AppState& state() { return fm_main->State(); }
};

#pragma once

// The whole program as main() builds it, over the simulated sound server, with a settings file
// and skin of the test's choosing and prompts that record what they were asked.

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
#include <memory>

class RecordedPrompts : public Prompts {
public:
    QStringList shown;
    bool answerYes = true;
    QString saveName;
    QStringList openNames;

    void Information(const QString& text) override { shown << text; }
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
    std::unique_ptr<Tfm_main> fm_main;
    std::unique_ptr<Tfm_dir> fm_dir;
    std::unique_ptr<Tfm_list> fm_list;
    std::unique_ptr<Tfm_set> fm_set;
    std::unique_ptr<Tfm_id3> fm_id3;

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

    // Builds the windows in the program's order and shows the main window (running start-up).
    void Start() {
        MainEnvironment env;
        env.store = store.get();
        env.dataDir = exeDir();
        env.defaultOutputDir = outputDir();
        env.backend = backend;
        env.prompts = &prompts;
        fm_main = std::make_unique<Tfm_main>(env);
        AppState& s = fm_main->State();
        fm_dir = std::make_unique<Tfm_dir>(s);
        fm_list = std::make_unique<Tfm_list>(s, *store, prompts, *fm_main, fm_main->AudioFilepaly,
                                             fm_main->Skin1, *fm_main, fm_main.get());
        fm_set =
            std::make_unique<Tfm_set>(*store, s, prompts, fm_main->Skin1, fm_main->AudioFileWrite,
                                      fm_main->AudioRecord1, *fm_dir, outputDir(), fm_main.get());
        fm_id3 = std::make_unique<Tfm_id3>(*store, s, fm_main.get());
        fm_main->AttachWindows(fm_list.get(), fm_set.get(), fm_id3.get(), fm_dir.get());
        fm_main->show();
        QCoreApplication::processEvents();
    }

    ~MainRig() {
        // The windows refer to the main window's components: close them first.
        fm_id3.reset();
        fm_set.reset();
        fm_list.reset();
        fm_dir.reset();
        fm_main.reset();
    }

    AppState& state() { return fm_main->State(); }
};

// Program entry: creates the application, the five windows in their order, and wires them.
#include "audiobackend.h"
#include "logindinhibitor.h"
#include "qtprompts.h"
#include "settingslocation.h"
#include "tarnoapplication.h"
#include "tfm_dir.h"
#include "tfm_id3.h"
#include "tfm_list.h"
#include "tfm_main.h"
#include "tfm_set.h"
#include "tinifile.h"

#include <QProcessEnvironment>

int main(int argc, char** argv) {
    TarnoApplication app(argc, argv);
    app.setApplicationName("Tarno MP3 Recorder");
    app.setDesktopFileName("tarno-recorder");

    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    TIniFile store(location::SettingsPath(env));
    QtPrompts prompts;

    MainEnvironment main;
    main.store = &store;
    main.exeDir = QCoreApplication::applicationDirPath();
    main.defaultOutputDir = location::DefaultOutputDir(env);
    main.backend = MakePulseBackend("Tarno MP3 Recorder");
    main.prompts = &prompts;
    LogindInhibitor inhibitor;
    main.inhibitor = &inhibitor;

    Tfm_main fm_main(main);
    prompts.SetParent(&fm_main);
    Tfm_dir fm_dir(fm_main.State());
    Tfm_list fm_list(fm_main.State(), store, prompts, fm_main, fm_main.AudioFilepaly, fm_main.Skin1,
                     fm_main, &fm_main);
    Tfm_set fm_set(store, fm_main.State(), prompts, fm_main.Skin1, fm_main.AudioFileWrite,
                   fm_main.AudioRecord1, fm_dir, main.defaultOutputDir, &fm_main);
    Tfm_id3 fm_id3(store, fm_main.State(), &fm_main);
    fm_main.AttachWindows(&fm_list, &fm_set, &fm_id3, &fm_dir);
    app.SetExceptionHandler(
        [&fm_main](const std::exception& e) { fm_main.ApplicationEvents1Exception(e); });
    fm_main.show();
    return app.exec();
}

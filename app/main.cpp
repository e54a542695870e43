// Program entry: answers the command line, keeps to one running program per user, creates the
// application and the five windows in their order, and wires them.
#include "appicon.h"
#include "audiobackend.h"
#include "commandline.h"
#include "datadir.h"
#include "logindinhibitor.h"
#include "qtprompts.h"
#include "settingslocation.h"
#include "singleinstance.h"
#include "tarnoapplication.h"
#include "tfm_dir.h"
#include "tfm_id3.h"
#include "tfm_list.h"
#include "tfm_main.h"
#include "tfm_set.h"
#include "tinifile.h"

#include <QProcessEnvironment>
#include <QStandardPaths>
#include <cstdio>

int main(int argc, char** argv) {
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();

    // Before any window or sound server: "--help" must work without a display.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine line = ParseCommandLine(arguments);
    if (line.action != CommandLine::Action::Run)
        return AnswerCommandLine(
            line, {location::SettingsPath(env), location::DefaultOutputDir(env)}, stdout, stderr);

    // Qt sees no arguments: the command line above is all there is.
    int qtArgc = 1;
    TarnoApplication app(qtArgc, argv);
    app.setApplicationName("Tarno MP3 Recorder");
    app.setApplicationVersion(TARNO_VERSION);
    app.setDesktopFileName("tarno-recorder");
    app.setWindowIcon(ApplicationIcon());

    SingleInstance instance(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation));
    QString why;
    switch (instance.Acquire(&why)) {
    case SingleInstance::Outcome::AlreadyRunning:
        if (instance.AskRunningToShow(5000, &why))
            return 0;
        std::fprintf(stderr, "tarno-recorder: already running, but it does not answer (%s)\n",
                     qPrintable(why));
        return 1;
    case SingleInstance::Outcome::Unguarded:
        std::fprintf(stderr, "tarno-recorder: %s; another copy may start beside this one\n",
                     qPrintable(why));
        break;
    case SingleInstance::Outcome::First:
        break;
    }

    TIniFile store(location::SettingsPath(env));
    QtPrompts prompts;

    MainEnvironment main;
    main.store = &store;
    main.dataDir = FindDataDir(QCoreApplication::applicationDirPath());
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
    if (!instance.Listen([&fm_main] { BringToFront(fm_main); }, &why))
        std::fprintf(stderr, "tarno-recorder: %s; a second start will not find this one\n",
                     qPrintable(why));
    fm_main.show();
    return app.exec();
}

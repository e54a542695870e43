// Program entry: answers the command line, keeps to one running program per user, creates the
// application and the platform's parts (settings file, sound server, dialogs), and has the
// program built (programbuilder.h) and shown.
#include "appicon.h"
#include "audiobackend.h"
#include "commandline.h"
#include "datadir.h"
#include "eventloop.h"
#include "logindinhibitor.h"
#include "programbuilder.h"
#include "qtprompts.h"
#include "settingslocation.h"
#include "settingstable.h"
#include "singleinstance.h"
#include "tarnoapplication.h"
#include "tfm_main.h"
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

    // On X11 our windows are small and redraw a few small areas many times a second (the
    // meters, the time). Qt's shared-memory images cost a round trip to the X server and a
    // wake-up of its event thread for every such redraw; plain image requests cost neither.
    // The user's own setting wins.
    if (!env.contains("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");

    // Qt's own event loop rather than GLib's where nothing needs GLib's (eventloop.h). Only the
    // main thread's loop is chosen here: the variable is taken back once the application exists,
    // so that programs started from this one do not inherit it.
    const bool plainLoop = PlainEventLoopIsSafe(env, GtkThemeInstalled(QtPluginFolders(env)));
    if (plainLoop)
        qputenv("QT_NO_GLIB", "1");

    // Qt sees no arguments: the command line above is all there is.
    int qtArgc = 1;
    TarnoApplication app(qtArgc, argv);
    if (plainLoop)
        qunsetenv("QT_NO_GLIB");
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
    // The open and save dialogs start where recordings go.
    prompts.SetStartFolder([&store, dir = main.defaultOutputDir] {
        return settings::ReadString(store, settings::kOutputDir, settings::Reader::RecordingStart,
                                    dir);
    });
    main.backend = MakePulseBackend("Tarno MP3 Recorder");
    main.prompts = &prompts;
    LogindInhibitor inhibitor;
    main.inhibitor = &inhibitor;

    Program program(main, &app);
    Tfm_main& fm_main = program.Main();
    prompts.SetParent(&fm_main);
    if (!instance.Listen([&fm_main] { BringToFront(fm_main); }, &why))
        std::fprintf(stderr, "tarno-recorder: %s; a second start will not find this one\n",
                     qPrintable(why));
    fm_main.show();
    return app.exec();
}

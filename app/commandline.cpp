#include "commandline.h"

#ifndef TARNO_VERSION
#error "TARNO_VERSION must be defined by the build"
#endif

CommandLine ParseCommandLine(const QStringList& arguments) {
    CommandLine line;
    bool help = false;
    bool version = false;
    for (const QString& a : arguments) {
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            help = true;
        } else if (a == QLatin1String("--version")) {
            version = true;
        } else {
            line.action = CommandLine::Action::Refuse;
            line.refused = a;
            return line;
        }
    }
    if (help)
        line.action = CommandLine::Action::ShowHelp;
    else if (version)
        line.action = CommandLine::Action::ShowVersion;
    return line;
}

QString UsageText(const UsageFacts& facts) {
    return QStringLiteral(
               "Usage: tarno-recorder [--help | --version]\n"
               "\n"
               "Tarno MP3 Recorder records a sound input to MP3, WAV, WMA, OGG or RAW files,\n"
               "on demand or by schedule, tags them, and plays them back from its list.\n"
               "Everything is set in its windows; it takes no other options.\n"
               "\n"
               "  -h, --help     show this help and exit\n"
               "      --version  show the version and exit\n"
               "\n"
               "Settings:    %1\n"
               "Recordings:  the output folder chosen in the settings, at first\n"
               "             %2\n"
               "Help:        the question mark in the main window, or 'man tarno-recorder'\n"
               "\n"
               "One copy runs per user: starting it again brings the running one to the front.\n")
        .arg(facts.settingsPath, facts.defaultOutputDir);
}

QString VersionText() {
    return QStringLiteral("tarno-recorder (Tarno MP3 Recorder) " TARNO_VERSION "\n");
}

namespace {
// An argument is shown back on the terminal: control characters in it are not passed through.
QString Printable(const QString& text) {
    QString shown = text;
    for (QChar& c : shown)
        if (!c.isPrint())
            c = QLatin1Char('?');
    return shown;
}
} // namespace

int AnswerCommandLine(const CommandLine& line, const UsageFacts& facts, std::FILE* out,
                      std::FILE* err) {
    switch (line.action) {
    case CommandLine::Action::ShowHelp:
        std::fputs(UsageText(facts).toLocal8Bit().constData(), out);
        return 0;
    case CommandLine::Action::ShowVersion:
        std::fputs(VersionText().toLocal8Bit().constData(), out);
        return 0;
    case CommandLine::Action::Refuse: {
        const QString what = line.refused.startsWith(QLatin1Char('-'))
                                 ? QStringLiteral("unknown option")
                                 : QStringLiteral("unexpected argument");
        const QString text =
            QStringLiteral("tarno-recorder: %1 '%2'\nTry 'tarno-recorder --help' for more "
                           "information.\n")
                .arg(what, Printable(line.refused));
        std::fputs(text.toLocal8Bit().constData(), err);
        return 2;
    }
    case CommandLine::Action::Run:
        break;
    }
    return 0;
}

#include "commandline.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>

namespace {

using Action = CommandLine::Action;

TEST(CommandLine, OnlyHelpAndVersionAreUnderstoodAndAnythingElseIsRefused) {
    struct Row {
        QStringList args;
        Action action;
        QString refused;
    };
    const Row rows[] = {
        {{}, Action::Run, {}},
        {{"--help"}, Action::ShowHelp, {}},
        {{"-h"}, Action::ShowHelp, {}},
        {{"--version"}, Action::ShowVersion, {}},
        {{"--version", "--help"}, Action::ShowHelp, {}},
        {{"--help", "--help"}, Action::ShowHelp, {}},
        {{"--bogus"}, Action::Refuse, "--bogus"},
        {{"--help", "--bogus"}, Action::Refuse, "--bogus"},
        {{"--help=yes"}, Action::Refuse, "--help=yes"},
        {{"-V"}, Action::Refuse, "-V"},
        {{"recording.mp3"}, Action::Refuse, "recording.mp3"},
        // Qt's own options get no special treatment: they would change how the program runs.
        {{"-platform", "offscreen"}, Action::Refuse, "-platform"},
        {{"-style=fusion"}, Action::Refuse, "-style=fusion"},
        {{""}, Action::Refuse, ""},
        {{"--"}, Action::Refuse, "--"},
    };
    for (const Row& row : rows) {
        const CommandLine line = ParseCommandLine(row.args);
        EXPECT_EQ(line.action, row.action) << row.args.join(' ').toStdString();
        EXPECT_EQ(line.refused, row.refused) << row.args.join(' ').toStdString();
    }
}

struct Answer {
    int code;
    QString out;
    QString err;
};

Answer AnswerFor(const CommandLine& line) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int code = AnswerCommandLine(
        line, {"/home/ann/.config/tarnoRecord.ini", "/home/ann/My Recorder"}, out, err);
    auto slurp = [](std::FILE* f) {
        std::rewind(f);
        QByteArray all;
        char buf[512];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            all.append(buf, qsizetype(n));
        std::fclose(f);
        return QString::fromLocal8Bit(all);
    };
    return {code, slurp(out), slurp(err)};
}

TEST(CommandLine, HelpIsOneScreenThatSaysWhereSettingsAndRecordingsLive) {
    const Answer a = AnswerFor({Action::ShowHelp, {}});
    EXPECT_EQ(a.code, 0);
    EXPECT_TRUE(a.err.isEmpty());
    EXPECT_TRUE(a.out.startsWith("Usage: tarno-recorder")) << a.out.toStdString();
    EXPECT_TRUE(a.out.contains("/home/ann/.config/tarnoRecord.ini"));
    EXPECT_TRUE(a.out.contains("/home/ann/My Recorder"));
    const QStringList lines = a.out.split('\n');
    EXPECT_LE(lines.size(), 24);
    for (const QString& l : lines)
        EXPECT_LE(l.size(), 80) << l.toStdString();

    const Answer v = AnswerFor({Action::ShowVersion, {}});
    EXPECT_EQ(v.code, 0);
    EXPECT_EQ(v.out, "tarno-recorder (Tarno MP3 Recorder) " TARNO_VERSION "\n");
    EXPECT_TRUE(v.err.isEmpty());
}

TEST(CommandLine, RefusalGoesToStderrWithExitCodeTwoAndShowsNoControlCharacters) {
    const Answer a = AnswerFor({Action::Refuse, "--bogus"});
    EXPECT_EQ(a.code, 2);
    EXPECT_TRUE(a.out.isEmpty());
    EXPECT_EQ(a.err, "tarno-recorder: unknown option '--bogus'\n"
                     "Try 'tarno-recorder --help' for more information.\n");

    const Answer b = AnswerFor({Action::Refuse, "take.mp3"});
    EXPECT_TRUE(b.err.startsWith("tarno-recorder: unexpected argument 'take.mp3'"));

    // An escape sequence in an argument does not reach the terminal.
    const Answer c = AnswerFor({Action::Refuse, QString("--x\x1b]0;owned\x07")});
    EXPECT_FALSE(c.err.contains(QChar(0x1b)));
    EXPECT_TRUE(c.err.contains("'--x?]0;owned?'")) << c.err.toStdString();
}

// The real program answers without a display: with the X11 platform and no DISPLAY, opening a
// window would fail, so a clean exit shows that none was attempted.
TEST(CommandLine, TheProgramAnswersBeforeOpeningAnyWindow) {
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.path() + "/config");
    env.insert("XDG_RUNTIME_DIR", home.path());
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.insert("ASAN_OPTIONS", "detect_leaks=0");
    auto run = [&](const QStringList& args) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(TARNO_EXE, args);
        EXPECT_TRUE(p.waitForFinished(30000));
        return Answer{p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
                      QString::fromLocal8Bit(p.readAllStandardError())};
    };
    const Answer help = run({"--help"});
    EXPECT_EQ(help.code, 0) << help.err.toStdString();
    EXPECT_TRUE(help.out.contains(home.path() + "/config/tarnoRecord.ini"))
        << help.out.toStdString();
    EXPECT_TRUE(help.err.isEmpty()) << help.err.toStdString();

    const Answer version = run({"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out, "tarno-recorder (Tarno MP3 Recorder) " TARNO_VERSION "\n");

    const Answer bogus = run({"--record-now"});
    EXPECT_EQ(bogus.code, 2);
    EXPECT_TRUE(bogus.out.isEmpty());
    EXPECT_TRUE(bogus.err.contains("unknown option '--record-now'"));
    // Nothing was created in the home folder.
    EXPECT_FALSE(QFileInfo::exists(home.path() + "/config/tarnoRecord.ini"));
}

} // namespace

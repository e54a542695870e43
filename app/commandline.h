#pragma once

#include <QString>
#include <QStringList>
#include <cstdio>

// The program's whole command line. "--help" and "--version" answer and end the program before
// any window or sound server is touched; every other argument is refused. Nothing given here
// changes how the program runs.
struct CommandLine {
    enum class Action { Run, ShowHelp, ShowVersion, Refuse };
    Action action = Action::Run;
    QString refused; // for Refuse: the first argument that was not understood
};

// `arguments` without the program's own name. An argument that is not understood anywhere on the
// line wins over "--help" and "--version"; of those two, "--help" wins.
CommandLine ParseCommandLine(const QStringList& arguments);

// What the usage screen tells about this user's files.
struct UsageFacts {
    QString settingsPath;     // the settings file in use
    QString defaultOutputDir; // where recordings go until another folder is chosen
};

QString UsageText(const UsageFacts& facts);
QString VersionText();

// Answers an action other than Run: the usage or the version on `out` with exit code 0, a refusal
// on `err` with exit code 2. Returns the exit code.
int AnswerCommandLine(const CommandLine& line, const UsageFacts& facts, std::FILE* out,
                      std::FILE* err);

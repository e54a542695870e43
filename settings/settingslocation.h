#pragma once

#include <QProcessEnvironment>
#include <QString>

// Where the program keeps its settings and, by default, its recordings. Computed from the
// environment the caller passes in, so tests can point them at temporary folders.
namespace location {
constexpr const char* kSettingsFileName = "tarnoRecord.ini";
// $XDG_CONFIG_HOME/tarnoRecord.ini, else $HOME/.config/tarnoRecord.ini.
QString SettingsPath(const QProcessEnvironment& env);
// $HOME/My Recorder: the default output folder.
QString DefaultOutputDir(const QProcessEnvironment& env);
} // namespace location

#pragma once

#include <QString>

// Where the skin ("mp3enc.skn") and the help ("help/") are found. In the build tree they lie
// beside the executable; installed, the executable is in <prefix>/bin and they are in
// <prefix>/share/tarno-recorder. Only the executable's own folder decides: no environment.
//
// Returns `exeDir` when the skin is there, else `exeDir`/../share/tarno-recorder when that folder
// exists, else `exeDir` (so a missing skin is reported beside the executable).
QString FindDataDir(const QString& exeDir);

#pragma once

#include <QString>

class TAudioFile2;
class TIniFile;

// Reading audio files for the player and for the recordings list, both through the playback file
// component. A RAW file has no header, so it is read with the RAW format the settings dialog
// stores; every other file describes itself.

// True for a path whose extension is ".raw" in any letter case.
bool IsRawPath(const QString& path);

// Opens `path` for reading on `file` (OpenForRead(path, 0, 1)). For a ".raw" path the stored RAW
// settings ("raw" "format", "f", "c", "b") are first given to SetRawFormat. Raises what
// OpenForRead raises.
void OpenForPlayback(TAudioFile2& file, const TIniFile& settings, const QString& path);

// One row of the recordings list as a file added from disk shows it.
struct ListEntry {
    QString name; // the file name without folder
    QString time; // the length as "hh:mm:ss", hours growing past two digits
    QString date; // the file's creation date as "dd-mm-yyyy"
    QString path; // the full path as given
};

// Probes a file for the list: opens it on `file`, takes its length and closes it again, then
// reads the file's creation time. The date is the file system's birth time in UTC (the time as
// the file system stores it); where the file system keeps no birth time, the last modification
// time stands in. Raises ComponentError (or what the file component raises) when any step fails;
// the file component is closed again in every case.
ListEntry ProbeForList(TAudioFile2& file, const TIniFile& settings, const QString& path);

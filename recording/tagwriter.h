#pragma once

#include <QString>

class TIniFile;
class TAudioInformation2;

// Writes the stored tag values (settings section "info") into a finished recording. Every
// recording gets the same five values; they are read at the moment of writing, so an edit made
// while a recording runs reaches that recording.
class TagWriter {
public:
    // Both must outlive the writer.
    TagWriter(TIniFile& ini, TAudioInformation2& information);

    // Sets album, artist, comments, title and genre on the tag component, in that order, then
    // writes them into `path`. Failures of the tag component propagate as ComponentError.
    void WriteTags(const QString& path);

    // The genre text handed to the tag component for the stored "genre" value: the editor stores
    // the list index, and tag readers want the name ("12" becomes "Other"). Anything that is not
    // an index of the list is passed on as stored.
    static QString GenreText(const QString& stored);

private:
    TIniFile& ini_;
    TAudioInformation2& information_;
};

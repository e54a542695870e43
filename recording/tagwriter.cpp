#include "tagwriter.h"

#include "genres.h"
#include "taudioinformation2.h"
#include "tinifile.h"

TagWriter::TagWriter(TIniFile& ini, TAudioInformation2& information)
    : ini_(ini), information_(information) {}

QString TagWriter::GenreText(const QString& stored) {
    int index = -1;
    if (ini::ParseInteger(stored.trimmed(), index) && index >= 0 && index < genres::kGenreCount)
        return genres::Name(index);
    return stored;
}

void TagWriter::WriteTags(const QString& path) {
    information_.Put("infoAlbum", ini_.ReadString("info", "album", "unknown album"));
    information_.Put("infoArtist", ini_.ReadString("info", "arist", "unknown artist"));
    information_.Put("infoComments", ini_.ReadString("info", "comment", ""));
    information_.Put("infoTitle", ini_.ReadString("info", "title", "unknown title"));
    information_.Put("infoGenreS", GenreText(ini_.ReadString("info", "genre", "Other")));
    information_.WriteTags(path);
}

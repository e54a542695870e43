#include "tagwriter.h"

#include "genres.h"
#include "settingstable.h"
#include "taudioinformation2.h"
#include "tinifile.h"

namespace {
constexpr settings::Reader kReader = settings::Reader::TagWriter;
}

TagWriter::TagWriter(TIniFile& ini, TAudioInformation2& information)
    : ini_(ini), information_(information) {}

QString TagWriter::GenreText(const QString& stored) {
    int index = -1;
    if (ini::ParseInteger(stored.trimmed(), index) && index >= 0 && index < genres::kGenreCount)
        return genres::Name(index);
    return stored;
}

void TagWriter::WriteTags(const QString& path) {
    information_.Put("infoAlbum", settings::ReadString(ini_, settings::kInfoAlbum, kReader));
    information_.Put("infoArtist", settings::ReadString(ini_, settings::kInfoArtist, kReader));
    information_.Put("infoComments", settings::ReadString(ini_, settings::kInfoComment, kReader));
    information_.Put("infoTitle", settings::ReadString(ini_, settings::kInfoTitle, kReader));
    information_.Put("infoGenreS",
                     GenreText(settings::ReadString(ini_, settings::kInfoGenre, kReader)));
    information_.WriteTags(path);
}

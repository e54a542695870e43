#pragma once

#include <QString>
#include <QStringList>

// The genre list of the tag editor: 148 names whose index is the ID3v1 genre number (the
// original list 0..79 followed by the common extensions 80..147). The settings keep the index.
namespace genres {

constexpr int kGenreCount = 148;

const QStringList& Names();
// The name at `index`; an empty string outside 0..147.
QString Name(int index);

} // namespace genres

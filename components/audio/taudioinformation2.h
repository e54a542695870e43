#pragma once

#include <QString>

// The tag component: five text properties set by name, then WriteTags writes them into a file.
// MP3 gets ID3v2.4, OGG a Vorbis comment, WAV RIFF INFO and an ID3v2 chunk, WMA ASF attributes.
// A ".raw" file has no place for tags and is left unchanged. A file that cannot be tagged raises
// ComponentError naming the file.
//
// Recordings made by TAudioFile2 carry room for their tags (tagroom.h): WriteTags fills it in
// place, touching only the tag's bytes, in the same few milliseconds for any length, and a kill
// meanwhile leaves the audio whole. WAV recordings past 4 GiB (RF64) get their tag chunks
// appended by the component. Other files (no room, or tags of other programs in it) are tagged
// through TagLib, which may rewrite the whole file.
class TAudioInformation2 {
public:
    // Late-bound property put: "infoAlbum", "infoArtist", "infoComments", "infoTitle",
    // "infoGenreS". An unknown name raises ComponentError.
    void Put(const QString& property, const QString& value);
    QString Get(const QString& property) const;

    void WriteTags(const QString& path);

private:
    QString album_, artist_, comments_, title_, genre_;
};

#include "taudioinformation2.h"

#include "componenterror.h"
#include "filesink.h"
#include "inplacetags.h"
#include "tagroom.h"

#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <taglib/apefile.h>
#include <taglib/asffile.h>
#include <taglib/fileref.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <unistd.h>

namespace {

TagLib::String ToTagString(const QString& s) {
    return TagLib::String(s.toStdString(), TagLib::String::UTF8);
}

void Fill(TagLib::Tag* tag, const QString& album, const QString& artist, const QString& comments,
          const QString& title, const QString& genre) {
    if (tag == nullptr)
        return;
    tag->setAlbum(ToTagString(album));
    tag->setArtist(ToTagString(artist));
    tag->setComment(ToTagString(comments));
    tag->setTitle(ToTagString(title));
    tag->setGenre(ToTagString(genre));
}

} // namespace

void TAudioInformation2::Put(const QString& property, const QString& value) {
    const QString name = property.toLower();
    if (name == "infoalbum")
        album_ = value;
    else if (name == "infoartist")
        artist_ = value;
    else if (name == "infocomments")
        comments_ = value;
    else if (name == "infotitle")
        title_ = value;
    else if (name == "infogenres")
        genre_ = value;
    else
        throw ComponentError("The tag component has no property '" + property.toStdString() + "'.");
}

QString TAudioInformation2::Get(const QString& property) const {
    const QString name = property.toLower();
    if (name == "infoalbum")
        return album_;
    if (name == "infoartist")
        return artist_;
    if (name == "infocomments")
        return comments_;
    if (name == "infotitle")
        return title_;
    if (name == "infogenres")
        return genre_;
    throw ComponentError("The tag component has no property '" + property.toStdString() + "'.");
}

namespace {

// A RIFF WAVE file with a format chunk and a data chunk of size zero.
bool IsWavWithEmptyData(const char* path) {
    std::ifstream in(path, std::ios::binary);
    char head[12];
    if (!in.read(head, 12) || std::memcmp(head, "RIFF", 4) != 0 ||
        std::memcmp(head + 8, "WAVE", 4) != 0)
        return false;
    bool format = false;
    for (int i = 0; i < 64; ++i) {
        char chunk[8];
        if (!in.read(chunk, 8))
            return false;
        const std::uint32_t size =
            static_cast<std::uint8_t>(chunk[4]) | static_cast<std::uint8_t>(chunk[5]) << 8 |
            static_cast<std::uint8_t>(chunk[6]) << 16 |
            static_cast<std::uint32_t>(static_cast<std::uint8_t>(chunk[7])) << 24;
        if (std::memcmp(chunk, "fmt ", 4) == 0)
            format = size >= 16;
        if (std::memcmp(chunk, "data", 4) == 0)
            return format && size == 0;
        in.seekg(size + (size & 1), std::ios::cur);
    }
    return false;
}

// The RIFF size field of a WAV file, and the file's size; false when they cannot be read.
bool ReadRiffSize(const char* path, std::uint32_t& riff, std::uint64_t& size) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::uint8_t head[8];
    struct stat st {};
    const bool ok = ::pread(fd, head, 8, 0) == 8 && ::fstat(fd, &st) == 0;
    ::close(fd);
    riff = head[4] | head[5] << 8 | head[6] << 16 | static_cast<std::uint32_t>(head[7]) << 24;
    size = static_cast<std::uint64_t>(st.st_size);
    return ok;
}

// Cuts a WAV file back to `size` bytes and its RIFF size field back to `riff`.
void RestoreRiff(const char* path, std::uint64_t size, std::uint32_t riff) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    const std::uint8_t field[4] = {
        static_cast<std::uint8_t>(riff), static_cast<std::uint8_t>(riff >> 8),
        static_cast<std::uint8_t>(riff >> 16), static_cast<std::uint8_t>(riff >> 24)};
    if (::ftruncate(fd, static_cast<off_t>(size)) == 0 && ::pwrite(fd, field, 4, 4) == 4)
        ::fsync(fd);
    ::close(fd);
}

} // namespace

void TAudioInformation2::WriteTags(const QString& path) {
    const std::string p = path.toStdString();
    const QString lower = path.toLower();
    // Headerless audio has no place for tags: anything written into it would be played as sound.
    if (lower.endsWith(".raw"))
        return;
    // Recordings carry room for their tags: filling it touches only the tag's own bytes, costs the
    // same for any length and leaves the file whole whenever the program is stopped.
    const TagValues values{album_.toStdString(), artist_.toStdString(), comments_.toStdString(),
                           title_.toStdString(), genre_.toStdString()};
    if (WriteTagsInPlace(p, values))
        return;
    const QByteArray local = path.toLocal8Bit();
    const TagLib::FileName name(local.constData());
    auto fail = [&](const char* cause) { throw ComponentError(FileErrorText("tag", p, cause)); };
    // TagLib accepts some files that hold no audio at all; a file is taken only if it finds
    // audio in it.
    auto hasAudio = [](const TagLib::File& f) {
        return f.isValid() && f.audioProperties() != nullptr &&
               f.audioProperties()->sampleRate() > 0;
    };
    bool saved = false;
    if (lower.endsWith(".mp3")) {
        TagLib::MPEG::File f(name, true);
        if (!hasAudio(f))
            fail("not an MP3 file TagLib can read");
        Fill(f.ID3v2Tag(true), album_, artist_, comments_, title_, genre_);
        saved = f.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v4);
    } else if (lower.endsWith(".wav")) {
        // TagLib keeps RIFF sizes and chunk offsets in 32 bits: chunks that take the file past
        // them wrap its RIFF size and are written inside the samples.
        std::uint32_t riffBefore = 0;
        std::uint64_t sizeBefore = 0;
        const bool known = ReadRiffSize(local.constData(), riffBefore, sizeBefore);
        if (known && sizeBefore > 0xFFFFFFFFull - kRiffTagRoomBytes)
            fail("it is too close to the 4 GiB limit of a RIFF file for the tags to fit");
        bool hadTags = true;
        {
            TagLib::RIFF::WAV::File f(name, true);
            if (!hasAudio(f)) {
                // A recording stopped before its first block: nothing to tag, and tag chunks
                // behind an empty data chunk would be played as sound by readers that take a
                // data size of zero to mean "up to the end of the file".
                if (IsWavWithEmptyData(local.constData()))
                    return;
                fail("not a WAV file TagLib can read");
            }
            hadTags = f.hasInfoTag() || f.hasID3v2Tag();
            Fill(f.InfoTag(), album_, artist_, comments_, title_, genre_);
            Fill(f.ID3v2Tag(), album_, artist_, comments_, title_, genre_);
            saved = f.save(TagLib::RIFF::WAV::File::AllTags, TagLib::File::StripNone,
                           TagLib::ID3v2::v4);
        }
        // TagLib does not notice a write that fails (a full disk) and reports the save done,
        // with a RIFF size that names chunks which never reached the file. A file that had no
        // tags only gained chunks at its end: it goes back to what it was. (A file whose RIFF
        // size was already beyond its end is not judged by it.)
        std::uint32_t riff = 0;
        std::uint64_t size = 0;
        if (saved && known && std::uint64_t{riffBefore} + 8 <= sizeBefore &&
            ReadRiffSize(local.constData(), riff, size) && std::uint64_t{riff} + 8 > size) {
            if (!hadTags)
                RestoreRiff(local.constData(), sizeBefore, riffBefore);
            fail("not all of the tags reached the file (is the disk full?)");
        }
    } else if (lower.endsWith(".ogg")) {
        TagLib::Ogg::Vorbis::File f(name, true);
        if (!hasAudio(f))
            fail("not an Ogg Vorbis file TagLib can read");
        Fill(f.tag(), album_, artist_, comments_, title_, genre_);
        saved = f.save();
    } else if (lower.endsWith(".wma")) {
        TagLib::ASF::File f(name, true);
        if (!hasAudio(f))
            fail("not a WMA file TagLib can read");
        Fill(f.tag(), album_, artist_, comments_, title_, genre_);
        saved = f.save();
    } else {
        TagLib::FileRef f(name, true);
        if (f.isNull() || f.tag() == nullptr || !hasAudio(*f.file()))
            fail("not an audio file TagLib can tag");
        Fill(f.tag(), album_, artist_, comments_, title_, genre_);
        saved = f.save();
    }
    if (!saved)
        fail("TagLib could not save the tags");
}

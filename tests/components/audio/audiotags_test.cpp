// Tags written by the tag component, read back with TagLib; RAW files stay untouched.
#include "audiotestutil.h"
#include "componenterror.h"
#include "tagroom.h"
#include "taudiofile2.h"
#include "taudioinformation2.h"
#include "wavencoder.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <taglib/fileref.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>
#include <taglib/wavfile.h>
#include <unistd.h>

namespace {

TAudioInformation2 Tags() {
    TAudioInformation2 t;
    t.Put("infoAlbum", "Album ä");
    t.Put("infoArtist", "Artist ☂");
    t.Put("infoComments", "A comment");
    t.Put("infoTitle", "Title");
    t.Put("infoGenreS", "Speech");
    return t;
}

void ExpectTags(TagLib::Tag* tag, const std::string& what) {
    ASSERT_NE(tag, nullptr) << what;
    EXPECT_EQ(QString::fromStdString(tag->album().to8Bit(true)), QString("Album ä")) << what;
    EXPECT_EQ(QString::fromStdString(tag->artist().to8Bit(true)), QString("Artist ☂")) << what;
    EXPECT_EQ(tag->comment().to8Bit(true), "A comment") << what;
    EXPECT_EQ(tag->title().to8Bit(true), "Title") << what;
    EXPECT_EQ(tag->genre().to8Bit(true), "Speech") << what;
}

TEST(AudioTags, EveryTaggableFormatKeepsItsAudioAndGainsTheTags) {
    for (const FormatCase& fc : AllFormatCases()) {
        if (fc.ext == ".raw")
            continue;
        const std::string path = TempDir() + "/tagged_" + fc.name + fc.ext;
        TAudioFile2 w;
        fc.configure(w);
        WriteTone(w, path, 1.0);
        w.CloseFile();
        const std::int64_t before = DecodeWithFfmpeg(path).Frames();
        TAudioInformation2 t = Tags();
        ASSERT_NO_THROW(t.WriteTags(QString::fromStdString(path))) << fc.name;
        TagLib::FileRef ref(path.c_str());
        ASSERT_FALSE(ref.isNull()) << fc.name;
        ExpectTags(ref.tag(), fc.name);
        if (fc.ext == ".wav") {
            TagLib::RIFF::WAV::File wav(path.c_str());
            EXPECT_TRUE(wav.hasInfoTag() && wav.hasID3v2Tag()) << fc.name;
            ExpectTags(wav.InfoTag(), fc.name + " INFO");
            ExpectTags(wav.ID3v2Tag(), fc.name + " ID3v2");
        }
        if (fc.ext == ".mp3") {
            TagLib::MPEG::File mp3(path.c_str());
            ASSERT_TRUE(mp3.hasID3v2Tag());
            EXPECT_EQ(mp3.ID3v2Tag()->header()->majorVersion(), 4u);
        }
        EXPECT_EQ(DecodeWithFfmpeg(path).Frames(), before) << fc.name << ": tags changed the audio";
        TAudioFile2 r;
        r.OpenForRead(QString::fromStdString(path), 0, 1);
        EXPECT_NEAR(r.GetDurationMs(), 1000, 300) << fc.name;
    }
}

TEST(AudioTags, RawFilesStayByteForByteAndBadFilesRaise) {
    const std::string raw = TempDir() + "/plain.raw";
    TAudioFile2 w;
    w.SetRawFormat(1, 8000, 1, 16);
    WriteTone(w, raw, 0.5);
    w.CloseFile();
    const std::string before = Slurp(raw);
    TAudioInformation2 t = Tags();
    EXPECT_NO_THROW(t.WriteTags(QString::fromStdString(raw)));
    EXPECT_EQ(Slurp(raw), before);

    const std::string junk = TempDir() + "/junk.mp3";
    std::ofstream(junk) << "plain text";
    try {
        t.WriteTags(QString::fromStdString(junk));
        ADD_FAILURE() << "no error for a text file";
    } catch (const ComponentError& e) {
        EXPECT_NE(std::string(e.what()).find("'" + junk + "'"), std::string::npos) << e.what();
    }
    EXPECT_THROW(t.WriteTags("/nonexistent/a.ogg"), ComponentError);
    EXPECT_THROW(t.Put("infoYear", "1999"), ComponentError);
    EXPECT_EQ(t.Get("infoGenreS"), "Speech");
}

TEST(AudioTags, AWavRecordingStoppedBeforeItsFirstBlockIsLeftAsItIs) {
    // Tags behind an empty data chunk would be read as sound by FFmpeg, so such a file keeps
    // its header alone, and stopping that early is no error.
    const std::string path = TempDir() + "/empty.wav";
    TAudioFile2 w;
    w.SetPcmFormat(44100, 2, 16);
    w.CreateForWrite(QString::fromStdString(path), 0);
    w.CloseFile();
    const std::string before = Slurp(path);
    TAudioInformation2 t = Tags();
    ASSERT_NO_THROW(t.WriteTags(QString::fromStdString(path)));
    EXPECT_EQ(Slurp(path), before);
    EXPECT_EQ(DecodeWithFfmpeg(path).Frames(), 0);
    TAudioFile2 r;
    r.OpenForRead(QString::fromStdString(path), 0, 1);
    EXPECT_EQ(r.GetLengthSamples(), 0);
    EXPECT_EQ(r.GetSampleRate(), 44100);

    const std::string notWav = TempDir() + "/text.wav";
    std::ofstream(notWav) << "RIFF but not really";
    EXPECT_THROW(t.WriteTags(QString::fromStdString(notWav)), ComponentError);
}

} // namespace

namespace {

// Bytes of `a` and `b` that differ beyond `from` (the two must be equally long there).
bool SameFrom(const std::string& a, const std::string& b, std::size_t from) {
    return a.size() == b.size() && a.compare(from, std::string::npos, b, from) == 0;
}

QString Repeat(const QString& s, int n) {
    QString r;
    for (int i = 0; i < n; ++i)
        r += s;
    return r;
}

// The longest values the settings store hands back, in characters of one to four bytes.
TAudioInformation2 LongestTags() {
    TAudioInformation2 longest;
    longest.Put("infoTitle", Repeat(QString::fromUtf8("☂"), 2047));
    longest.Put("infoArtist", Repeat(QString::fromUtf8("𝄞"), 1023) + "a");
    longest.Put("infoAlbum", Repeat("a", 2047));
    longest.Put("infoComments", Repeat(QString::fromUtf8("ä"), 2047));
    longest.Put("infoGenreS", Repeat("g", 2047));
    return longest;
}

TEST(AudioTags, TheLongestValuesGoIntoTheRoomAndNeverMoveTheAudio) {
    TAudioInformation2 longest = LongestTags();
    TAudioInformation2 shorter = Tags();
    shorter.Put("infoGenreS", "");
    for (const FormatCase& fc : AllFormatCases()) {
        std::size_t room = 0; // the audio lies beyond this offset
        if (fc.ext == ".mp3")
            room = Id3RoomBytes();
        else if (fc.ext == ".OGG")
            room = VorbisCommentRoomBytes() + 4096;
        else if (fc.ext == ".wma")
            room = AsfRoomBytes() + 4096;
        else
            continue;
        const std::string path = TempDir() + "/room_" + fc.name + fc.ext;
        TAudioFile2 w;
        fc.configure(w);
        WriteTone(w, path, 2.0);
        w.CloseFile();
        const std::string before = Slurp(path);
        ASSERT_GT(before.size(), room + 1000) << fc.name;
        const std::int64_t frames = DecodeWithFfmpeg(path).Frames();

        for (const TAudioInformation2* t : {&longest, &shorter}) {
            TAudioInformation2 values = *t;
            ASSERT_NO_THROW(values.WriteTags(QString::fromStdString(path))) << fc.name;
            const std::string after = Slurp(path);
            EXPECT_TRUE(SameFrom(before, after, room)) << fc.name << ": the audio moved or changed";
            TagLib::FileRef ref(path.c_str());
            ASSERT_FALSE(ref.isNull()) << fc.name;
            auto read = [&](TagLib::String s) { return QString::fromStdString(s.to8Bit(true)); };
            EXPECT_EQ(read(ref.tag()->title()), t->Get("infoTitle")) << fc.name;
            EXPECT_EQ(read(ref.tag()->artist()), t->Get("infoArtist")) << fc.name;
            EXPECT_EQ(read(ref.tag()->album()), t->Get("infoAlbum")) << fc.name;
            EXPECT_EQ(read(ref.tag()->comment()), t->Get("infoComments")) << fc.name;
            EXPECT_EQ(read(ref.tag()->genre()), t->Get("infoGenreS")) << fc.name;
            EXPECT_EQ(DecodeWithFfmpeg(path).Frames(), frames) << fc.name;
        }
    }
}

TEST(AudioTags, AWavPastTheRiffLimitIsTaggedAsRf64) {
    // TagLib cannot open RF64; the component writes LIST INFO and "id3 " chunks after the data
    // itself, and tagging twice replaces them instead of piling them up.
    const std::string path = TempDir() + "/long.wav";
    TAudioFile2 w;
    w.SetPcmFormat(8000, 1, 16);
    w.SetRf64ThresholdForTesting(1000);
    WriteTone(w, path, 1.0);
    w.CloseFile();
    const std::string before = Slurp(path);
    ASSERT_EQ(before.substr(0, 4), "RF64");
    TAudioInformation2 longest;
    longest.Put("infoTitle", Repeat(QString::fromUtf8("☂"), 2047));
    TAudioInformation2 t = Tags();
    std::size_t firstSize = 0;
    for (TAudioInformation2* values : {&longest, &t}) {
        ASSERT_NO_THROW(values->WriteTags(QString::fromStdString(path)));
        const std::string after = Slurp(path);
        // Past the ds64 chunk's RIFF size, nothing before the tags changes.
        EXPECT_EQ(after.compare(28, before.size() - 28, before, 28), 0) << "the samples changed";
        if (firstSize == 0)
            firstSize = after.size();
    }
    EXPECT_LT(Slurp(path).size(), firstSize);
    const Decoded d = DecodeWithFfmpeg(path);
    EXPECT_EQ(d.Frames(), 8000);
    FILE* p = ::popen(
        ("ffprobe -v error -show_entries format_tags -of default=nw=1 '" + path + "'").c_str(),
        "r");
    ASSERT_NE(p, nullptr);
    std::string tags;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
        tags.append(buf, n);
    ::pclose(p);
    for (const char* want : {"title=Title", "artist=Artist ☂", "album=Album ä", "genre=Speech"})
        EXPECT_NE(tags.find(want), std::string::npos) << want << " in\n" << tags;
}

// The first `n` bytes of a file (the files below are sparse and 4 GiB long).
std::string Head(const std::string& path, std::size_t n) {
    std::string b(n, '\0');
    std::ifstream in(path, std::ios::binary);
    in.read(b.data(), static_cast<std::streamsize>(n));
    b.resize(static_cast<std::size_t>(in.gcount()));
    return b;
}

std::uint32_t Le32(const std::string& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<std::uint8_t>(b[at + static_cast<std::size_t>(i)]);
    return v;
}

void SetLe32(const std::string& path, std::uint64_t at, std::uint64_t v) {
    const std::uint8_t b[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                               static_cast<std::uint8_t>(v >> 16),
                               static_cast<std::uint8_t>(v >> 24)};
    const int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, b, 4, static_cast<off_t>(at)), 4);
    ::close(fd);
}

// A second of the tone as an 8 kHz mono WAV recording.
void WriteShortWav(const std::string& path) {
    TAudioFile2 w;
    w.SetPcmFormat(8000, 1, 16);
    WriteTone(w, path, 1.0);
    w.CloseFile();
}

// Makes the WAV at `path`, whose samples start at `dataAt`, `data` bytes of samples long: a
// sparse stretch after what it holds, with the RIFF and data sizes to match.
void StretchWav(const std::string& path, std::size_t dataAt, std::uint64_t data) {
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(dataAt + data)), 0);
    SetLe32(path, 4, dataAt - 8 + data);
    SetLe32(path, dataAt - 4, data);
}

struct stat Stat(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st;
}

TEST(AudioTags, AWavAtTheRiffLimitKeepsItsSizesAndItsSamples) {
    // TagLib keeps a RIFF file's sizes and chunk offsets in 32 bits: tag chunks that take a file
    // past 4 GiB wrap its RIFF size and land inside the samples, after TagLib has moved gigabytes.
    // The largest plain RIFF recording still has room for the longest tags; a larger RIFF file
    // from elsewhere is refused unchanged. The samples are a sparse stretch after a second of tone.
    const std::string path = TempDir() + "/riff_limit.wav";
    WriteShortWav(path);
    const std::size_t dataAt = Head(path, 4096).find("data") + 8;
    const std::uint64_t data = WavEncoder::DefaultRf64Threshold() & ~std::uint64_t{1};
    StretchWav(path, dataAt, data);
    const std::string before = Head(path, dataAt + 16000);

    TAudioInformation2 longest = LongestTags();
    ASSERT_NO_THROW(longest.WriteTags(QString::fromStdString(path)));
    const std::string after = Head(path, dataAt + 16000);
    EXPECT_EQ(after.compare(8, std::string::npos, before, 8), 0) << "the samples changed";
    EXPECT_EQ(Le32(after, 4), static_cast<std::uint64_t>(Stat(path).st_size) - 8);
    EXPECT_LT(Stat(path).st_blocks * 512, 64 << 20) << "the samples were moved";
    TagLib::RIFF::WAV::File wav(path.c_str());
    ASSERT_TRUE(wav.isValid() && wav.hasInfoTag());
    EXPECT_EQ(QString::fromStdString(wav.InfoTag()->title().to8Bit(true)),
              longest.Get("infoTitle"));

    // A RIFF file from elsewhere a few bytes short of 4 GiB.
    const std::string foreign = TempDir() + "/riff_foreign.wav";
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(dataAt + 16000)), 0);
    std::string header = Head(path, dataAt);
    const std::uint64_t foreignData = 0xFFFFFFF0u - dataAt;
    {
        std::ofstream out(foreign, std::ios::binary);
        out << header;
    }
    StretchWav(foreign, dataAt, foreignData);
    const std::string foreignBefore = Head(foreign, dataAt);
    TAudioInformation2 t = Tags();
    EXPECT_THROW(t.WriteTags(QString::fromStdString(foreign)), ComponentError);
    EXPECT_EQ(Head(foreign, dataAt), foreignBefore);
    EXPECT_EQ(static_cast<std::uint64_t>(Stat(foreign).st_size), dataAt + foreignData);
    std::remove(path.c_str());
    std::remove(foreign.c_str());
}

TEST(AudioTags, AWavWhoseTagsDoNotFitOnTheDiskIsReportedAndLeftAsItWas) {
    // The disk fills up while TagLib appends the tag chunks (a file size limit stands in for it):
    // TagLib sees no failed write, but the tags are not in the file.
    const std::string path = TempDir() + "/fulldisk.wav";
    WriteShortWav(path);
    const std::string before = Slurp(path);
    TAudioInformation2 t = Tags();
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tight = old;
    tight.rlim_cur = before.size() + 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    std::string message;
    try {
        t.WriteTags(QString::fromStdString(path));
    } catch (const ComponentError& e) {
        message = e.what();
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);
    EXPECT_EQ(message, "Cannot tag '" + path +
                           "': not all of the tags reached the file (is the disk full?)");
    EXPECT_TRUE(Slurp(path) == before) << "the file was not put back as it was";
    // With room on the disk the same tags go in.
    ASSERT_NO_THROW(t.WriteTags(QString::fromStdString(path)));
    TagLib::RIFF::WAV::File wav(path.c_str());
    ExpectTags(wav.ID3v2Tag(), "after the disk had room");
    EXPECT_EQ(DecodeWithFfmpeg(path).Frames(), 8000);
}

TEST(AudioTags, TagsBesideOursSendTheFileThroughTagLibAndSurvive) {
    // A file whose tag holds something we do not write (added by another program) is not
    // rewritten from our five values alone: TagLib updates it and keeps the rest.
    for (const FormatCase& fc : AllFormatCases()) {
        if (fc.name != "mp3_cbr" && fc.name != "ogg_managed" && fc.name != "wma_preset10")
            continue;
        const std::string path = TempDir() + "/foreign_" + fc.name + fc.ext;
        TAudioFile2 w;
        fc.configure(w);
        WriteTone(w, path, 1.0);
        w.CloseFile();
        {
            TagLib::FileRef ref(path.c_str());
            TagLib::PropertyMap props = ref.file()->properties();
            props.insert("COMPOSER", TagLib::StringList("Someone else"));
            ref.file()->setProperties(props);
            ASSERT_TRUE(ref.save()) << fc.name;
        }
        TAudioInformation2 t = Tags();
        ASSERT_NO_THROW(t.WriteTags(QString::fromStdString(path))) << fc.name;
        TagLib::FileRef ref(path.c_str());
        ExpectTags(ref.tag(), fc.name);
        const TagLib::PropertyMap props = ref.file()->properties();
        ASSERT_TRUE(props.contains("COMPOSER")) << fc.name;
        EXPECT_EQ(props["COMPOSER"].front(), "Someone else") << fc.name;
    }
}

TEST(AudioTags, ValuesLongerThanTheRoomStillGoInThroughTagLib) {
    // Longer than anything the settings store gives, but a caller may: the file is rewritten
    // around a larger tag, and the audio stays the same.
    TAudioInformation2 t = Tags();
    const QString huge = Repeat(QString::fromUtf8("𝄞"), 3000);
    t.Put("infoTitle", huge);
    t.Put("infoComments", huge);
    t.Put("infoAlbum", huge);
    for (const FormatCase& fc : AllFormatCases()) {
        if (fc.name != "mp3_vbr" && fc.name != "ogg_quality" && fc.name != "wma_preset1")
            continue;
        const std::string path = TempDir() + "/huge_" + fc.name + fc.ext;
        TAudioFile2 w;
        fc.configure(w);
        WriteTone(w, path, 1.0);
        w.CloseFile();
        const std::int64_t frames = DecodeWithFfmpeg(path).Frames();
        ASSERT_NO_THROW(t.WriteTags(QString::fromStdString(path))) << fc.name;
        TagLib::FileRef ref(path.c_str());
        ASSERT_FALSE(ref.isNull()) << fc.name;
        EXPECT_EQ(QString::fromStdString(ref.tag()->title().to8Bit(true)), huge) << fc.name;
        EXPECT_EQ(QString::fromStdString(ref.tag()->artist().to8Bit(true)), QString("Artist ☂"))
            << fc.name;
        EXPECT_EQ(DecodeWithFfmpeg(path).Frames(), frames) << fc.name;
    }
}

} // namespace

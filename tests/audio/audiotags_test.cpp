// Tags written by the tag component, read back with TagLib; RAW files stay untouched.
#include "audiotestutil.h"
#include "componenterror.h"
#include "taudiofile2.h"
#include "taudioinformation2.h"

#include <fstream>
#include <gtest/gtest.h>
#include <taglib/fileref.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/wavfile.h>

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

// The format step of a recording start: which values the encoder object gets from the stored
// choices, and the description the user sees for every format and mode.

#include "encoderconfig.h"
#include "genres.h"
#include "recordingrig.h"
#include "tagwriter.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

struct ConfigRig {
    ConfigRig()
        : ini(QDir::homePath() + "/config/encoder.ini", QLocale::system()),
          config(ini, fileWrite, lameEnc, display, prompts, dialog) {
        QDir().mkpath(QDir::homePath() + "/config");
        QFile::remove(ini.FileName());
    }
    ~ConfigRig() { QFile::remove(ini.FileName()); }

    TIniFile ini;
    TAudioFile2 fileWrite;
    TAudioFile2LameEnc lameEnc;
    RigDisplay display;
    RigPrompts prompts;
    RigDialog dialog;
    EncoderConfig config;
};

struct Case {
    const char* what;
    int format;
    bool userNamed;
    std::vector<std::pair<const char*, int>> keys; // "section/key", value
    const char* wmaText;
    const char* description; // nullptr: nothing shown
};

} // namespace

TEST(EncoderConfig, EveryFormatAndModeShowsItsDescription) {
    const std::vector<Case> cases = {
        {"MP3 defaults", 0, false, {}, "", "Stereo 128K 44100HZ"},
        {"MP3 mono 22050 Hz 64 kbit/s",
         0,
         false,
         {{"mp3/frequency", 5}, {"mp3/bitrate", 7}, {"mp3/channel", 0}},
         "",
         "Mono 64K 22050HZ"},
        {"WAV CD quality", 1, false, {{"wav/mode", 0}}, "", "stereo 16B 44100HZ"},
        {"WAV best suited", 1, false, {{"wav/mode", 1}}, "", "Mono 4B 800HZ"},
        {"WAV custom, keys missing", 1, false, {{"wav/mode", 2}}, "", "Stereo 3B 44100HZ"},
        {"WAV custom 32 bits",
         1,
         false,
         {{"wav/mode", 2}, {"wav/bit", 6}, {"wav/frequency", 1}, {"wav/channel", 0}},
         "",
         "Mono 32B 8000HZ"},
        {"WAV hand-edited mode", 1, false, {{"wav/mode", 7}}, "", nullptr},
        {"WMA 128 kbit/s",
         2,
         false,
         {{"wma/format", 9}},
         " 44KHz, 128Kbps, Stereo, CBR",
         " 44KHz, 128K, Stereo, CBR"},
        {"WMA last CBR preset",
         2,
         false,
         {{"wma/format", 37}},
         " 8KHz,  5Kbps, Mono, CBR",
         " 8KHz,  5K, Mono, CBR"},
        {"WMA quality preset",
         2,
         false,
         {{"wma/format", 40}},
         " 44KHz, Stereo, VBR Quality 98",
         " 44KHz, Stereo, VBR Quality 98"},
        {"OGG picked name: quality mode", 3, true, {}, "", "Stereo 300Q 44100HZ"},
        {"OGG dated name: bit-rate mode", 3, false, {}, "", "Stereo 128K 44100HZ"},
        {"OGG quality mode stored",
         3,
         false,
         {{"ogg/enable quality", 1}, {"ogg/quality", 1000}},
         "",
         "Stereo 1000Q 44100HZ"},
        {"RAW defaults", 4, false, {}, "", "Stereo 16B 44100HZ"},
        {"RAW 24 bits", 4, false, {{"raw/b", 6}}, "", "Stereo 24B 44100HZ"},
        {"RAW 32 bits mono", 4, true, {{"raw/b", 7}, {"raw/c", 0}}, "", "Mono 32B 44100HZ"},
        {"RAW GSM 6.10: 8000 Hz mono whatever was chosen",
         4,
         false,
         {{"raw/format", 3}},
         "",
         "Mono 16B 8000HZ"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ConfigRig r;
        for (const auto& [key, value] : c.keys) {
            const QString k = key;
            r.ini.WriteInteger(k.section('/', 0, 0), k.section('/', 1), value);
        }
        r.dialog.wmaText = c.wmaText;
        EXPECT_TRUE(r.config.ConfigureFormat(c.format, c.userNamed));
        if (c.description) {
            EXPECT_EQ(r.display.texts.value("s_mono"), c.description);
            EXPECT_GT(r.config.BytesPerMinute(), 0);
        } else {
            EXPECT_FALSE(r.display.texts.contains("s_mono"));
        }
        EXPECT_TRUE(r.prompts.messages.isEmpty());
    }
}

// The free-space warning counts what the file takes: GSM 6.10 at 8000 Hz mono, 33 bytes per 160
// samples, even when 44100 Hz stereo was chosen.
TEST(EncoderConfig, RawEstimateCountsWhatIsWritten) {
    ConfigRig r;
    r.ini.WriteInteger("raw", "format", 3);
    ASSERT_TRUE(r.config.ConfigureFormat(4, false));
    EXPECT_EQ(r.config.BytesPerMinute(), 8000 * 33 / 160 * 60);
}

TEST(EncoderConfig, Mp3ValuesReachTheEncoderObject) {
    ConfigRig r;
    r.ini.WriteInteger("mp3", "frequency", 7);
    r.ini.WriteInteger("mp3", "bitrate", 13);
    r.ini.WriteInteger("mp3", "channel", 0);
    r.ini.WriteInteger("mp3", "quality", 2);
    r.ini.WriteBool("mp3", "enable vbr", false);
    ASSERT_TRUE(r.config.ConfigureFormat(0, false));
    EXPECT_EQ(r.lameEnc.GetSampleRate(), 32000);
    EXPECT_EQ(r.lameEnc.GetBitrate(), 192);
    EXPECT_EQ(r.lameEnc.GetChannelMode(), 1);
    EXPECT_EQ(r.lameEnc.GetQuality(), 2);
    EXPECT_FALSE(r.lameEnc.GetVbrEnabled());
    EXPECT_EQ(r.config.BytesPerMinute(), 192000 / 8 * 60);

    r.ini.WriteBool("mp3", "enable vbr", true);
    r.ini.WriteInteger("mp3", "vbr bitrate", 16);
    r.ini.WriteInteger("mp3", "vbr quality", 3);
    ASSERT_TRUE(r.config.ConfigureFormat(0, false));
    EXPECT_TRUE(r.lameEnc.GetVbrEnabled());
    EXPECT_EQ(r.lameEnc.GetVbrBitrate(), 320);
    EXPECT_EQ(r.lameEnc.GetVbrQuality(), 3);
    EXPECT_EQ(r.config.BytesPerMinute(), 320000 / 8 * 60);
}

TEST(TagWriter, GenreGoesOutByName) {
    EXPECT_EQ(genres::Names().size(), 148);
    EXPECT_EQ(genres::Name(0), "Blues");
    EXPECT_EQ(genres::Name(12), "Other");
    EXPECT_EQ(genres::Name(79), "Hard Rock");
    EXPECT_EQ(genres::Name(80), "Folk");
    EXPECT_EQ(genres::Name(147), "SynthPop");
    EXPECT_EQ(genres::Name(148), "");
    EXPECT_EQ(TagWriter::GenreText("12"), "Other");
    EXPECT_EQ(TagWriter::GenreText("147"), "SynthPop");
    EXPECT_EQ(TagWriter::GenreText("Other"), "Other");
    EXPECT_EQ(TagWriter::GenreText("Jazz"), "Jazz");
    EXPECT_EQ(TagWriter::GenreText("148"), "148");
    EXPECT_EQ(TagWriter::GenreText("-1"), "-1");
    EXPECT_EQ(TagWriter::GenreText(""), "");
}

// Recordings end to end: the program's start, pause and stop over a real sound server (the
// private test server's 440 Hz microphone as the default input), the real encoders and the tag
// component; every file is read back by FFmpeg where it can read it and by our own reader.

#include "decodedaudio.h"
#include "recordingrig.h"
#include "tfm_id3.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <cstdlib>
#include <gtest/gtest.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>

namespace {

struct PulseCase {
    const char* name;
    int format;
    std::vector<std::pair<const char*, int>> keys; // "section/key", value
    int rate, channels;
    bool ffmpegReads; // FFmpeg can decode the file (not RAW, not WAV below 8 bits)
    bool tone;        // the 440 Hz sine fits below the file's Nyquist frequency
    bool tags;        // the format has room for tags
    bool edited;      // the tag editor's values, else the defaults
    int rawCodec = 0; // for reading a RAW file back: codec, bits
    int rawBits = 16;
};

std::ostream& operator<<(std::ostream& os, const PulseCase& c) {
    return os << c.name;
}

const std::vector<PulseCase> kCases = {
    {"mp3_defaults", 0, {}, 44100, 2, true, true, true, false},
    {"mp3_mono_22050_edited_tags",
     0,
     {{"mp3/frequency", 5}, {"mp3/channel", 0}, {"mp3/bitrate", 7}},
     22050,
     1,
     true,
     true,
     true,
     true},
    {"wav_cd_quality", 1, {{"wav/mode", 0}}, 44100, 2, true, true, true, true},
    {"wav_best_suited", 1, {{"wav/mode", 1}}, 800, 1, false, false, true, false},
    {"wav_custom_16000_mono_16",
     1,
     {{"wav/mode", 2}, {"wav/frequency", 4}, {"wav/channel", 0}, {"wav/bit", 5}},
     16000,
     1,
     true,
     true,
     true,
     false},
    {"wav_custom_3_bits", 1, {{"wav/mode", 2}}, 44100, 2, false, true, true, false},
    {"wma_preset_9", 2, {{"wma/format", 9}}, 44100, 2, true, true, true, true},
    {"ogg_quality",
     3,
     {{"ogg/enable quality", 1}, {"ogg/quality", 300}},
     44100,
     2,
     true,
     true,
     true,
     true},
    {"ogg_bitrate",
     3,
     {{"ogg/enable quality", 0}, {"ogg/min bitrate", 7}, {"ogg/max bitrate", 11}},
     44100,
     2,
     true,
     true,
     true,
     false},
    {"raw_pcm", 4, {{"raw/format", 0}, {"raw/f", 5}}, 22050, 2, false, true, false, false, 1, 16},
    {"raw_alaw",
     4,
     {{"raw/format", 1}, {"raw/f", 5}, {"raw/b", 4}},
     22050,
     2,
     false,
     true,
     false,
     false,
     2,
     8},
    {"raw_ulaw",
     4,
     {{"raw/format", 2}, {"raw/f", 5}, {"raw/b", 4}},
     22050,
     2,
     false,
     true,
     false,
     false,
     3,
     8},
    {"raw_gsm",
     4,
     {{"raw/format", 3}, {"raw/f", 1}, {"raw/c", 0}},
     8000,
     1,
     false,
     true,
     false,
     false,
     4,
     16},
    {"raw_ima_adpcm",
     4,
     {{"raw/format", 4}, {"raw/f", 5}},
     22050,
     2,
     false,
     true,
     false,
     false,
     5,
     16},
    {"raw_ms_adpcm",
     4,
     {{"raw/format", 5}, {"raw/f", 5}},
     22050,
     2,
     false,
     true,
     false,
     false,
     6,
     16},
};

// How far a recording may stray from the time between the operations that made it.
constexpr double kSlackS = 0.050;
// How far a file may stray from the time shown: the encoders' frames round it.
constexpr double kFileSlackS = 0.030;

class RecordingPulse : public ::testing::TestWithParam<PulseCase> {
protected:
    void SetUp() override {
        if (std::getenv("PULSE_SERVER") == nullptr)
            GTEST_SKIP() << "PULSE_SERVER is not set: no PulseAudio daemon to record from";
    }
};

QString TagsOf(const QString& path, QString* title, QString* artist, QString* album, QString* genre,
               QString* comment) {
    TagLib::FileRef f(QFile::encodeName(path).constData());
    if (f.isNull() || f.tag() == nullptr)
        return "no tags readable";
    auto q = [](const TagLib::String& s) { return QString::fromStdString(s.to8Bit(true)); };
    *title = q(f.tag()->title());
    *artist = q(f.tag()->artist());
    *album = q(f.tag()->album());
    *genre = q(f.tag()->genre());
    *comment = q(f.tag()->comment());
    return {};
}

} // namespace

TEST_P(RecordingPulse, RecordsAbout3SecondsListedTaggedAndDecodable) {
    const PulseCase& c = GetParam();
    QFile::remove(QDir::homePath() + "/config/tarnoRecord.ini");
    RecordingRig r(MakePulseBackend("tarno-recording-test"));
    r.ini.WriteInteger("output", "format", c.format);
    for (const auto& [key, value] : c.keys) {
        const QString k = key;
        r.ini.WriteInteger(k.section('/', 0, 0), k.section('/', 1), value);
    }
    if (c.edited) {
        Tfm_id3 editor(r.ini, r.state, nullptr);
        editor.show();
        editor.edt_title->setText("Kitchen session");
        editor.edt_arist->setText("Tarno Trio");
        editor.edt_album->setText("Live at home");
        editor.edt_com->setPlainText("take 2");
        editor.cb_g->setCurrentIndex(17); // Rock
        editor.Button1->click();
    }

    // The clock starts once the recording runs: the time a server takes to start a capture
    // stream (about 100 ms for pipewire-pulse, as for parec) is measured against parec by
    // bench_latency; here the recording is held to the time it ran.
    QElapsedTimer wall;
    r.Start();
    wall.start();
    ASSERT_TRUE(r.state.recording) << r.prompts.messages.join("\n").toStdString();
    SpinFor(3000);
    const double seconds = wall.elapsed() / 1000.0;
    r.Stop();
    ASSERT_TRUE(r.prompts.messages.isEmpty()) << r.prompts.messages.join("\n").toStdString();
    // The time the display shows after the stop is the time between the two key presses...
    const double shown = r.record.SamplesToMs(r.state.sample_pos) / 1000.0;
    EXPECT_NEAR(shown, seconds, kSlackS);

    const QString path = r.state.out_file_name;
    ASSERT_EQ(r.list.entries.size(), 1u);
    EXPECT_EQ(r.list.entries[0].path, path);
    EXPECT_EQ(r.list.entries[0].name, QFileInfo(path).fileName());
    EXPECT_EQ(r.list.entries[0].time, FormatElapsed(r.record.SamplesToMs(r.state.sample_pos)));
    EXPECT_EQ(r.display.texts["s_time"], "00:00:00");

    TAudioFile2 reader;
    if (c.format == 4)
        reader.SetRawFormat(c.rawCodec, c.rate, c.channels, c.rawBits);
    const DecodedAudio own = DecodeOwn(path, reader);
    EXPECT_EQ(own.rate, c.rate);
    EXPECT_EQ(own.channels, c.channels);
    // ...and the file holds exactly that.
    // A WMA holds whole codec frames of 2048 samples: the last one is filled up with silence.
    // Its header counts one frame more: the silent frame before the recording, which the
    // decoder spends on priming and never plays.
    const double wmaFrame = c.format == 2 ? 2048.0 / c.rate : 0.0;
    EXPECT_GE(own.durationMs / 1000.0, shown - kFileSlackS);
    EXPECT_LE(own.durationMs / 1000.0, shown + kFileSlackS + 2 * wmaFrame);
    EXPECT_GE(double(own.first.size()) / own.rate, shown - kFileSlackS);
    EXPECT_LE(double(own.first.size()) / own.rate, shown + kFileSlackS + wmaFrame);
    if (c.format == 1) { // PCM: to the frame
        EXPECT_EQ(std::int64_t(own.first.size()), r.state.sample_pos);
    }
    if (c.tone) {
        EXPECT_NEAR(ToneHz(own.first, own.rate), 440, 15);
    }

    if (c.ffmpegReads) {
        const std::optional<ProbeResult> probe = Probe(path);
        ASSERT_TRUE(probe.has_value()) << "ffprobe cannot read " << path.toStdString();
        EXPECT_EQ(probe->rate, c.rate);
        EXPECT_EQ(probe->channels, c.channels);
        // FFmpeg counts an MP3 in whole frames of 1152, the encoder's delay and the last frame's
        // padding included, and a WMA as its header does.
        const double frames = c.format == 0 ? 2.0 * 1152 / c.rate : 2 * wmaFrame;
        EXPECT_GE(probe->durationS, shown - kFileSlackS);
        EXPECT_LE(probe->durationS, shown + kFileSlackS + frames);
        EXPECT_NEAR(ToneHz(DecodeFfmpeg(path), probe->rate), 440, 15);
    }

    if (c.tags) {
        QString title, artist, album, genre, comment;
        ASSERT_EQ(TagsOf(path, &title, &artist, &album, &genre, &comment), "");
        if (c.edited) {
            EXPECT_EQ(title, "Kitchen session");
            EXPECT_EQ(artist, "Tarno Trio");
            EXPECT_EQ(album, "Live at home");
            EXPECT_EQ(genre, "Rock");
            EXPECT_EQ(comment, "take 2");
        } else {
            EXPECT_EQ(title, "unknown title");
            EXPECT_EQ(artist, "unknown artist");
            EXPECT_EQ(album, "unknown album");
            EXPECT_EQ(genre, "Other");
            EXPECT_EQ(comment, "");
        }
    }
    QFile::remove(path);
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, RecordingPulse, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<PulseCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(RecordingPulseFlow, PauseResumeAndTheDescription) {
    if (std::getenv("PULSE_SERVER") == nullptr)
        GTEST_SKIP() << "PULSE_SERVER is not set: no PulseAudio daemon to record from";
    QFile::remove(QDir::homePath() + "/config/tarnoRecord.ini");
    RecordingRig r(MakePulseBackend("tarno-recording-test"));
    r.ini.WriteInteger("output", "format", 1);
    QElapsedTimer wall;
    r.Start();
    wall.start(); // once the capture runs, as above
    ASSERT_TRUE(r.state.recording) << r.prompts.messages.join("\n").toStdString();
    EXPECT_EQ(r.display.texts["s_mono"], "stereo 16B 44100HZ");
    SpinFor(1500);
    const std::int64_t firstSpanMs = wall.elapsed();
    r.Pause();
    const QString atPause = r.display.texts["s_time"];
    const std::int64_t atPauseMs = r.record.SamplesToMs(r.state.sample_pos);
    EXPECT_NEAR(atPauseMs, firstSpanMs, kSlackS * 1000);
    SpinFor(3000);
    EXPECT_EQ(r.display.texts["s_time"], atPause);
    r.Start(); // resumes
    wall.restart();
    EXPECT_FALSE(r.state.record_paused);
    SpinFor(1500);
    const std::int64_t secondSpanMs = wall.elapsed();
    r.Stop();
    const std::int64_t shownMs = r.record.SamplesToMs(r.state.sample_pos);
    // The time goes on from the paused value by the resumed span alone, not by the three paused
    // seconds...
    EXPECT_NEAR(shownMs - atPauseMs, secondSpanMs, kSlackS * 1000);
    ASSERT_EQ(r.list.entries.size(), 1u);
    EXPECT_EQ(r.list.entries[0].time, FormatElapsed(shownMs));
    // ...and the file holds what the time shows, not the paused span.
    const DecodedAudio own = DecodeOwn(r.state.out_file_name);
    EXPECT_EQ(std::int64_t(own.first.size()), r.state.sample_pos);
    EXPECT_NEAR(ToneHz(own.first, own.rate), 440, 15);
    EXPECT_EQ(r.record.LostFrames(), 0);
}

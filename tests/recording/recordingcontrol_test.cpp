// The recording path over the simulated sound server: the order of the start and stop steps, the
// texts the user sees, naming and overwriting, refusals, pause, failures and the watchers.

#include "decodedaudio.h"
#include "recordingrig.h"
#include "simulatedbackend.h"
#include "tagroom.h"

#include <QFile>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>

namespace {

const QDateTime kStart(QDate(2023, 12, 6), QTime(23, 41, 5));

struct SimRig {
    SimRig() : backend(std::make_shared<SimulatedBackend>()), rig(backend) {
        rig.control.SetClock([this] { return now; });
        QDir(rig.outDir).removeRecursively();
        QFile::remove(rig.ini.FileName());
    }
    ~SimRig() {
        QDir(rig.outDir).removeRecursively();
        QFile::remove(rig.ini.FileName());
    }
    QString NameAt(const QDateTime& when, const QString& ext = ".mp3") const {
        return rig.outDir + "/" + RecordingControl::TimeStampName(when) + ext;
    }
    std::shared_ptr<SimulatedBackend> backend;
    RecordingRig rig;
    QDateTime now = kStart;
};

struct Tags {
    QString title, artist, album, genre, comment;
};

Tags ReadTags(const QString& path) {
    TagLib::FileRef f(QFile::encodeName(path).constData());
    Tags t;
    if (f.isNull() || f.tag() == nullptr)
        return t;
    auto q = [](const TagLib::String& s) { return QString::fromStdString(s.to8Bit(true)); };
    t.title = q(f.tag()->title());
    t.artist = q(f.tag()->artist());
    t.album = q(f.tag()->album());
    t.genre = q(f.tag()->genre());
    t.comment = q(f.tag()->comment());
    return t;
}

int IndexOf(const QStringList& log, const QString& entry) {
    return static_cast<int>(log.indexOf(entry));
}

// Lowers the largest file this process may write, so a recording meets a "disk full" of its own.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved_);
        Set(bytes);
    }
    ~FileSizeLimit() { Lift(); }
    void Set(rlim_t bytes) {
        rlimit r = saved_;
        r.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &r);
    }
    void Lift() { setrlimit(RLIMIT_FSIZE, &saved_); }

private:
    rlimit saved_{};
};

} // namespace

TEST(RecordingControl, DateNamedStartShowsRecordsListsTagsAndReturnsToIdle) {
    SimRig t;
    RecordingRig& r = t.rig;

    r.Start();
    ASSERT_TRUE(r.state.recording) << r.prompts.messages.join("\n").toStdString();
    EXPECT_EQ(r.dialog.saves, 1);
    EXPECT_EQ(r.state.out_file_name, r.outDir + "/06-12--23;41;05.mp3");
    EXPECT_EQ(r.display.texts["s_filename"], "06-12--23:41:05.mp3");
    EXPECT_EQ(r.display.texts["s_mono"], "Stereo 128K 44100HZ");
    // The description comes from the format step, before the display is shown with the name.
    EXPECT_LT(IndexOf(r.display.log, "text s_mono=Stereo 128K 44100HZ"),
              IndexOf(r.display.log, "show 1"));
    EXPECT_LT(IndexOf(r.display.log, "show 1"),
              IndexOf(r.display.log, "text s_filename=06-12--23:41:05.mp3"));
    EXPECT_EQ(r.state.block_size, r.record.CalcBufferSize(300));
    EXPECT_EQ(r.inhibitor.held, 1);
    // No "mp3" keys stored: the recording start asks for VBR 128 kbit/s, quality 5.
    EXPECT_TRUE(r.lameEnc.GetVbrEnabled());
    EXPECT_EQ(r.lameEnc.GetVbrBitrate(), 128);
    EXPECT_EQ(r.lameEnc.GetVbrQuality(), 5);
    EXPECT_EQ(r.lameEnc.GetQuality(), 9);

    t.backend->Advance(1600);
    EXPECT_EQ(r.display.texts["s_time"], "00:00:01");
    EXPECT_TRUE(r.display.texts["s_sizeson"].endsWith(" KB"));
    EXPECT_EQ(r.display.texts["s_sizeson"],
              QString::number(QFileInfo(r.state.out_file_name).size() / 1024) + " KB");
    EXPECT_GT(r.display.meterCalls, 0);
    EXPECT_GT(r.display.meterLeft, 1000);

    // A second start while recording is ignored without a word.
    r.Start();
    EXPECT_EQ(r.dialog.saves, 1);
    EXPECT_TRUE(r.prompts.messages.isEmpty());

    r.Stop();
    EXPECT_FALSE(r.state.recording);
    EXPECT_FALSE(r.state.stopping);
    EXPECT_FALSE(r.display.shown);
    EXPECT_EQ(r.display.texts["s_time"], "00:00:00");
    EXPECT_EQ(r.display.log.mid(r.display.log.size() - 2),
              QStringList({"text s_time=00:00:00", "show 0"}));
    EXPECT_EQ(r.inhibitor.held, 0);
    ASSERT_EQ(r.list.entries.size(), 1u);
    EXPECT_EQ(r.list.entries[0].name, "06-12--23;41;05.mp3");
    EXPECT_EQ(r.list.entries[0].time, "00:00:01");
    EXPECT_EQ(r.list.entries[0].path, r.state.out_file_name);
    EXPECT_TRUE(r.prompts.messages.isEmpty()) << r.prompts.messages.join("\n").toStdString();

    const DecodedAudio audio = DecodeOwn(r.state.out_file_name);
    EXPECT_NEAR(audio.durationMs, 1600, 300);
    EXPECT_EQ(audio.rate, 44100);
    EXPECT_EQ(audio.channels, 2);
    EXPECT_NEAR(ToneHz(audio.first, audio.rate), 440, 15);

    const Tags tags = ReadTags(r.state.out_file_name);
    EXPECT_EQ(tags.title, "unknown title");
    EXPECT_EQ(tags.artist, "unknown artist");
    EXPECT_EQ(tags.album, "unknown album");
    EXPECT_EQ(tags.genre, "Other");
    EXPECT_EQ(tags.comment, "");
}

TEST(RecordingControl, StopWhileIdleListsAndTagsNothing) {
    SimRig t;
    RecordingRig& r = t.rig;
    r.display.SetText("s_time", "00:01:05");
    r.Stop();
    EXPECT_EQ(r.list.calls, 0);
    EXPECT_TRUE(r.prompts.messages.isEmpty());
    EXPECT_EQ(r.display.texts["s_time"], "00:00:00");
    EXPECT_FALSE(r.display.shown);
    EXPECT_FALSE(r.state.stopping);
    EXPECT_EQ(r.inhibitor.inhibits, 0);
    EXPECT_FALSE(QDir(r.outDir).exists());
}

TEST(RecordingControl, NamingAndTheOverwriteQuestion) {
    SimRig t;
    RecordingRig& r = t.rig;
    const QString first = t.NameAt(kStart);

    r.Start();
    t.backend->Advance(1000);
    r.Stop();
    ASSERT_TRUE(QFileInfo::exists(first));
    QFile f(first);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();

    // A second start within the same second gets the same name and asks; No keeps the file.
    r.state.sample_base = 77;
    r.prompts.yesNo = {false};
    r.Start();
    ASSERT_EQ(r.prompts.questions.size(), 1);
    EXPECT_EQ(r.prompts.questions[0], "06-12--23;41;05.mp3File has existed. Overwrite?");
    EXPECT_FALSE(r.state.recording);
    EXPECT_EQ(r.state.sample_base, 0);
    EXPECT_EQ(r.inhibitor.inhibits, 1);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    f.close();
    EXPECT_EQ(r.list.entries.size(), 1u);

    // Yes on a read-only file clears the protection and records over it.
    ASSERT_TRUE(QFile::setPermissions(first, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    r.prompts.yesNo = {true};
    r.Start();
    ASSERT_TRUE(r.state.recording) << r.prompts.messages.join("\n").toStdString();
    EXPECT_TRUE(QFile::permissions(first) & QFileDevice::WriteOwner);
    t.backend->Advance(2500);
    r.Stop();
    EXPECT_EQ(r.list.entries.size(), 2u);
    EXPECT_NEAR(DecodeOwn(first).durationMs, 2500, 300);

    // Named by the user: the extension is always appended, the output folder plays no part.
    QDir().mkpath(QDir::homePath() + "/picked");
    r.ini.WriteBool("output", "name", true);
    r.prompts.saveNames = {QDir::homePath() + "/picked/take.mp3"};
    r.Start();
    ASSERT_TRUE(r.state.recording);
    EXPECT_EQ(r.prompts.saveFilters.last(), "MP3 files (*.mp3)|*.mp3|");
    EXPECT_EQ(r.state.out_file_name, QDir::homePath() + "/picked/take.mp3.mp3");
    t.backend->Advance(500);
    r.Stop();
    EXPECT_TRUE(QFileInfo::exists(QDir::homePath() + "/picked/take.mp3.mp3"));

    // A cancelled save dialog changes nothing.
    const QString last = r.state.out_file_name;
    r.Start();
    EXPECT_FALSE(r.state.recording);
    EXPECT_EQ(r.state.out_file_name, last);
    EXPECT_EQ(r.list.entries.size(), 3u);

    // OGG without the "enable quality" key: quality mode for a picked name...
    r.ini.WriteInteger("output", "format", 3);
    r.prompts.saveNames = {QDir::homePath() + "/picked/q"};
    r.Start();
    EXPECT_EQ(r.display.texts["s_mono"], "Stereo 300Q 44100HZ");
    EXPECT_EQ(r.state.out_file_name, QDir::homePath() + "/picked/q.OGG");
    r.Stop();
    // ...and bit-rate mode for a date-and-time name.
    r.ini.WriteBool("output", "name", false);
    t.now = kStart.addSecs(1);
    r.Start();
    EXPECT_EQ(r.display.texts["s_mono"], "Stereo 128K 44100HZ");
    EXPECT_EQ(r.state.out_file_name, t.NameAt(t.now, ".OGG"));
    r.Stop();
    QDir(QDir::homePath() + "/picked").removeRecursively();
}

TEST(RecordingControl, RefusedStartsCreateNothing) {
    SimRig t;
    RecordingRig& r = t.rig;

    // MP3 48000 Hz at 8 kbit/s is refused by the file component; the description stays shown.
    r.ini.WriteInteger("mp3", "frequency", 9);
    r.ini.WriteInteger("mp3", "bitrate", 0);
    r.Start();
    EXPECT_EQ(r.prompts.messages, QStringList{"This MP3 format is not supported."});
    EXPECT_EQ(r.display.texts["s_mono"], "Stereo 8K 48000HZ");
    EXPECT_FALSE(r.state.recording);
    EXPECT_FALSE(QFileInfo::exists(t.NameAt(kStart)));

    // OGG in bit-rate mode with a combination libvorbis cannot make.
    r.prompts.messages.clear();
    r.ini.WriteInteger("output", "format", 3);
    r.ini.WriteBool("ogg", "enable quality", false);
    r.ini.WriteInteger("ogg", "frequency", 9);
    r.ini.WriteInteger("ogg", "min bitrate", 0);
    r.ini.WriteInteger("ogg", "max bitrate", 0);
    ASSERT_FALSE(r.fileWrite.IsOggFormatSupported(48000, 2, 8, 8, 8));
    r.display.texts["s_mono"] = "before";
    r.Start();
    EXPECT_EQ(r.prompts.messages, QStringList{"This OGG format is not supported."});
    EXPECT_EQ(r.display.texts["s_mono"], "before");
    EXPECT_FALSE(r.state.recording);
    EXPECT_FALSE(QFileInfo::exists(t.NameAt(kStart, ".OGG")));

    // Playing: refused after the dialog's choices were saved.
    r.prompts.messages.clear();
    r.ini.WriteInteger("output", "format", 1);
    r.state.playing = true;
    const int saves = r.dialog.saves;
    r.Start();
    EXPECT_EQ(r.prompts.messages, QStringList{"Please stop playing first."});
    EXPECT_EQ(r.dialog.saves, saves + 1);
    EXPECT_FALSE(r.state.recording);
    EXPECT_FALSE(QFileInfo::exists(t.NameAt(kStart, ".wav")));
    EXPECT_EQ(r.inhibitor.inhibits, 0);

    // An output folder two levels deep is not created: the file cannot be made, nothing listed.
    r.prompts.messages.clear();
    r.state.playing = false;
    r.ini.WriteString("output", "dir", QDir::homePath() + "/no/such");
    r.Start();
    EXPECT_FALSE(r.state.recording);
    EXPECT_EQ(r.prompts.messages.size(), 1);
    EXPECT_TRUE(r.list.entries.empty());
    EXPECT_EQ(r.inhibitor.held, 0);
}

TEST(RecordingControl, PauseAndResumeKeepTheTimeAndOnlyTheRecordedSpans) {
    SimRig t;
    RecordingRig& r = t.rig;
    r.ini.WriteInteger("output", "format", 1); // WAV, CD quality

    r.Start();
    ASSERT_TRUE(r.state.recording);
    t.backend->Advance(1200);
    EXPECT_EQ(r.display.texts["s_time"], "00:00:01");
    r.Pause();
    EXPECT_TRUE(r.state.record_paused);
    t.backend->Advance(3000);
    EXPECT_EQ(r.display.texts["s_time"], "00:00:01");

    // Resuming through the start: no save, no new name, no question.
    r.Start();
    EXPECT_FALSE(r.state.record_paused);
    EXPECT_EQ(r.dialog.saves, 1);
    EXPECT_TRUE(r.prompts.questions.isEmpty());
    t.backend->Advance(1000);
    EXPECT_EQ(r.display.texts["s_time"], "00:00:02");

    r.Pause();
    t.backend->Advance(1000);
    r.Pause(); // resume by the toggle
    t.backend->Advance(800);
    EXPECT_EQ(r.display.texts["s_time"], "00:00:03");
    r.Pause();
    r.Stop(); // stopped while paused: listed like any other
    ASSERT_EQ(r.list.entries.size(), 1u);
    EXPECT_EQ(r.list.entries[0].time, "00:00:03");
    EXPECT_FALSE(r.state.record_paused);
    EXPECT_EQ(r.inhibitor.held, 0);

    const DecodedAudio audio = DecodeOwn(r.state.out_file_name);
    EXPECT_NEAR(audio.durationMs, 3000, 300);
}

// A paused recording must not look stalled: its time blinks until it resumes or stops.
TEST(RecordingControl, APausedRecordingBlinksItsTimeUntilItResumesOrStops) {
    SimRig t;
    RecordingRig& r = t.rig;
    r.ini.WriteInteger("output", "format", 1);
    const auto blinks = [&r] { return r.display.log.filter("visible s_time=").size(); };

    r.Start();
    t.backend->Advance(600);
    SpinFor(1200);
    EXPECT_EQ(blinks(), 0) << "a running recording shows its time steadily";

    r.Pause();
    SpinFor(1200);
    EXPECT_GE(blinks(), 2) << "hidden and shown again within a second and a bit";
    r.Start(); // resumes
    EXPECT_FALSE(r.display.hidden.contains("s_time"));
    const int atResume = blinks();
    SpinFor(1200);
    EXPECT_EQ(blinks(), atResume) << "no blinking once resumed";

    r.Pause();
    SpinFor(600);
    EXPECT_TRUE(r.display.hidden.contains("s_time")) << "half a second into the pause";
    r.Stop();
    EXPECT_FALSE(r.display.hidden.contains("s_time")) << "a stop while hidden shows it again";
    const int atStop = blinks();
    SpinFor(1200);
    EXPECT_EQ(blinks(), atStop);
}

// The meters keep a falling peak moving by themselves only once they know no values follow:
// told after the capture's last values at a pause and at a stop, and not while values come.
TEST(RecordingControl, TheMetersLearnThatValuesStopAfterTheLastOneAtPauseAndStop) {
    SimRig t;
    RecordingRig& r = t.rig;
    r.ini.WriteInteger("output", "format", 1);

    r.Start();
    t.backend->Advance(1230);
    EXPECT_GT(r.display.meterCalls, 0);
    EXPECT_EQ(r.display.meterStops, 0);

    r.Pause();
    EXPECT_EQ(r.display.meterStops, 1);
    EXPECT_EQ(r.display.meterCallsAtStop, r.display.meterCalls) << "no value after the stop";
    t.backend->Advance(1000);
    EXPECT_EQ(r.display.meterCallsAtStop, r.display.meterCalls);

    r.Pause(); // resume: values flow again, and no stop is told while they do
    t.backend->Advance(730);
    EXPECT_GT(r.display.meterCalls, r.display.meterCallsAtStop);
    EXPECT_EQ(r.display.meterStops, 1);

    r.Stop();
    EXPECT_EQ(r.display.meterStops, 2);
    EXPECT_EQ(r.display.meterCallsAtStop, r.display.meterCalls);
}

TEST(RecordingControl, FailingWriteStopsListsAndKeepsTheFileUpToTheFailure) {
    SimRig t;
    RecordingRig& r = t.rig;
    r.ini.WriteInteger("output", "format", 1); // WAV 44100 Hz stereo 16 bits: 176400 bytes/s
    QDir().mkpath(r.outDir);
    {
        FileSizeLimit limit(400000);
        // The user frees space while reading the message, so the stop can tag the file.
        r.prompts.onInformation = [&](const QString&) { limit.Lift(); };
        r.Start();
        ASSERT_TRUE(r.state.recording);
        t.backend->Advance(4000);
    }
    r.prompts.onInformation = nullptr;
    ASSERT_GE(r.prompts.messages.size(), 1);
    EXPECT_FALSE(r.state.recording);
    EXPECT_EQ(r.display.texts["s_time"], "00:00:00");
    ASSERT_EQ(r.list.entries.size(), 1u);
    const DecodedAudio audio = DecodeOwn(r.state.out_file_name);
    EXPECT_NEAR(audio.durationMs, 1000.0 * (400000 - 44) / 176400, 300);
    EXPECT_NEAR(ToneHz(audio.first, audio.rate), 440, 15);
    EXPECT_EQ(ReadTags(r.state.out_file_name).title, "unknown title");

    // The program goes on: the next recording works.
    r.prompts.messages.clear();
    t.now = kStart.addSecs(10);
    r.Start();
    ASSERT_TRUE(r.state.recording);
    t.backend->Advance(1000);
    r.Stop();
    EXPECT_TRUE(r.prompts.messages.isEmpty()) << r.prompts.messages.join("\n").toStdString();
    EXPECT_EQ(r.list.entries.size(), 2u);
}

TEST(RecordingControl, DiskFullForGoodStillEndsCleanly) {
    SimRig t;
    RecordingRig& r = t.rig;
    r.ini.WriteInteger("output", "format", 1);
    QDir().mkpath(r.outDir);
    {
        FileSizeLimit limit(300000);
        r.Start();
        ASSERT_TRUE(r.state.recording);
        t.backend->Advance(3000);
    }
    EXPECT_FALSE(r.state.recording);
    EXPECT_FALSE(r.state.stopping);
    EXPECT_FALSE(r.display.shown);
    EXPECT_GE(r.prompts.messages.size(), 1);
    for (const QString& m : r.prompts.messages)
        EXPECT_TRUE(m.contains(r.state.out_file_name)) << m.toStdString();
    ASSERT_EQ(r.list.entries.size(), 1u);
    const DecodedAudio audio = DecodeOwn(r.state.out_file_name);
    EXPECT_NEAR(audio.durationMs, 1000.0 * (300000 - 44) / 176400, 300);
}

TEST(RecordingControl, StopErrorsStillReturnToIdleAndAreRethrown) {
    SimRig t;
    RecordingRig& r = t.rig;
    r.Start();
    t.backend->Advance(500);
    // The file vanishes before the tags are written: the tag component fails.
    QFile::remove(r.state.out_file_name);
    r.fileWrite.CloseFile();
    EXPECT_THROW(r.Unguarded([&] { r.control.StopRecording(); }), std::exception);
    EXPECT_FALSE(r.state.recording);
    EXPECT_FALSE(r.state.stopping);
    EXPECT_EQ(r.display.texts["s_time"], "00:00:00");
    EXPECT_FALSE(r.display.shown);
    EXPECT_EQ(r.list.entries.size(), 1u);
    EXPECT_EQ(r.inhibitor.held, 0);
}

TEST(RecordingControl, ElapsedTimeStaysRightPastTwoBillionFrames) {
    SimRig t;
    RecordingRig& r = t.rig;
    r.Start();
    t.backend->Advance(200);
    // As if 3e9 frames (18:53:47 at 44.1 kHz) had been recorded before a pause.
    r.state.sample_base = 3'000'000'000LL;
    t.backend->Advance(200);
    EXPECT_TRUE(r.display.texts["s_time"].startsWith("18:53:4"))
        << r.display.texts["s_time"].toStdString();
    r.state.sample_base = 44100LL * 3600 * 100;
    t.backend->Advance(100);
    EXPECT_EQ(r.display.texts["s_time"], "100:00:00");
    r.Stop();
}

TEST(RecordingControl, LostAudioIsReportedAfterTheStop) {
    SimRig t;
    RecordingRig& r = t.rig;
    t.backend->SetBufferMs(300);
    r.Start();
    ASSERT_TRUE(r.state.recording);
    t.backend->Advance(200);
    t.backend->Elapse(2000); // the UI thread is busy; the buffer overruns
    t.backend->Deliver();
    t.backend->Advance(200);
    EXPECT_TRUE(r.prompts.messages.isEmpty());
    r.Stop();
    ASSERT_EQ(r.prompts.messages.size(), 1);
    EXPECT_TRUE(r.prompts.messages[0].contains("of audio could not be recorded into "
                                               "06-12--23;41;05.mp3"))
        << r.prompts.messages[0].toStdString();
}

namespace {
class ScriptedFreeSpace : public FreeSpaceSource {
public:
    std::int64_t FreeBytes(const QString& folder) const override {
        asked = folder;
        return bytes;
    }
    std::int64_t bytes = -1;
    mutable QString asked;
};
} // namespace

TEST(RecordingControl, DiskWatchWarnsOncePerRecordingBelowTenMinutes) {
    SimRig t;
    RecordingRig& r = t.rig;
    ScriptedFreeSpace space;
    r.control.SetFreeSpaceSource(space);
    r.control.SetDiskCheckInterval(20);
    r.ini.WriteInteger("output", "format", 1);
    const std::int64_t perMinute = 44100LL * 4 * 60; // CD-quality WAV

    space.bytes = perMinute * 5 + 100;
    r.Start();
    ASSERT_TRUE(r.state.recording);
    ASSERT_EQ(r.prompts.messages.size(), 1);
    EXPECT_EQ(r.prompts.messages[0],
              "Only about 5 minutes of recording fit on the disk of " + r.outDir + ".");
    EXPECT_EQ(space.asked, r.outDir);
    SpinFor(120);
    EXPECT_EQ(r.prompts.messages.size(), 1);
    t.backend->Advance(300);
    r.Stop();

    // Plenty at the start, then the disk fills: one warning from the periodic check.
    r.prompts.messages.clear();
    t.now = kStart.addSecs(5);
    space.bytes = perMinute * 60;
    r.Start();
    SpinFor(100);
    EXPECT_TRUE(r.prompts.messages.isEmpty());
    space.bytes = perMinute * 10 - 1;
    SpinFor(100);
    ASSERT_EQ(r.prompts.messages.size(), 1);
    EXPECT_TRUE(r.prompts.messages[0].startsWith("Only about 9 minutes"));
    space.bytes = 1000;
    SpinFor(100);
    EXPECT_EQ(r.prompts.messages.size(), 1);
    t.backend->Advance(300);
    r.Stop();

    // Idle: nothing is watched.
    SpinFor(60);
    EXPECT_EQ(r.prompts.messages.size(), 1) << r.prompts.messages.join("\n").toStdString();
}

TEST(RecordingControl, RawCodecIsTheSameForBothKindsOfNames) {
    SimRig t;
    RecordingRig& r = t.rig;
    // RAW A-law, 8000 Hz mono: one byte per sample, whichever way the file is named.
    r.ini.WriteInteger("output", "format", 4);
    r.ini.WriteInteger("raw", "format", 1);
    r.ini.WriteInteger("raw", "f", 1);
    r.ini.WriteInteger("raw", "c", 0);
    r.ini.WriteInteger("raw", "b", 4);
    r.Start();
    ASSERT_TRUE(r.state.recording);
    EXPECT_EQ(r.display.texts["s_mono"], "Mono 8B 8000HZ");
    t.backend->Advance(2000);
    r.Stop();
    const qint64 dated = QFileInfo(r.state.out_file_name).size();

    QDir().mkpath(r.outDir);
    r.ini.WriteBool("output", "name", true);
    r.prompts.saveNames = {r.outDir + "/picked"};
    r.Start();
    ASSERT_TRUE(r.state.recording);
    t.backend->Advance(2000);
    r.Stop();
    const qint64 picked = QFileInfo(r.outDir + "/picked.raw").size();
    EXPECT_NEAR(dated, 16000, 2000);
    EXPECT_NEAR(picked, 16000, 2000);

    TAudioFile2 reader;
    reader.SetRawFormat(2, 8000, 1, 8);
    const DecodedAudio audio = DecodeOwn(r.outDir + "/picked.raw", reader);
    EXPECT_NEAR(ToneHz(audio.first, 8000), 440, 15);
}

TEST(RecordingControl, TagsComeFromTheStoreAtTheStop) {
    SimRig t;
    RecordingRig& r = t.rig;
    r.Start();
    t.backend->Advance(500);
    // Edited while recording: this recording receives the new values, the genre by name.
    r.ini.WriteString("info", "title", "Morning take");
    r.ini.WriteString("info", "arist", "The Band");
    r.ini.WriteString("info", "album", "Demos");
    r.ini.WriteInteger("info", "genre", 8);
    r.ini.WriteString("info", "comment", "first line\nsecond line");
    r.Stop();
    const Tags tags = ReadTags(r.state.out_file_name);
    EXPECT_EQ(tags.title, "Morning take");
    EXPECT_EQ(tags.artist, "The Band");
    EXPECT_EQ(tags.album, "Demos");
    EXPECT_EQ(tags.genre, "Jazz");
    EXPECT_EQ(tags.comment, "first line\nsecond line");
    // They went into the room the recording reserved at its front: the tag kept its size, so
    // no byte of audio moved at the stop.
    QFile f(r.state.out_file_name);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray head = f.read(10);
    ASSERT_EQ(head.left(3), "ID3");
    const auto b = [&](int i) { return static_cast<std::size_t>(head[i] & 0x7f); };
    EXPECT_EQ(10 + (b(6) << 21 | b(7) << 14 | b(8) << 7 | b(9)), Id3RoomBytes());
}

TEST(RecordingControl, ACaptureThatCannotStartLeavesNoFileAndSaysWhy) {
    SimRig t;
    RecordingRig& r = t.rig;
    t.backend->SetServerAvailable(false);
    r.Start();
    EXPECT_FALSE(r.state.recording) << "stopped at once";
    EXPECT_FALSE(QFileInfo::exists(r.state.out_file_name)) << "nothing was recorded, no file";
    EXPECT_FALSE(r.fileWrite.IsOpen());
    EXPECT_EQ(r.list.calls, 0) << "nothing to list";
    EXPECT_EQ(r.display.GetText("s_time"), "00:00:00");
    ASSERT_FALSE(r.prompts.messages.isEmpty());
    EXPECT_TRUE(r.prompts.messages.back().startsWith("The recording could not start: "))
        << r.prompts.messages.join("|").toStdString();
    EXPECT_GT(r.prompts.messages.back().size(), QString("The recording could not start: ").size());
}

TEST(RecordingControl, AnUnpluggedInputFallsBackToTheDefaultWithAMessageAndIsStored) {
    SimRig t;
    RecordingRig& r = t.rig;
    AudioSource usb;
    usb.name = "usb_mic";
    usb.description = "USB Microphone";
    t.backend->AddSource(usb);
    ASSERT_EQ(r.record.GetMaxDeviceIndex(), 2);
    r.record.SelectDevice(1);
    r.ini.WriteInteger("rd", "rd", 1);
    t.backend->RemoveSource("usb_mic");
    r.Start();
    EXPECT_TRUE(r.state.recording) << "the recording goes on from the default input";
    ASSERT_FALSE(r.prompts.messages.isEmpty());
    EXPECT_EQ(r.prompts.messages.back(), "The input \"USB Microphone\" is no longer connected, so "
                                         "this recording comes from \"Default input\".");
    EXPECT_EQ(r.ini.ReadInteger("rd", "rd", -1), 1) << "\"Default input\" is now the last entry";
    t.backend->Advance(600);
    r.Stop();
    EXPECT_TRUE(QFileInfo(r.state.out_file_name).size() > 0);
}

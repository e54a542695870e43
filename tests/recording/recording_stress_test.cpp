// Recordings made and stopped hundreds of times against a real sound server, in every output
// format in turn: start and stop, and start, pause, resume and stop, at random moments. Every
// file must open and decode to the time the program showed for it.

#include "decodedaudio.h"
#include "recordingrig.h"

#include <QDateTime>
#include <QFile>
#include <cstdlib>
#include <gtest/gtest.h>
#include <random>

namespace {

// Cycles per test: TARNO_STRESS_CYCLES, 200 unless set.
int Cycles() {
    const char* v = std::getenv("TARNO_STRESS_CYCLES");
    return v != nullptr && std::atoi(v) > 0 ? std::atoi(v) : 200;
}

// The formats in turn: MP3, WAV, WMA, OGG and RAW (16-bit PCM, 22050 Hz stereo).
void ChooseFormat(RecordingRig& r, int cycle) {
    const int format = cycle % 5;
    r.ini.WriteInteger("output", "format", format);
    if (format == 4) {
        r.ini.WriteInteger("raw", "format", 0);
        r.ini.WriteInteger("raw", "f", 5);
    }
}

// How far a file may stray from the time shown for it: the last block a stop delivers after the
// last display update (up to one 50 ms fragment), and for the compressed formats their frames and
// the encoder's delay (MP3 1152 frames twice, WMA and Vorbis blocks of 2048).
std::int64_t SlackMs(int cycle) {
    const int format = cycle % 5;
    return format == 1 || format == 4 ? 60 : 110;
}

class RecordingStress : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("PULSE_SERVER") == nullptr)
            GTEST_SKIP() << "PULSE_SERVER is not set: no sound server to record from";
        QFile::remove(QDir::homePath() + "/config/tarnoRecord.ini");
        rig = std::make_unique<RecordingRig>(MakePulseBackend("tarno-recording-stress"));
        // A new name for every recording: one second later each time.
        rig->control.SetClock([this] { return start.addSecs(++names); });
    }

    // Checks the file just stopped and removes it; false when it failed.
    bool CheckAndRemove(int cycle) {
        RecordingRig& r = *rig;
        const QString path = r.state.out_file_name;
        const std::int64_t shownMs = r.record.SamplesToMs(r.state.sample_pos);
        TAudioFile2 reader;
        if (cycle % 5 == 4)
            reader.SetRawFormat(1, 22050, 2, 16);
        DecodedAudio own;
        try {
            own = DecodeOwn(path, reader);
        } catch (const std::exception& e) {
            ADD_FAILURE() << "shown " << shownMs << " ms, but " << e.what();
            QFile::remove(path);
            return false;
        }
        bool ok = true;
        const std::int64_t decodedMs =
            own.rate > 0 ? std::int64_t(own.first.size()) * 1000 / own.rate : -1;
        std::int64_t slack = SlackMs(cycle);
        // An MP3 stopped within its first tenth of a second is filled up to seven frames with
        // silence and keeps the encoder's delay, so that every decoder opens it.
        if (cycle % 5 == 0 && shownMs < 100)
            slack = 200;
        if (std::abs(decodedMs - shownMs) > slack || std::abs(own.durationMs - shownMs) > slack) {
            ADD_FAILURE() << path.toStdString() << ": decodes to " << decodedMs
                          << " ms, its header says " << own.durationMs << " ms, shown " << shownMs
                          << " ms";
            ok = false;
        }
        // FFmpeg opens four files in twenty, one of each format it reads (not RAW).
        if (cycle % 20 < 4) {
            const std::optional<ProbeResult> probe = Probe(path);
            if (!probe || std::abs(std::int64_t(probe->durationS * 1000) - shownMs) > slack) {
                ADD_FAILURE() << "ffprobe: " << path.toStdString() << " "
                              << (probe ? std::to_string(probe->durationS) : "unreadable")
                              << " s, shown " << shownMs << " ms";
                ok = false;
            }
        }
        QFile::remove(path);
        return ok;
    }

    std::unique_ptr<RecordingRig> rig;
    QDateTime start = QDateTime(QDate(2026, 4, 15), QTime(9, 0));
    int names = 0;
};

TEST_F(RecordingStress, StartedAndStoppedAtRandomMoments) {
    RecordingRig& r = *rig;
    std::mt19937 random(20260416); // fixed, so a failing cycle can be run again
    std::uniform_int_distribution<int> wait(20, 200);
    int failures = 0;
    for (int i = 0; i < Cycles() && failures < 5; ++i) {
        SCOPED_TRACE("cycle " + std::to_string(i));
        ChooseFormat(r, i);
        r.Start();
        ASSERT_TRUE(r.state.recording) << r.prompts.messages.join("\n").toStdString();
        SpinFor(wait(random));
        r.Stop();
        ASSERT_FALSE(r.state.recording);
        if (!CheckAndRemove(i))
            ++failures;
    }
    EXPECT_TRUE(r.prompts.messages.isEmpty()) << r.prompts.messages.join("\n").toStdString();
    EXPECT_EQ(r.record.LostFrames(), 0);
}

TEST_F(RecordingStress, PausedResumedAndStoppedAtRandomMoments) {
    RecordingRig& r = *rig;
    std::mt19937 random(20260417);
    std::uniform_int_distribution<int> wait(20, 120);
    int failures = 0;
    for (int i = 0; i < Cycles() && failures < 5; ++i) {
        SCOPED_TRACE("cycle " + std::to_string(i));
        ChooseFormat(r, i);
        r.Start();
        ASSERT_TRUE(r.state.recording) << r.prompts.messages.join("\n").toStdString();
        SpinFor(wait(random));
        r.Pause();
        ASSERT_TRUE(r.state.record_paused);
        SpinFor(wait(random));
        r.Start(); // resumes
        ASSERT_FALSE(r.state.record_paused);
        SpinFor(wait(random));
        r.Stop();
        ASSERT_FALSE(r.state.recording);
        if (!CheckAndRemove(i))
            ++failures;
    }
    EXPECT_TRUE(r.prompts.messages.isEmpty()) << r.prompts.messages.join("\n").toStdString();
    EXPECT_EQ(r.record.LostFrames(), 0);
}

} // namespace

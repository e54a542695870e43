// The player played over and over against a real sound server: to the end and at once again (the
// sequence that once crashed), and stopped at random moments. Every cycle must end as it should,
// hear the whole file or stop where asked, and leave nothing behind for the next.

#include "appstate.h"
#include "audiobackend.h"
#include "fakeports.h"
#include "livetools.h"
#include "player.h"
#include "playerwiring.h"
#include "taudiofile2.h"
#include "taudioplayer2.h"
#include "testaudio.h"
#include "tinifile.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdlib>
#include <gtest/gtest.h>
#include <random>

namespace {

void Spin(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Cycles per test: TARNO_STRESS_CYCLES, 200 unless set (a sanitizer build may ask for fewer).
int Cycles() {
    const char* v = std::getenv("TARNO_STRESS_CYCLES");
    return v != nullptr && std::atoi(v) > 0 ? std::atoi(v) : 200;
}

class PlayerStress : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("PULSE_SERVER") == nullptr)
            GTEST_SKIP() << "PULSE_SERVER is not set: no sound server to play into";
        sink = std::make_unique<PrivateSink>("stress");
        ASSERT_TRUE(sink->Ok()) << "could not load a null sink into the server";
        // A reader on the monitor keeps the sink's latency short, as a real device's is: an idle
        // null sink would hold every new stream back by up to its two-second default.
        monitor = std::make_unique<BackgroundTool>(
            std::vector<std::string>{"parec", "--device=" + sink->Monitor().toStdString(), "--raw",
                                     "--latency-msec=20", "/dev/null"});
        backend = MakePulseBackend("tarno-player-stress");
        audio = std::make_unique<TAudioPlayer2>(backend);
        ini = std::make_unique<TIniFile>(dir.filePath("tarnoRecord.ini"));
        player = std::make_unique<Player>(state, display, list, prompts, file, *audio, *ini);
        QObject::connect(audio.get(), &TAudioPlayer2::OnEndPlay, [this] { ++ends; });
        ConnectPlayerEvents(*audio, *player);
    }
    void TearDown() override {
        if (player && state.playing)
            player->StopPlaying();
        player.reset();
        audio.reset();
        backend.reset();
        monitor.reset();
        sink.reset();
    }

    // Lets events run until playback has ended or `limitMs` passed; true when it ended.
    bool SpinUntilEnded(int limitMs) {
        QElapsedTimer t;
        t.start();
        while (state.playing && t.elapsed() < limitMs)
            Spin(10);
        return !state.playing;
    }

    QTemporaryDir dir;
    std::unique_ptr<PrivateSink> sink;
    std::unique_ptr<BackgroundTool> monitor;
    std::shared_ptr<AudioBackend> backend;
    std::unique_ptr<TAudioPlayer2> audio;
    TAudioFile2 file;
    std::unique_ptr<TIniFile> ini;
    AppState state;
    FakeDisplay display;
    FakeList list;
    FakePrompts prompts;
    std::unique_ptr<Player> player;
    int ends = 0;
};

TEST_F(PlayerStress, PlayedToTheEndAndAtOnceAgainEveryTimeToTheLastFrame) {
    // Two files of different formats and lengths, alternately: a restart also changes format.
    const QString wav = dir.filePath("short.wav"), ogg = dir.filePath("short.ogg");
    WriteToneFile(wav, TestFormat::Wav, 0.25, 1000, 44100, 2);
    WriteToneFile(ogg, TestFormat::Ogg, 0.15, 500, 22050, 1);
    const int lengthMs[] = {250, 150};
    const int cycles = Cycles();
    int failures = 0;
    for (int i = 0; i < cycles && failures < 3; ++i) {
        SCOPED_TRACE("cycle " + std::to_string(i));
        list.paths = {i % 2 == 0 ? wav : ogg};
        list.selected.clear();
        const int endsBefore = ends;
        QElapsedTimer took;
        took.start();
        player->PlaySelected();
        ASSERT_TRUE(state.playing);
        if (!SpinUntilEnded(5000)) {
            ADD_FAILURE() << "playback did not end";
            ++failures;
            player->StopPlaying();
            continue;
        }
        EXPECT_EQ(ends, endsBefore + 1);
        // The end comes once every frame has been played, not while the last block still plays.
        if (took.elapsed() < lengthMs[i % 2] || took.elapsed() > lengthMs[i % 2] + 2000) {
            ADD_FAILURE() << "a file of " << lengthMs[i % 2] << " ms ended after " << took.elapsed()
                          << " ms";
            ++failures;
        }
    }
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join("\n").toStdString();
}

TEST_F(PlayerStress, StoppedAtRandomMomentsStopsEveryTime) {
    const QString path = dir.filePath("one-second.wav");
    WriteToneFile(path, TestFormat::Wav, 1.0, 1000, 44100, 2);
    list.paths = {path};
    std::mt19937 random(20260414); // fixed, so a failing cycle can be run again
    std::uniform_int_distribution<int> wait(0, 400);
    const int cycles = Cycles();
    for (int i = 0; i < cycles; ++i) {
        SCOPED_TRACE("cycle " + std::to_string(i));
        player->PlaySelected();
        ASSERT_TRUE(state.playing);
        const int ms = wait(random);
        if (ms > 0)
            Spin(ms);
        ASSERT_TRUE(state.playing) << "a one-second file ended after " << ms << " ms";
        player->StopPlaying();
        EXPECT_FALSE(state.playing);
        EXPECT_EQ(display.texts["s_time"], "00:00:00");
        // A stopped playback raises nothing afterwards: events already on their way are ignored.
        const int endsBefore = ends;
        Spin(i % 10 == 0 ? 50 : 0);
        EXPECT_EQ(ends, endsBefore);
    }
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join("\n").toStdString();
}

} // namespace

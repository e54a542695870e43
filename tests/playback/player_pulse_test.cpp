// The player against a real PulseAudio daemon: files the program made play into a null sink,
// and what arrives on the sink's monitor is the file's tone, also after a seek.

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

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

// Lets the event loop run, so the player's events arrive.
void Spin(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Lets the event loop run until `done` holds or `limitMs` passed; true when it holds.
template <typename Pred> bool SpinUntil(Pred done, int limitMs) {
    for (int waited = 0; waited < limitMs; waited += 50) {
        if (done())
            return true;
        Spin(50);
    }
    return done();
}

// Records a sink's monitor as mono 16-bit 44100 Hz while it runs.
class MonitorRecorder {
public:
    explicit MonitorRecorder(const QString& monitor) {
        process_.start("parecord", {"--device=" + monitor, "--raw", "--format=s16le",
                                    "--rate=44100", "--channels=1", "--latency-msec=20"});
        process_.waitForStarted(5000);
    }
    ~MonitorRecorder() { Stop(); }
    void Stop() {
        if (process_.state() != QProcess::NotRunning) {
            Collect();
            process_.terminate();
            process_.waitForFinished(5000);
        }
        Collect();
    }
    void Collect() {
        const QByteArray bytes = process_.readAllStandardOutput();
        for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
            const auto s =
                static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[i]) |
                                          (static_cast<std::uint8_t>(bytes[i + 1]) << 8));
            samples_.push_back(s / 32768.0);
        }
    }
    // The last `ms` milliseconds recorded so far.
    std::vector<double> Last(int ms) {
        Collect();
        const std::size_t n = static_cast<std::size_t>(ms) * 44100 / 1000;
        if (samples_.size() <= n)
            return samples_;
        return {samples_.end() - static_cast<std::ptrdiff_t>(n), samples_.end()};
    }
    double Rms(const std::vector<double>& x) {
        double e = 0;
        for (double v : x)
            e += v * v;
        return x.empty() ? 0 : std::sqrt(e / x.size());
    }

private:
    QProcess process_;
    std::vector<double> samples_;
};

class PlayerPulseTest : public ::testing::TestWithParam<TestFormat> {
protected:
    void SetUp() override {
        if (std::getenv("PULSE_SERVER") == nullptr)
            GTEST_SKIP() << "PULSE_SERVER is not set: no PulseAudio daemon to play into";
        sink = std::make_unique<PrivateSink>("player");
        ASSERT_TRUE(sink->Ok()) << "could not load a null sink into the daemon";
        backend = MakePulseBackend("tarno-player-test");
        AudioPlayer21 = std::make_unique<TAudioPlayer2>(backend);
        ini = std::make_unique<TIniFile>(dir.filePath("tarnoRecord.ini"));
        player = std::make_unique<Player>(state, display, list, prompts, AudioFilepaly,
                                          *AudioPlayer21, *ini);
        ConnectPlayerEvents(*AudioPlayer21, *player);
    }
    void TearDown() override {
        if (player && state.playing)
            player->StopPlaying();
        // The stream goes before its sink does.
        player.reset();
        AudioPlayer21.reset();
        backend.reset();
        sink.reset();
    }

    QString Extension() const { return GetParam() == TestFormat::Mp3 ? ".mp3" : ".ogg"; }

    QTemporaryDir dir;
    std::unique_ptr<PrivateSink> sink;
    std::shared_ptr<AudioBackend> backend;
    std::unique_ptr<TAudioPlayer2> AudioPlayer21;
    TAudioFile2 AudioFilepaly;
    std::unique_ptr<TIniFile> ini;
    AppState state;
    FakeDisplay display;
    FakeList list;
    FakePrompts prompts;
    std::unique_ptr<Player> player;
};

TEST_P(PlayerPulseTest, ToneArrivesOnTheMonitorAndSeekToTheMiddleContinuesThere) {
    // 1 kHz for the first five seconds, 500 Hz for the last five.
    const QString path = dir.filePath("tone" + Extension());
    WriteToneFile(path, GetParam(), 10.0, 1000, 44100, 2, 500);
    list.paths = {path};

    MonitorRecorder monitor(sink->Monitor());
    player->PlaySelected();
    ASSERT_TRUE(state.playing);
    // The position comes from the server's count of played frames; allow for a slow start.
    ASSERT_TRUE(SpinUntil([&] { return state.sample_pos >= 44100 * 13 / 10; }, 8000))
        << "the position moves";
    Spin(100);
    const std::vector<double> first = monitor.Last(500);
    EXPECT_GT(monitor.Rms(first), 0.05) << "sound arrives on the monitor";
    EXPECT_GT(ToneShare(first, 44100, 1000), 0.5);
    EXPECT_LT(ToneShare(first, 44100, 500), 0.1);
    EXPECT_EQ(display.texts["s_time"], "00:00:01");

    state.bar_follows = false;
    display.positions["play_bar"] = 5010; // just past the middle, inside the second tone
    player->SeekFromBar();
    const std::int64_t target = state.sample_base;
    EXPECT_NEAR(static_cast<double>(target) / 44100, 5.10, 0.01);
    ASSERT_TRUE(SpinUntil([&] { return state.sample_pos >= target + 44100 * 13 / 10; }, 8000));
    Spin(100);
    const std::vector<double> after = monitor.Last(500);
    EXPECT_GT(ToneShare(after, 44100, 500), 0.5) << "the audio continues from the middle";
    EXPECT_LT(ToneShare(after, 44100, 1000), 0.1);
    EXPECT_EQ(display.texts["s_time"], "00:00:06");
    EXPECT_TRUE(state.playing);

    player->StopPlaying();
    EXPECT_FALSE(state.playing);
    EXPECT_EQ(display.texts["s_time"], "00:00:00");
}

INSTANTIATE_TEST_SUITE_P(MadeByTheProgram, PlayerPulseTest,
                         ::testing::Values(TestFormat::Mp3, TestFormat::Ogg), [](const auto& info) {
                             return std::string(info.param == TestFormat::Mp3 ? "Mp3" : "Ogg");
                         });

} // namespace

// The player against the simulated sound server: streaming rule, display, pause, seek, stepping.

#include "appstate.h"
#include "componenterror.h"
#include "fakeports.h"
#include "player.h"
#include "playerwiring.h"
#include "simulatedbackend.h"
#include "taudiofile2.h"
#include "taudioplayer2.h"
#include "testaudio.h"
#include "tinifile.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class PlayerTest : public ::testing::Test {
protected:
    PlayerTest()
        : backend(std::make_shared<SimulatedBackend>()), AudioPlayer21(backend),
          ini(dir.filePath("tarnoRecord.ini")),
          player(state, display, list, prompts, AudioFilepaly, AudioPlayer21, ini) {
        connect();
    }

    void connect() {
        ConnectPlayerEvents(AudioPlayer21, player);
        QObject::connect(&AudioPlayer21, &TAudioPlayer2::OnRequestOnLoadArray, [this] {
            if (state.playing)
                ++requests;
        });
        QObject::connect(&AudioPlayer21, &TAudioPlayer2::OnEndArrayPlay, [this] {
            if (state.playing)
                ++played;
        });
    }

    QString MakeWav(const QString& name, double seconds, double hz = 1000, int channels = 2,
                    double secondHz = 0) {
        const QString path = dir.filePath(name);
        WriteToneFile(path, TestFormat::Wav, seconds, hz, 44100, channels, secondHz);
        return path;
    }

    std::int64_t LengthOf(const QString& path) {
        TAudioFile2 reader;
        reader.OpenForRead(path, 0, 1);
        return reader.GetLengthSamples();
    }

    Block PcmOf(const QString& path) {
        TAudioFile2 reader;
        reader.OpenForRead(path, 0, 1);
        return DecodeAll(reader);
    }

    bool Idle() const {
        return !state.playing && !state.play_paused && state.sample_base == 0 &&
               display.texts.value("s_time") == "00:00:00" && !display.displayShown &&
               !display.Visible("play_bar");
    }

    QTemporaryDir dir;
    std::shared_ptr<SimulatedBackend> backend;
    TAudioPlayer2 AudioPlayer21;
    TAudioFile2 AudioFilepaly;
    TIniFile ini;
    AppState state;
    FakeDisplay display;
    FakeList list;
    FakePrompts prompts;
    Player player;
    int requests = 0;
    int played = 0;
};

TEST_F(PlayerTest, StreamsTwoBlocksThenOnePerEventAndPlaysTheWholeFileToIdle) {
    const QString path = MakeWav("tone.wav", 2.0);
    list.paths = {path};
    list.selected = {0};

    player.PlaySelected();
    EXPECT_TRUE(state.playing);
    EXPECT_FALSE(state.play_paused);
    EXPECT_EQ(player.BlocksFed(), 2) << "two blocks queued from the start, nothing read ahead";
    EXPECT_EQ(state.block_size, 4100);
    EXPECT_EQ(display.texts["s_sizeson"], QString::number(QFileInfo(path).size() / 1024) + " KB");
    EXPECT_EQ(display.texts["s_mono"], "Stereo 1411K 44100HZ");
    EXPECT_EQ(display.texts["s_filename"], "tone.wav");
    EXPECT_TRUE(display.displayShown);
    EXPECT_TRUE(display.Visible("play_bar"));

    for (int step = 0; step < 40 && state.playing; ++step) {
        backend->Advance(100);
        if (state.playing) {
            EXPECT_EQ(player.BlocksFed(), 2 + requests + played)
                << "one block per request and per played block, at " << step * 100 << " ms";
        }
    }
    EXPECT_GT(requests + played, 0);
    EXPECT_TRUE(Idle()) << "the end of play returns the display to idle";
    EXPECT_FALSE(AudioFilepaly.IsOpen());
    EXPECT_EQ(backend->Played(), PcmOf(path)) << "every frame once, in order";
}

TEST_F(PlayerTest, TimerShowsPositionAndMovesBarWithinRange) {
    const QString path = MakeWav("tone.wav", 3.0);
    list.paths = {path};
    player.PlaySelected();
    backend->Advance(1200);
    EXPECT_EQ(display.texts["s_time"], "00:00:01");
    const std::int64_t length = LengthOf(path);
    const int expected = static_cast<int>(MulDiv(state.sample_pos, 9820, length));
    EXPECT_EQ(display.positions["play_bar"], expected);
    EXPECT_EQ(display.progress, expected);

    // The position counts past 2^31 frames in 64 bits, and a position beyond the file's length
    // pins the bar at its end.
    player.AudioPlayer21Timer(static_cast<qint64>(3723.5 * 44100), 0, 0);
    EXPECT_EQ(display.texts["s_time"], "01:02:03");
    EXPECT_EQ(display.positions["play_bar"], 9820);
    EXPECT_EQ(display.progress, 9820);
    player.AudioPlayer21Timer(std::int64_t{100} * 3600 * 44100, 0, 0);
    EXPECT_EQ(display.texts["s_time"], "100:00:00");

    // While the user holds the bar it stays where the user put it.
    state.bar_follows = false;
    display.positions["play_bar"] = 1234;
    player.AudioPlayer21Timer(44100, 0, 0);
    EXPECT_EQ(display.positions["play_bar"], 1234);
    EXPECT_EQ(display.texts["s_time"], "00:00:01");
}

TEST_F(PlayerTest, TheDisplayIsLookedAtWhenItChangesNotMoreOften) {
    // 40 s of 8 kHz mono: the time changes once a second. A 320-pixel bar's thumb would move
    // every 125 ms; it moves on the quarter seconds, two pixels at a time, so four looks a
    // second. A 25-pixel bar's thumb moves every 1.6 s, so about one look a second, as without
    // a bar.
    const QString path = dir.filePath("long.wav");
    WriteToneFile(path, TestFormat::Wav, 40.0, 440, 8000, 1);
    list.paths = {path};
    struct Case {
        int pixels;
        int mostLooks, leastLooks; // in 8 s
    };
    for (const Case c :
         {Case{320, 8 * 4 + 1, 8 * 4 - 1}, Case{25, 8 + 5 + 1, 8 - 1}, Case{0, 8 + 1, 8 - 1}}) {
        display.barPixels = c.pixels;
        int looks = 0;
        const auto counter = QObject::connect(&AudioPlayer21, &TAudioPlayer2::OnTimer,
                                              [&looks](qint64, int, int) { ++looks; });
        player.PlaySelected();
        const std::int64_t before = std::int64_t(backend->Played().size());
        int lastPixel = -1;
        for (int ms = 10; ms <= 8000; ms += 10) {
            backend->Advance(10);
            // The time shown is never more than one look (plus the timer's margin) behind.
            const std::int64_t playedMs = (std::int64_t(backend->Played().size()) - before) / 16;
            const int shown = display.texts["s_time"].right(2).toInt();
            if (playedMs % 1000 > 70) {
                EXPECT_EQ(shown, playedMs / 1000 % 60) << "at " << ms << " ms, " << c.pixels;
            }
            // Nor is the bar more than a step behind, and it never goes back.
            const int pixel = static_cast<int>(
                MulDiv(display.positions["play_bar"], c.pixels, Player::kBarRange));
            if (c.pixels > 0 && ms % 100 == 0) {
                const std::int64_t stepBehind =
                    std::max<std::int64_t>(0, playedMs - Player::kLookStepMs - 70);
                EXPECT_GE(pixel, static_cast<int>(stepBehind * c.pixels / 40000))
                    << "at " << ms << " ms, " << c.pixels;
                EXPECT_GE(pixel, lastPixel) << "at " << ms << " ms, " << c.pixels;
                lastPixel = pixel;
            }
        }
        EXPECT_LE(looks, c.mostLooks) << c.pixels << " pixels";
        EXPECT_GE(looks, c.leastLooks) << c.pixels << " pixels";
        player.StopPlaying();
        QObject::disconnect(counter);
    }
}

TEST_F(PlayerTest, PauseAndResumeContinueTheTime) {
    list.paths = {MakeWav("tone.wav", 5.0)};
    player.PlaySelected();
    backend->Advance(1500);
    player.TogglePlayPause();
    EXPECT_TRUE(state.play_paused);
    EXPECT_TRUE(state.playing);
    const std::int64_t at = state.sample_base;
    EXPECT_NEAR(static_cast<double>(at), 1.5 * 44100, 0.1 * 44100);

    const std::size_t playedBefore = backend->Played().size();
    const std::int64_t fedBefore = player.BlocksFed();
    backend->Advance(2000);
    EXPECT_EQ(backend->Played().size(), playedBefore) << "nothing plays while paused";
    EXPECT_EQ(display.texts["s_time"], "00:00:01");

    // Play while paused resumes: no new file, no new blocks, the time goes on from the pause.
    player.PlaySelected();
    EXPECT_FALSE(state.play_paused);
    EXPECT_EQ(player.BlocksFed(), fedBefore);
    backend->Advance(1000);
    EXPECT_EQ(display.texts["s_time"], "00:00:02");
    // Looks come on the quarter seconds of the position.
    EXPECT_GE(state.sample_pos, at + 44100 * (1000 - Player::kLookStepMs - 70) / 1000);

    // TogglePlayPause resumes as well, and the next one pauses again.
    player.TogglePlayPause();
    EXPECT_TRUE(state.play_paused);
    player.TogglePlayPause();
    EXPECT_FALSE(state.play_paused);
    backend->Advance(500);
    EXPECT_GT(backend->Played().size(), playedBefore);
}

TEST_F(PlayerTest, SeekFromBarAt9800ContinuesThereAnd9801Stops) {
    // Two halves of different tones, so the audio after a seek is recognisable.
    const QString path = MakeWav("halves.wav", 10.0, 1000, 1, 500);
    list.paths = {path};
    const std::int64_t length = LengthOf(path);
    const Block pcm = PcmOf(path);
    const auto heardFrom = [&](std::int64_t frame) {
        const Block heard = backend->Played();
        return heard.size() >= 200 &&
               std::equal(heard.begin(), heard.begin() + 200,
                          pcm.begin() + static_cast<std::ptrdiff_t>(frame * 2));
    };

    player.PlaySelected();
    backend->Advance(500);

    // The middle: what is heard next, the position and the time all continue from there.
    state.bar_follows = false; // the mouse went down on the bar
    display.positions["play_bar"] = 4910;
    backend->ClearPlayed();
    player.SeekFromBar();
    const std::int64_t middle = MulDiv(4910, length, 9820);
    EXPECT_TRUE(state.bar_follows);
    EXPECT_TRUE(state.playing);
    EXPECT_EQ(state.sample_base, middle);
    backend->Advance(1500);
    EXPECT_TRUE(heardFrom(middle)) << "no audio of the old position after the seek";
    EXPECT_EQ(display.texts["s_time"], "00:00:06");
    EXPECT_GE(state.sample_pos, middle + 44100);

    // 9800 still seeks.
    display.positions["play_bar"] = 9800;
    backend->ClearPlayed();
    player.SeekFromBar();
    const std::int64_t late = MulDiv(9800, length, 9820);
    EXPECT_EQ(state.sample_base, late);
    EXPECT_TRUE(state.playing);
    backend->Advance(50); // the first step after a flush is an underrun of the simulated sink
    EXPECT_TRUE(heardFrom(late));

    // 9801 stops.
    if (!state.playing)
        player.PlaySelected();
    display.positions["play_bar"] = 9801;
    state.bar_follows = false;
    player.SeekFromBar();
    EXPECT_TRUE(Idle());
    EXPECT_TRUE(state.bar_follows);
}

TEST_F(PlayerTest, SeekDuringPauseResumesAndClearsPause) {
    list.paths = {MakeWav("tone.wav", 4.0)};
    player.PlaySelected();
    backend->Advance(500);
    player.TogglePlayPause();
    ASSERT_TRUE(state.play_paused);

    display.positions["play_bar"] = 4910;
    player.SeekFromBar();
    EXPECT_FALSE(state.play_paused) << "the sound runs again, so the state must say so";
    backend->ClearPlayed();
    backend->Advance(300);
    EXPECT_FALSE(backend->Played().empty());

    // The next pause request pauses at once.
    player.TogglePlayPause();
    EXPECT_TRUE(state.play_paused);
    backend->ClearPlayed();
    backend->Advance(300);
    EXPECT_TRUE(backend->Played().empty());
}

TEST_F(PlayerTest, SelectionRulesAndRefusals) {
    // An empty list: nothing happens and nothing shows.
    player.PlaySelected();
    EXPECT_FALSE(state.playing);
    EXPECT_EQ(display.showDisplayCalls, 0);
    EXPECT_TRUE(prompts.messages.isEmpty());

    list.paths = {MakeWav("a.wav", 1.0), MakeWav("b.wav", 1.0), MakeWav("c.wav", 1.0)};

    // A recording refuses with a message.
    state.recording = true;
    player.PlaySelected();
    EXPECT_FALSE(state.playing);
    EXPECT_EQ(prompts.messages, QStringList{"Please stop recording first."});
    state.recording = false;

    // No selection plays the last entry and leaves it selected.
    player.PlaySelected();
    EXPECT_EQ(state.play_index, 2);
    EXPECT_EQ(list.selected, QSet<int>{2});
    EXPECT_EQ(display.texts["s_filename"], "c.wav");

    // A second play request while playing is ignored.
    const std::int64_t fed = player.BlocksFed();
    player.PlaySelected();
    EXPECT_EQ(player.BlocksFed(), fed);
    player.StopPlaying();

    // Several selected: the first in list order.
    list.selected = {2, 1};
    player.PlaySelected();
    EXPECT_EQ(state.play_index, 1);
    EXPECT_EQ(display.texts["s_filename"], "b.wav");
    player.StopPlaying();
    EXPECT_TRUE(Idle());
    EXPECT_EQ(state.play_index, 1) << "the last started entry is remembered after a stop";
}

TEST_F(PlayerTest, PreviousAndNextWalkTheListAndStopAtItsEnds) {
    list.paths = {MakeWav("a.wav", 1.0), MakeWav("b.wav", 1.0), MakeWav("c.wav", 1.0)};
    list.selected = {0};
    player.PlaySelected();
    ASSERT_EQ(state.play_index, 0);

    const std::int64_t fed = player.BlocksFed();
    player.PlayPrevious();
    EXPECT_EQ(player.BlocksFed(), fed) << "previous on entry 0 does nothing";
    EXPECT_TRUE(state.playing);
    EXPECT_EQ(list.selected, QSet<int>{0});

    player.PlayNext();
    EXPECT_EQ(state.play_index, 1);
    EXPECT_EQ(list.selected, QSet<int>{1});
    EXPECT_EQ(display.texts["s_filename"], "b.wav");
    player.PlayNext();
    EXPECT_EQ(state.play_index, 2);

    const std::int64_t fedLast = player.BlocksFed();
    player.PlayNext();
    EXPECT_EQ(player.BlocksFed(), fedLast) << "next on the last entry does nothing";
    EXPECT_EQ(state.play_index, 2);

    player.PlayPrevious();
    EXPECT_EQ(state.play_index, 1);
    EXPECT_TRUE(state.playing);
    EXPECT_EQ(state.sample_pos, 0);
}

TEST_F(PlayerTest, RawEntryPlaysWithTheStoredRawSettings) {
    // 22050 Hz mono 16-bit PCM, stored as list positions.
    const QString path = dir.filePath("take.raw");
    WriteToneFile(path, TestFormat::Raw, 1.0, 1000, 22050, 1);
    ini.WriteInteger("raw", "format", 0);
    ini.WriteInteger("raw", "f", 5);
    ini.WriteInteger("raw", "c", 0);
    ini.WriteInteger("raw", "b", 5);
    list.paths = {path};

    player.PlaySelected();
    EXPECT_EQ(display.texts["s_mono"].left(5), "Mono ");
    EXPECT_TRUE(display.texts["s_mono"].endsWith(" 22050HZ"))
        << display.texts["s_mono"].toStdString();
    EXPECT_EQ(backend->LastPlaybackFormat().rate, 22050);
    EXPECT_EQ(backend->LastPlaybackFormat().channels, 1);
    for (int i = 0; i < 20 && state.playing; ++i)
        backend->Advance(100);
    EXPECT_FALSE(state.playing);
    EXPECT_EQ(backend->Played().size(), 22050u * 2) << "one second of mono 16-bit";
}

TEST_F(PlayerTest, MissingFileFailsAfterPlayingIsSetAndStopReturnsToIdle) {
    list.paths = {dir.filePath("gone.mp3")};
    EXPECT_THROW(player.PlaySelected(), ComponentError);
    EXPECT_TRUE(state.playing) << "the error handler sees playing and stops";
    player.StopPlaying();
    EXPECT_TRUE(Idle());
    // An event that was already on its way reads nothing from the closed file.
    player.AudioPlayer21RequestOnLoadArray();
    player.AudioPlayer21EndArrayPlay();
    EXPECT_EQ(player.BlocksFed(), 0);
}

} // namespace

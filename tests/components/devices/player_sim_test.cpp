// The player component against the simulated server, driven the way the program streams a file:
// two blocks of 4100 frames at the start, then one block for every OnRequestOnLoadArray and every
// OnEndArrayPlay, and an empty block once the file is exhausted.
#include "componenterror.h"
#include "pcmtools.h"
#include "simulatedbackend.h"
#include "taudioplayer2.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

namespace {

const PcmFormat kCd{44100, 2, SampleType::S16};

struct Streamer {
    Streamer(std::shared_ptr<SimulatedBackend> sim, const PcmFormat& f, std::size_t frames)
        : sim(sim), player(sim), format(f), file(Sine(f, 440, 0.5, frames)) {
        QObject::connect(&player, &TAudioPlayer2::OnRequestOnLoadArray, [this]() {
            ++requests;
            Feed();
        });
        QObject::connect(&player, &TAudioPlayer2::OnEndArrayPlay, [this]() {
            ++blocksPlayed;
            Feed();
        });
        QObject::connect(&player, &TAudioPlayer2::OnEndPlay, [this]() { ++ends; });
        QObject::connect(&player, &TAudioPlayer2::OnTimer,
                         [this](qint64 n, int, int) { samples.push_back(n); });
    }

    // The program's FeedBlock: the next 4100 frames, empty at the end of the file.
    void Feed() {
        const std::size_t bytes =
            std::min<std::size_t>(file.size() - read, 4100 * format.BytesPerFrame());
        Block b(file.begin() + read, file.begin() + read + bytes);
        read += bytes;
        ++queued;
        player.QueueBlock(b);
        // Nothing is read far ahead of the player: two top-ups plus the blocks in flight.
        const std::size_t ahead =
            read / format.BytesPerFrame() - sim->Played().size() / format.BytesPerFrame();
        maxAhead = std::max(maxAhead, ahead);
    }

    void Start() {
        player.SetFormat(format.Handle(), format.Param());
        player.StartPlayback();
        Feed();
        Feed();
    }

    // Advances until the end of play or the time limit.
    void RunUntilEnd(int limitMs) {
        for (int t = 0; t < limitMs && ends == 0; t += 10)
            sim->Advance(10);
    }

    std::shared_ptr<SimulatedBackend> sim;
    TAudioPlayer2 player;
    PcmFormat format;
    Block file;
    std::size_t read = 0;
    int requests = 0, blocksPlayed = 0, ends = 0, queued = 0;
    std::size_t maxAhead = 0;
    std::vector<qint64> samples;
};

TEST(PlayerSim, StreamsAFileGaplessWithOneBlockPerEventAndEndsOnce) {
    auto sim = std::make_shared<SimulatedBackend>();
    const std::size_t frames = 3 * 44100 + 1234; // the last block is a short one
    Streamer s(sim, kCd, frames);
    s.Start();
    s.RunUntilEnd(10000);

    EXPECT_EQ(s.ends, 1);
    EXPECT_EQ(sim->Played(), s.file); // every frame, in order, nothing twice, no gap
    const int blocks = static_cast<int>((frames + 4099) / 4100);
    EXPECT_EQ(s.blocksPlayed, blocks);
    EXPECT_EQ(s.queued, 2 + s.requests + s.blocksPlayed);
    EXPECT_LE(s.maxAhead, 2u * 44100 * kPlaybackTopUpMs / 1000 + 3 * 4100u);
    // The timer counts from the start of playback up to the whole file.
    ASSERT_FALSE(s.samples.empty());
    EXPECT_LE(s.samples.front(), 2205);
    EXPECT_GE(s.samples.back(), static_cast<qint64>(frames) - 2205);

    // After the end nothing more is asked for, and a later event never repeats the end.
    const int requests = s.requests;
    sim->Advance(1000);
    EXPECT_EQ(s.ends, 1);
    EXPECT_EQ(s.requests, requests);
}

TEST(PlayerSim, PauseKeepsTheQueueAndResumeCountsAfresh) {
    auto sim = std::make_shared<SimulatedBackend>();
    Streamer s(sim, {22050, 1, SampleType::S16}, 2 * 22050);
    s.Start();
    sim->Advance(500);
    s.player.StopPlayback();
    const auto played = sim->Played().size();
    const auto events = s.samples.size() + s.requests + s.blocksPlayed;
    sim->Advance(1000);
    EXPECT_EQ(sim->Played().size(), played);
    EXPECT_EQ(s.samples.size() + s.requests + s.blocksPlayed, events);

    s.samples.clear();
    s.player.StartPlayback();
    sim->Advance(100);
    ASSERT_FALSE(s.samples.empty());
    EXPECT_LE(s.samples.front(), 1103);
    s.RunUntilEnd(10000);
    EXPECT_EQ(s.ends, 1);
    EXPECT_EQ(sim->Played(), s.file);
}

TEST(PlayerSim, TheTimerComesAsOftenAsTheProgramAsks) {
    auto sim = std::make_shared<SimulatedBackend>();
    Streamer s(sim, kCd, 12 * 44100);
    s.Start();
    for (const int ms : {500, 50, 1000, 5000, 10}) {
        s.player.SetTimerInterval(ms);
        const int wanted = std::clamp(ms, TAudioPlayer2::kMinTimerMs, TAudioPlayer2::kMaxTimerMs);
        s.samples.clear();
        sim->Advance(wanted * 4 + 5);
        ASSERT_GE(s.samples.size(), 4u) << ms;
        EXPECT_LE(s.samples.size(), 5u) << ms;
        for (std::size_t i = 1; i < s.samples.size(); ++i) {
            const qint64 step = s.samples[i] - s.samples[i - 1];
            EXPECT_GE(step, 44100 * (wanted - 10) / 1000) << ms;
            EXPECT_LE(step, 44100 * (wanted + 10) / 1000) << ms;
        }
    }
    s.RunUntilEnd(10000);
    EXPECT_EQ(sim->Played(), s.file);
}

TEST(PlayerSim, FlushQueueRestartsFromWhatIsQueuedNext) {
    auto sim = std::make_shared<SimulatedBackend>();
    Streamer s(sim, kCd, 4 * 44100);
    s.Start();
    sim->Advance(300);
    // A seek as the program does it: stop, drop the queue, move the file, start again.
    s.player.StopPlayback();
    s.player.FlushQueue();
    const std::size_t playedBefore = sim->Played().size();
    s.read = 3 * 44100 * kCd.BytesPerFrame();
    s.samples.clear();
    s.player.StartPlayback();
    s.RunUntilEnd(5000);
    EXPECT_EQ(s.ends, 1);
    const Block& all = sim->Played();
    const Block tail(all.begin() + playedBefore, all.end());
    EXPECT_EQ(tail, Block(s.file.begin() + 3 * 44100 * 4, s.file.end()));
    ASSERT_FALSE(s.samples.empty());
    EXPECT_LE(s.samples.front(), 2205);
}

TEST(PlayerSim, VolumeMuteAndFailures) {
    auto sim = std::make_shared<SimulatedBackend>();
    TAudioPlayer2 player(sim);
    EXPECT_EQ(player.GetVolume(), 65534);
    EXPECT_FALSE(player.GetMute());
    player.SetVolume(70000);
    EXPECT_EQ(player.GetVolume(), 65534);
    player.SetVolume(32767);
    player.SetMute(true);
    player.SetFormat(kCd.Handle(), kCd.Param());
    player.StartPlayback();
    EXPECT_EQ(sim->PlaybackVolume(), 32768); // half of 100 %
    EXPECT_TRUE(sim->PlaybackMuted());
    player.SetVolume(65534);
    EXPECT_EQ(sim->PlaybackVolume(), 65536);
    player.SetMute(false);
    EXPECT_FALSE(sim->PlaybackMuted());
    EXPECT_EQ(player.SamplesToMs(44100LL * 3600 * 100), 360000000LL);

    // A stream that fails while playing raises from the next event.
    auto failing = std::make_shared<SimulatedBackend>();
    failing->FailStreamsAfter(300);
    Streamer s(failing, kCd, 5 * 44100);
    s.Start();
    EXPECT_THROW(s.RunUntilEnd(1000), ComponentError);

    // No server: starting fails with the reason.
    auto none = std::make_shared<SimulatedBackend>();
    none->SetServerAvailable(false);
    TAudioPlayer2 p(none);
    p.SetFormat(kCd.Handle(), kCd.Param());
    try {
        p.StartPlayback();
        ADD_FAILURE() << "StartPlayback without a server succeeded";
    } catch (const ComponentError& e) {
        EXPECT_NE(std::string(e.what()).find("sound server"), std::string::npos);
    }
    EXPECT_THROW(p.SetFormat(1, 0), ComponentError);
}

} // namespace

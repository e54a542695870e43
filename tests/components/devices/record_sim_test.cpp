// The capture component against the simulated server: the calling order of start-up and of a
// recording, block sizes and counts, pause and resume, and what happens when things go wrong.
#include "componenterror.h"
#include "pcmtools.h"
#include "simulatedbackend.h"
#include "taudiorecord2.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

const PcmFormat kCd{44100, 2, SampleType::S16};

// Plays the program's part: takes every announced block, and notes the timer events.
struct Recorder {
    explicit Recorder(std::shared_ptr<SimulatedBackend> sim) : sim(sim), rec(sim) {
        QObject::connect(&rec, &TAudioRecord2::OnEndArrayRecord, [this](int) {
            Block b = rec.GetRecordedBlock();
            sizes.push_back(b.size());
            data.insert(data.end(), b.begin(), b.end());
            events.push_back('B');
        });
        QObject::connect(&rec, &TAudioRecord2::OnTimer, [this](qint64 n, int l, int r) {
            samples.push_back(n);
            left.push_back(l);
            right.push_back(r);
            events.push_back('T');
        });
    }

    void Start(const PcmFormat& f) {
        rec.SetFormat(f.Handle(), f.Param());
        rec.SetBufferSize(rec.CalcBufferSize(300));
        rec.StartCapture();
        ASSERT_EQ(rec.GetErrorCode(), 0) << rec.GetErrorText().toStdString();
    }

    std::shared_ptr<SimulatedBackend> sim;
    TAudioRecord2 rec;
    std::vector<std::size_t> sizes;
    Block data;
    std::vector<qint64> samples;
    std::vector<int> left, right;
    std::string events;
};

TEST(RecordSim, BlocksOfThreeHundredMillisecondsAndTimersInOrder) {
    auto sim = std::make_shared<SimulatedBackend>();
    Recorder r(sim);
    r.Start(kCd);
    EXPECT_EQ(r.rec.CalcBufferSize(300), 44100 * 3 / 10 * 4);
    sim->Advance(3000);

    ASSERT_EQ(r.sizes.size(), 10u);
    for (auto s : r.sizes)
        EXPECT_EQ(s, 52920u);
    // Timers about every 50 ms with a growing count, blocks between them.
    EXPECT_GE(r.samples.size(), 55u);
    EXPECT_LE(r.samples.size(), 61u);
    for (std::size_t i = 1; i < r.samples.size(); ++i)
        EXPECT_GT(r.samples[i], r.samples[i - 1]);
    EXPECT_EQ(r.samples.back(), 132300);
    EXPECT_EQ(r.events.front(), 'T');
    // The simulated source is a sine at half scale: peaks near 16383 on both sides.
    EXPECT_NEAR(r.left.back(), 16383, 40);
    EXPECT_EQ(r.left.back(), r.right.back());
    EXPECT_GT(ToneLevel(r.data, kCd, 440), 0.2);

    // A stop at a block boundary has no tail; nothing arrives while stopped.
    r.rec.StopCapture();
    EXPECT_EQ(r.sizes.size(), 10u);
    const auto events = r.events;
    sim->Advance(500);
    EXPECT_EQ(r.events, events);
    EXPECT_EQ(sim->OpenCaptureStreams(), 0);
}

TEST(RecordSim, EveryFormatOpensAsAskedAndPeaksUseTheSixteenBitScale) {
    const std::vector<PcmFormat> formats = {{800, 1, SampleType::S16},
                                            {8000, 1, SampleType::U8},
                                            {48000, 2, SampleType::S24},
                                            {22050, 2, SampleType::S32}};
    for (const auto& f : formats) {
        SCOPED_TRACE(std::to_string(f.rate) + " Hz, " + std::to_string(f.channels) + " ch");
        auto sim = std::make_shared<SimulatedBackend>();
        Recorder r(sim);
        r.Start(f);
        EXPECT_EQ(sim->LastCaptureFormat(), f);
        EXPECT_EQ(r.rec.CalcBufferSize(300), f.rate * 3 / 10 * f.BytesPerFrame());
        sim->Advance(1000);
        r.rec.StopCapture();
        EXPECT_EQ(r.data.size(), static_cast<std::size_t>(f.rate * f.BytesPerFrame()));
        ASSERT_FALSE(r.left.empty());
        EXPECT_NEAR(r.left.back(), 16383, 200);
        EXPECT_EQ(r.left.back(), r.right.back());
        if (f.rate > 880) {
            EXPECT_GT(ToneLevel(r.data, f, 440), 0.2);
        }
    }
}

TEST(RecordSim, PauseAndStopHandOutTheTailAndResumeCountsAfresh) {
    auto sim = std::make_shared<SimulatedBackend>();
    Recorder r(sim);
    r.Start(kCd);
    sim->Advance(1000); // three full blocks and 0.1 s pending
    ASSERT_EQ(r.sizes.size(), 3u);

    r.rec.StopCapture(); // the pause
    ASSERT_EQ(r.sizes.size(), 4u);
    EXPECT_EQ(r.sizes.back(), 4410u * 4);
    EXPECT_EQ(r.data.size(), 44100u * 4);

    r.samples.clear();
    r.rec.StartCapture();
    EXPECT_EQ(r.rec.GetErrorCode(), 0);
    sim->Advance(200);
    ASSERT_FALSE(r.samples.empty());
    EXPECT_LE(r.samples.front(), 4410);
    EXPECT_EQ(r.samples.back(), 8820);

    sim->Advance(150);
    r.rec.StopCapture();
    EXPECT_EQ(r.data.size(), (44100u + 15435u) * 4);
    EXPECT_EQ(r.rec.LostFrames(), 0);
}

// Runs the event loop until `done` or `ms` have passed.
template <typename Done> void SpinUntil(Done done, int ms = 1000) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
}

// A server that hands audio over 100 ms at a time: the meters still move every 50 ms. The first
// fragment's first step comes at its wake, the later steps from the component's own timer, not
// before their 50 ms; from then on that timer reads the fragments too, so a fragment's wake shows
// nothing by itself, and every event's time is the end of the audio it shows. What piled up
// while the UI thread was busy is shown at once, all but the last steps, and a stop shows the
// rest.
TEST(RecordSim, AFragmentOfTwoStepsShowsThemFiftyMillisecondsApart) {
    auto sim = std::make_shared<SimulatedBackend>();
    sim->SetFragmentMs(100);
    sim->SetStepMs(100);
    Recorder r(sim);
    r.Start(kCd);
    QElapsedTimer clock;
    std::vector<qint64> at; // when each event came, ms after the fragment was delivered
    QObject::connect(&r.rec, &TAudioRecord2::OnTimer, [&] { at.push_back(clock.elapsed()); });
    for (int fragment = 1; fragment <= 4; ++fragment) {
        SCOPED_TRACE(fragment);
        r.samples.clear();
        at.clear();
        clock.start();
        sim->Advance(100);
        if (fragment == 1)
            ASSERT_EQ(r.samples, std::vector<qint64>{2205});
        else
            ASSERT_TRUE(r.samples.empty()) << "a wake of its own for a fragment";
        SpinUntil([&] { return r.samples.size() == 2; });
        ASSERT_EQ(r.samples.size(), 2u);
        EXPECT_EQ(r.samples[0], 2205 * (2 * fragment - 1));
        EXPECT_EQ(r.samples[1], 2205 * 2 * fragment);
        EXPECT_GE(at[1] - at[0], 45);
        EXPECT_LT(at[0], 100) << "the fragment waited past its step";
        EXPECT_NEAR(r.left.back(), 16383, 40);
    }

    // More steps than a fragment and a half: the older ones at once, the last three one by one.
    r.samples.clear();
    sim->Elapse(1000);
    sim->Deliver();
    SpinUntil([&] { return r.samples.size() == 4; });
    EXPECT_EQ(r.samples, (std::vector<qint64>{55125, 57330, 59535, 61740}));

    sim->Advance(100);
    sim->Elapse(30);
    r.samples.clear();
    r.rec.StopCapture();
    EXPECT_EQ(r.samples, std::vector<qint64>{44100 * 153 / 100});
    SpinUntil([] { return false; }, 100);
    EXPECT_EQ(r.samples.size(), 1u) << "an event after the stop";
}

TEST(RecordSim, ABusyUiThreadLosesNothingAndAnOverrunIsCounted) {
    auto sim = std::make_shared<SimulatedBackend>();
    Recorder r(sim);
    r.Start(kCd);
    sim->Advance(500);
    sim->Elapse(3000); // the UI thread is busy
    const auto before = r.sizes.size();
    sim->Deliver();
    EXPECT_EQ(r.sizes.size(), before + 10);
    r.rec.StopCapture();
    EXPECT_EQ(r.data.size(), 3u * 44100 * 4 + 22050 * 4);
    EXPECT_EQ(r.rec.LostFrames(), 0);

    // A buffer of one second cannot hold a stall of three: the rest is counted, not hidden.
    auto small = std::make_shared<SimulatedBackend>();
    small->SetBufferMs(1000);
    Recorder o(small);
    o.Start(kCd);
    small->Elapse(3000);
    small->Deliver();
    o.rec.StopCapture();
    EXPECT_EQ(o.data.size(), 44100u * 4);
    EXPECT_EQ(o.rec.LostFrames(), 2 * 44100);
    EXPECT_EQ(static_cast<std::int64_t>(o.data.size() / 4) + o.rec.LostFrames(), 3 * 44100);
}

TEST(RecordSim, FailuresReachTheUiThreadAsErrorsAndKeepTheAudio) {
    // A stream that dies after one second: the error comes from the next event, after the
    // audio captured before it; the stop that follows hands out the rest.
    auto sim = std::make_shared<SimulatedBackend>();
    sim->FailStreamsAfter(1000);
    Recorder r(sim);
    r.Start(kCd);
    std::string message;
    try {
        sim->Advance(2000);
    } catch (const ComponentError& e) {
        message = e.what();
    }
    EXPECT_NE(message.find("Simulated input"), std::string::npos) << message;
    EXPECT_NE(message.find("failed"), std::string::npos) << message;
    r.rec.StopCapture();
    EXPECT_EQ(r.data.size(), 44100u * 4);

    // The server goes away while capturing.
    auto gone = std::make_shared<SimulatedBackend>();
    Recorder g(gone);
    g.Start(kCd);
    gone->Advance(400);
    gone->SetServerAvailable(false);
    EXPECT_THROW(gone->Advance(20), ComponentError);
    g.rec.StopCapture();
    EXPECT_EQ(g.data.size(), 17640u * 4);

    // No server at start-up: the lists hold only "Default input", nothing throws on the start-up
    // path, and the capture reports that it could not start.
    auto none = std::make_shared<SimulatedBackend>();
    none->SetServerAvailable(false);
    TAudioRecord2 rec(none);
    EXPECT_EQ(rec.GetMaxDeviceIndex(), 0);
    rec.SelectDevice(0);
    EXPECT_EQ(rec.GetDeviceName(), "Default input");
    EXPECT_EQ(rec.GetLineCount(), 0);
    rec.SelectLine(0);
    EXPECT_EQ(rec.GetLineVolume(), 0);
    EXPECT_NO_THROW(rec.SetLineVolume(30000));
    rec.SetFormat(kCd.Handle(), kCd.Param());
    rec.StartCapture();
    EXPECT_NE(rec.GetErrorCode(), 0);
    EXPECT_NE(rec.GetErrorText().indexOf("sound server"), -1);
    EXPECT_NO_THROW(rec.StopCapture());

    EXPECT_THROW(rec.SetFormat(0, 0), ComponentError);
}

TEST(RecordSim, DevicesLinesAndVolumes) {
    auto sim = std::make_shared<SimulatedBackend>();
    AudioSource usb;
    usb.name = "usb";
    usb.description = "USB Microphone";
    usb.volume = 40000;
    sim->AddSource(usb, 1000.0);
    AudioSource monitor;
    monitor.name = "out.monitor";
    monitor.description = "Monitor of Speakers";
    monitor.monitor = true;
    sim->AddSource(monitor);

    TAudioRecord2 rec(sim);
    const int n = rec.GetMaxDeviceIndex();
    ASSERT_EQ(n, 3);
    std::vector<QString> names;
    for (int i = 0; i <= n; ++i) {
        rec.SelectDevice(i);
        names.push_back(rec.GetDeviceName());
    }
    EXPECT_EQ(names, (std::vector<QString>{"Simulated input", "USB Microphone",
                                           "Monitor of Speakers", "Default input"}));

    // Start-up leaves the last device selected: "Default input", here the first source.
    ASSERT_EQ(rec.GetLineCount(), 2);
    rec.SelectLine(1);
    EXPECT_EQ(rec.GetLineName(), "Microphone");
    EXPECT_TRUE(rec.GetLineActive());
    rec.SelectLine(2);
    EXPECT_EQ(rec.GetLineName(), "Line In");
    EXPECT_FALSE(rec.GetLineActive());
    rec.SetLineActive(true);
    EXPECT_TRUE(rec.GetLineActive());
    rec.SelectLine(1);
    EXPECT_FALSE(rec.GetLineActive());

    rec.SetLineVolume(32768);
    EXPECT_EQ(rec.GetLineVolume(), 32768);
    rec.SetLineVolume(66535); // the settings dialog's track bar goes past 100 %
    EXPECT_EQ(rec.GetLineVolume(), 65536);

    // "Default input" follows the system's default source.
    sim->SetDefaultSource("usb");
    EXPECT_EQ(rec.GetLineCount(), 0);
    rec.SelectLine(0);
    EXPECT_EQ(rec.GetLineVolume(), 40000);
    rec.SetFormat(kCd.Handle(), kCd.Param());
    rec.StartCapture();
    EXPECT_EQ(sim->LastCaptureSource(), AudioBackend::kDefaultSource);
    rec.StopCapture();

    // A listed source records from that source by name.
    rec.SelectDevice(2);
    rec.StartCapture();
    EXPECT_EQ(sim->LastCaptureSource(), "out.monitor");
    rec.StopCapture();
}

TEST(RecordSim, SamplesToMsIsSixtyFourBit) {
    auto sim = std::make_shared<SimulatedBackend>();
    TAudioRecord2 rec(sim);
    rec.SetFormat(44100, kCd.Param());
    const std::int64_t hundredHours = 44100LL * 3600 * 100;
    EXPECT_EQ(rec.SamplesToMs(hundredHours), 360000000LL);
    EXPECT_EQ(rec.SamplesToMs(44099), 999);
}

} // namespace

// The components against a real PulseAudio daemon: the private one of scripts/pulse-private.sh
// with the null sink "tarno_null" and the sine sources "tarno_sine" (440 Hz) and "tarno_sine200".
#include "audiobackend.h"
#include "componenterror.h"
#include "pcmtools.h"
#include "taudioplayer2.h"
#include "taudiorecord2.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

class DevicesPulse : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("PULSE_SERVER") == nullptr)
            GTEST_SKIP() << "PULSE_SERVER is not set: scripts/test.sh starts the private daemon";
        backend = MakePulseBackend("Tarno MP3 Recorder tests");
    }

    static void RunEvents(int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }

    // Selects the device listed under `description`; returns false when it is not listed.
    static bool Select(TAudioRecord2& rec, const QString& description) {
        const int n = rec.GetMaxDeviceIndex();
        for (int i = 0; i <= n; ++i) {
            rec.SelectDevice(i);
            if (rec.GetDeviceName() == description)
                return true;
        }
        return false;
    }

    struct Capture {
        explicit Capture(std::shared_ptr<AudioBackend> b) : rec(b) {
            QObject::connect(&rec, &TAudioRecord2::OnEndArrayRecord, [this](int) {
                const Block blk = rec.GetRecordedBlock();
                data.insert(data.end(), blk.begin(), blk.end());
            });
            QObject::connect(&rec, &TAudioRecord2::OnTimer,
                             [this](qint64 n, int l, int) {
                                 samples = n;
                                 peak = std::max(peak, l);
                             });
        }
        void Start(const PcmFormat& f) {
            format = f;
            rec.SetFormat(f.Handle(), f.Param());
            rec.SetBufferSize(rec.CalcBufferSize(300));
            rec.StartCapture();
            ASSERT_EQ(rec.GetErrorCode(), 0) << rec.GetErrorText().toStdString();
        }
        std::int64_t Frames() const { return data.size() / format.BytesPerFrame(); }

        TAudioRecord2 rec;
        PcmFormat format;
        Block data;
        qint64 samples = 0;
        int peak = 0;
    };

    std::shared_ptr<AudioBackend> backend;
};

TEST_F(DevicesPulse, ListsTheSourcesByDescriptionAndDefaultInputLast) {
    TAudioRecord2 rec(backend);
    const int n = rec.GetMaxDeviceIndex();
    ASSERT_GE(n, 3);
    QStringList names;
    for (int i = 0; i <= n; ++i) {
        rec.SelectDevice(i);
        names << rec.GetDeviceName();
    }
    EXPECT_TRUE(names.contains("Monitor of Null_Output")) << names.join(", ").toStdString();
    EXPECT_TRUE(names.contains("Sine source at 440 Hz"));
    EXPECT_TRUE(names.contains("Sine source at 200 Hz"));
    EXPECT_EQ(names.last(), "Default input");
    // The sine sources have no ports: no lines, line 0 is the source itself.
    EXPECT_EQ(rec.GetLineCount(), 0);
    rec.SelectLine(0);
    EXPECT_EQ(rec.GetLineName(), "Sine source at 440 Hz"); // the private daemon's default
}

TEST_F(DevicesPulse, ThreeSecondsAtCdQualityAndAt800HzCarryTheTone) {
    struct Case {
        QString device;
        PcmFormat format;
        double tone;
        double other;
    };
    const Case cases[] = {{"Sine source at 440 Hz", {44100, 2, SampleType::S16}, 440, 1000},
                          {"Sine source at 200 Hz", {800, 1, SampleType::S16}, 200, 100}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.device.toStdString());
        Capture cap(backend);
        ASSERT_TRUE(Select(cap.rec, c.device));
        QElapsedTimer clock;
        clock.start();
        cap.Start(c.format);
        RunEvents(3000);
        cap.rec.StopCapture();
        const double seconds = clock.elapsed() / 1000.0;
        const std::int64_t block = c.format.rate * 3 / 10;
        EXPECT_NEAR(double(cap.Frames()), seconds * c.format.rate, double(block));
        EXPECT_LE(cap.samples, cap.Frames());
        EXPECT_GT(cap.peak, 10000);
        EXPECT_EQ(cap.rec.LostFrames(), 0);
        const double tone = ToneLevel(cap.data, c.format, c.tone);
        EXPECT_GT(tone, 0.1);
        EXPECT_LT(ToneLevel(cap.data, c.format, c.other), tone / 20);
    }
}

TEST_F(DevicesPulse, AStalledUiThreadLosesNoFrames) {
    Capture cap(backend);
    ASSERT_TRUE(Select(cap.rec, "Sine source at 440 Hz"));
    const PcmFormat f{48000, 2, SampleType::S24};
    QElapsedTimer clock;
    clock.start();
    cap.Start(f);
    RunEvents(500);
    std::this_thread::sleep_for(std::chrono::seconds(3));
    RunEvents(500);
    cap.rec.StopCapture();
    const double seconds = clock.elapsed() / 1000.0;
    EXPECT_NEAR(double(cap.Frames()), seconds * f.rate, f.rate * 0.3);
    EXPECT_EQ(cap.rec.LostFrames(), 0);
    // The data runs on without a gap: the tone stays clean over the stall.
    EXPECT_GT(ToneLevel(cap.data, f, 440), 0.1);
}

TEST_F(DevicesPulse, TwoSecondsPlayedIntoTheNullSinkArriveOnItsMonitor) {
    Capture cap(backend);
    ASSERT_TRUE(Select(cap.rec, "Monitor of Null_Output"));
    cap.Start({44100, 2, SampleType::S16});

    const PcmFormat f{44100, 2, SampleType::S16};
    const Block file = Sine(f, 1000, 0.5, 2 * 44100);
    TAudioPlayer2 player(backend);
    std::size_t read = 0;
    int ends = 0;
    auto feed = [&]() {
        const std::size_t n = std::min<std::size_t>(file.size() - read, 4100 * 4);
        player.QueueBlock(Block(file.begin() + read, file.begin() + read + n));
        read += n;
    };
    QObject::connect(&player, &TAudioPlayer2::OnRequestOnLoadArray, feed);
    QObject::connect(&player, &TAudioPlayer2::OnEndArrayPlay, feed);
    QObject::connect(&player, &TAudioPlayer2::OnEndPlay, [&]() { ++ends; });
    player.SetFormat(f.Handle(), f.Param());
    QElapsedTimer clock;
    clock.start();
    player.StartPlayback();
    feed();
    feed();
    while (ends == 0 && clock.elapsed() < 6000)
        RunEvents(50);
    const double took = clock.elapsed() / 1000.0;
    player.StopPlayback();
    RunEvents(200);
    cap.rec.StopCapture();

    EXPECT_EQ(ends, 1);
    EXPECT_GT(took, 1.9);
    EXPECT_LT(took, 3.0);
    EXPECT_GT(ToneLevel(cap.data, f, 1000), 0.05);
    // The monitor holds the whole tone: at least 1.9 s of it well above silence.
    std::int64_t loud = 0;
    for (std::size_t i = 0; i + 4 <= cap.data.size(); i += 4)
        if (std::abs(DecodeSample(SampleType::S16, cap.data.data() + i)) > 0.05)
            ++loud;
    EXPECT_GT(loud, 44100 * 19 / 10 * 6 / 10); // a sine is above 0.1 of its peak 94 % of the time
}

TEST_F(DevicesPulse, ASourceVolumeSetIsReadBack) {
    TAudioRecord2 rec(backend);
    ASSERT_TRUE(Select(rec, "Sine source at 200 Hz"));
    rec.SelectLine(0);
    const int before = rec.GetLineVolume();
    rec.SetLineVolume(32768);
    EXPECT_NEAR(rec.GetLineVolume(), 32768, 1);
    rec.SetLineVolume(before);
    EXPECT_NEAR(rec.GetLineVolume(), before, 1);
}

TEST_F(DevicesPulse, WithoutAServerTheComponentsSayWhy) {
    const std::string saved = std::getenv("PULSE_SERVER");
    setenv("PULSE_SERVER", "unix:/nonexistent/tarno-native", 1);
    auto none = MakePulseBackend("Tarno MP3 Recorder tests");
    TAudioRecord2 rec(none);
    EXPECT_EQ(rec.GetMaxDeviceIndex(), 0);
    rec.SelectDevice(0);
    EXPECT_EQ(rec.GetDeviceName(), "Default input");
    EXPECT_EQ(rec.GetLineCount(), 0);
    const PcmFormat f{44100, 2, SampleType::S16};
    rec.SetFormat(f.Handle(), f.Param());
    rec.StartCapture();
    EXPECT_NE(rec.GetErrorCode(), 0);
    EXPECT_NE(rec.GetErrorText().indexOf("sound server"), -1) << rec.GetErrorText().toStdString();

    TAudioPlayer2 player(none);
    player.SetFormat(f.Handle(), f.Param());
    EXPECT_THROW(player.StartPlayback(), ComponentError);
    setenv("PULSE_SERVER", saved.c_str(), 1);

    // The same backend connects once the server is there again.
    EXPECT_GE(rec.GetMaxDeviceIndex(), 3);
}

} // namespace

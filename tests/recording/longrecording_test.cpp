// Recordings of many hours over the simulated sound server, in every output format: the time
// shown stays exact to the block, the file holds every block and plays to its end (read back
// after a seek near the end, by the program and by FFmpeg), and memory does not grow with the
// length. The WAV recording runs 100 hours and so passes 2^31 frames and 4 GiB (RF64).

#include "dayrecording.h"

#include <gtest/gtest.h>

namespace {

constexpr std::int64_t kHourMs = 60LL * 60 * 1000;
constexpr std::int64_t kMiB = 1 << 20;

struct LongCase {
    DayFormat format;
    int hours;
    // How far past the recorded frames a reader may find the file's end: 0 where the container
    // records the length in frames. A WMA file ends on a whole codec frame, and its ASF header
    // also counts the frame the decoder spends priming: up to two frames over.
    std::int64_t slackFrames;
};
// Test names instead of byte dumps in reports.
void PrintTo(const LongCase& c, std::ostream* os) {
    *os << c.format.name;
}

// Runs the recording hour by hour, holding the time shown and the size shown to the recording at
// every hour, and the heap to what it was after the first hour.
void RecordHours(DayRecorder& day, int hours) {
    ASSERT_TRUE(day.Start()) << day.Rig().prompts.messages.join("\n").toStdString();
    std::int64_t heapAfterFirstHour = 0;
    for (int h = 1; h <= hours; ++h) {
        day.Advance(kHourMs);
        ASSERT_TRUE(day.Rig().state.recording)
            << "hour " << h << ": " << day.Rig().prompts.messages.join("\n").toStdString();
        ASSERT_EQ(day.Shown(), FormatElapsed(day.ElapsedMs())) << "hour " << h;
        ASSERT_EQ(day.Rig().state.sample_pos, day.ElapsedFrames()) << "hour " << h;
        ASSERT_EQ(day.ShownSize(), QString::number(QFileInfo(day.Path()).size() / 1024) + " KB");
        if (h == 1)
            heapAfterFirstHour = HeapInUse();
    }
    const std::int64_t growth = HeapInUse() - heapAfterFirstHour;
    ::testing::Test::RecordProperty("heap_growth_bytes", std::to_string(growth));
    EXPECT_LT(growth, kMiB) << "heap grew by " << growth << " bytes from hour 1 to hour " << hours;
}

// The finished file: listed with the final time, and everything recorded there after a seek near
// the end, for the program's reader and for FFmpeg.
void CheckFinishedFile(DayRecorder& day, std::int64_t slackFrames) {
    const DayFormat& f = day.Format();
    const std::int64_t frames = day.ElapsedFrames();
    ASSERT_EQ(day.Rig().list.entries.size(), 1u);
    EXPECT_EQ(day.Rig().list.entries[0].time, FormatElapsed(day.ElapsedMs()));
    EXPECT_TRUE(day.Rig().prompts.messages.isEmpty())
        << day.Rig().prompts.messages.join("\n").toStdString();

    const TailRead own = ReadTail(day.Path(), f, 5000);
    EXPECT_EQ(own.rate, f.rate);
    EXPECT_GE(own.lengthFrames, frames);
    EXPECT_LE(own.lengthFrames, frames + slackFrames);
    const std::int64_t end =
        std::max<std::int64_t>(own.lengthFrames - 5 * f.rate, 0) + own.tailFrames;
    EXPECT_GE(end, frames) << "the last " << frames - end << " frames are missing";
    EXPECT_LE(end, frames + slackFrames);
    EXPECT_NEAR(own.toneHz, 440, 15);

    // FFmpeg's duration of an MP3 also counts the encoder's delay and padding (0.14 s here);
    // what it decodes ends where the recording ended.
    const double slackS = static_cast<double>(slackFrames) / f.rate;
    const FfmpegTail ff = FfmpegReadTail(day.Path(), f, 10000);
    EXPECT_NEAR(ff.durationS, day.ElapsedMs() / 1000.0, slackS + 0.2);
    EXPECT_GE(ff.endS, day.ElapsedMs() / 1000.0 - 0.05);
    EXPECT_LE(ff.endS, day.ElapsedMs() / 1000.0 + slackS + 0.05);
    EXPECT_NEAR(ff.toneHz, 440, 15);
}

class LongRecording : public ::testing::TestWithParam<LongCase> {};

} // namespace

TEST_P(LongRecording, TimeLengthAndMemoryHoldForHours) {
    const LongCase& c = GetParam();
    DayRecorder day(c.format);
    RecordHours(day, c.hours);
    if (HasFatalFailure())
        return;
    day.Stop();
    CheckFinishedFile(day, c.slackFrames);
}

INSTANTIATE_TEST_SUITE_P(Formats, LongRecording,
                         ::testing::Values(LongCase{dayformats::Mp3(), 3, 0},
                                           LongCase{dayformats::Ogg(), 3, 0},
                                           LongCase{dayformats::Wma(), 3, 1024},
                                           LongCase{dayformats::Raw(), 3, 0}),
                         [](const auto& info) { return std::string(info.param.format.name); });

TEST(LongRecording, WavPastFourGiBShowsAHundredHoursAndPlaysToItsEnd) {
    // 6000 Hz mono 16-bit: 2^31 frames, and with them 4 GiB of data, after 99.4 hours.
    const std::int64_t fileBytes = 100 * 3600LL * 6000 * 2;
    ASSERT_GT(FreeBytesAtHome(), fileBytes + (1LL << 30))
        << "this test writes " << fileBytes / kMiB << " MiB into "
        << QDir::homePath().toStdString();
    DayRecorder day(dayformats::Wav(0, 6000));
    RecordHours(day, 100);
    if (HasFatalFailure())
        return;
    EXPECT_EQ(day.Shown(), "100:00:00");
    EXPECT_GT(day.ElapsedFrames(), std::int64_t{1} << 31);
    day.Stop();
    QFile file(day.Path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.read(4), "RF64");
    EXPECT_GE(file.size(), fileBytes);
    file.close();
    CheckFinishedFile(day, 0);
}

#include "appstate.h"

#include <gtest/gtest.h>

TEST(ElapsedText, HoursMinutesSecondsAndLongRecordings) {
    EXPECT_EQ(FormatElapsed(0), "00:00:00");
    EXPECT_EQ(FormatElapsed(3599999), "00:59:59");
    EXPECT_EQ(FormatElapsed(3600000), "01:00:00");
    EXPECT_EQ(FormatElapsed(3723000 + 999), "01:02:03");
    EXPECT_EQ(FormatElapsed(100LL * 3600 * 1000), "100:00:00");
    // 14 hours at 44.1 kHz is past 2^31 frames; the text must not wrap.
    EXPECT_EQ(FormatElapsed(14LL * 3600 * 1000), "14:00:00");
}

TEST(MulDivRounding, MatchesTheWindowsFunction) {
    EXPECT_EQ(MulDiv(9820, 326, 10000), 320);
    EXPECT_EQ(MulDiv(0, 326, 10000), 0);
    EXPECT_EQ(MulDiv(1, 1, 2), 1) << "halves round away from zero";
    EXPECT_EQ(MulDiv(-1, 1, 2), -1);
    EXPECT_EQ(MulDiv(5, 5, 0), -1);
    const std::int64_t length = 44100LL * 3600 * 20; // 20 h of frames
    EXPECT_EQ(MulDiv(9800, length, 9820), (9800 * length + 4910) / 9820);
}

#include "pcmformat.h"

TEST(FramesToMs, LongAndAbsurdLengthsGiveANumber) {
    EXPECT_EQ(FramesToMs(44100LL * 3600 * 100, 44100), 100LL * 3600 * 1000);
    EXPECT_EQ(FramesToMs(3LL << 31, 44100), (3LL << 31) * 1000 / 44100) << "past 2^31 frames";
    // A damaged header may claim 1.4e16 frames; the product must not overflow.
    EXPECT_EQ(FramesToMs(14757394379360384LL, 8000), 14757394379360384LL / 8);
    EXPECT_EQ(FramesToMs(INT64_MAX, 1), INT64_MAX);
    EXPECT_EQ(FramesToMs(100, 0), 0);
}

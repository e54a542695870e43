#include "appstate.h"

#include <gtest/gtest.h>
#include <limits>

TEST(ElapsedText, HoursMinutesSecondsAndLongRecordings) {
    EXPECT_EQ(FormatElapsed(0), "00:00:00");
    EXPECT_EQ(FormatElapsed(3599999), "00:59:59");
    EXPECT_EQ(FormatElapsed(3600000), "01:00:00");
    EXPECT_EQ(FormatElapsed(3723000 + 999), "01:02:03");
    EXPECT_EQ(FormatElapsed(100LL * 3600 * 1000), "100:00:00");
    // 14 hours at 44.1 kHz is past 2^31 frames; the text must not wrap.
    EXPECT_EQ(FormatElapsed(14LL * 3600 * 1000), "14:00:00");
    EXPECT_EQ(FormatElapsed((9 * 3600 + 59 * 60 + 59) * 1000LL + 999), "09:59:59");
    EXPECT_EQ(FormatElapsed(-1), "00:00:00");
    EXPECT_EQ(FormatElapsed(std::numeric_limits<std::int64_t>::max()), "2562047788015:12:55");
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

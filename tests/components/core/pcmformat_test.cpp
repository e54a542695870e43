#include "pcmformat.h"

#include <cstdint>
#include <gtest/gtest.h>

TEST(FramesToMs, LongAndAbsurdLengthsGiveANumber) {
    EXPECT_EQ(FramesToMs(44100LL * 3600 * 100, 44100), 100LL * 3600 * 1000);
    EXPECT_EQ(FramesToMs(3LL << 31, 44100), (3LL << 31) * 1000 / 44100) << "past 2^31 frames";
    // A damaged header may claim 1.4e16 frames; the product must not overflow.
    EXPECT_EQ(FramesToMs(14757394379360384LL, 8000), 14757394379360384LL / 8);
    EXPECT_EQ(FramesToMs(INT64_MAX, 1), INT64_MAX);
    EXPECT_EQ(FramesToMs(100, 0), 0);
}

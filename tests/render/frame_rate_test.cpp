// The frame-rate read-out's latch: it shows the number of read-out frames counted
// between two changes of the local-time seconds field, starting from 42.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "render/renderer.h"

class FrameRateTest : public ::testing::Test {
 protected:
  // The read-out state is process-wide; every case starts it as the program does.
  void SetUp() override {
    g_frameCount = 42;
    g_shownFrameRate = 42;
    g_lastSecond = 0;
    g_frameRateText[0] = '\0';
  }
};

TEST_F(FrameRateTest, FirstFrameAtANonZeroSecondShows43) {
  countReadOutFrame(17);
  EXPECT_STREQ(g_frameRateText, "43");
  EXPECT_EQ(g_shownFrameRate, 43);
  EXPECT_EQ(g_frameCount, 0);
  EXPECT_EQ(g_lastSecond, 17);
}

TEST_F(FrameRateTest, StartAtSecondZeroShows42UntilTheSecondChangesThenIncludesIt) {
  countReadOutFrame(0);
  EXPECT_STREQ(g_frameRateText, "42");
  countReadOutFrame(0);
  EXPECT_STREQ(g_frameRateText, "42");
  // The starting 42 plus the three frames seen since.
  countReadOutFrame(1);
  EXPECT_STREQ(g_frameRateText, "45");
  EXPECT_EQ(g_frameCount, 0);
}

TEST_F(FrameRateTest, SameSecondDoesNotLatchAndTheNextChangeCountsOnlyNewFrames) {
  countReadOutFrame(30);
  countReadOutFrame(30);
  countReadOutFrame(30);
  EXPECT_STREQ(g_frameRateText, "43");
  EXPECT_EQ(g_frameCount, 2);
  countReadOutFrame(31);
  EXPECT_STREQ(g_frameRateText, "3");
  // Only inequality counts: a jump of many seconds latches like a step of one.
  countReadOutFrame(5);
  EXPECT_STREQ(g_frameRateText, "1");
}

TEST_F(FrameRateTest, TextIsPlainDecimalWithoutPadding) {
  g_frameCount = 1232;
  countReadOutFrame(9);
  EXPECT_STREQ(g_frameRateText, "1233");
  g_frameCount = INT_MAX - 1;
  countReadOutFrame(10);
  EXPECT_STREQ(g_frameRateText, "2147483647");
  g_frameCount = 6;
  countReadOutFrame(11);
  EXPECT_STREQ(g_frameRateText, "7");
}

// Angle tables on the 3.1415 scale and the heading of a direction.
#include <gtest/gtest.h>

#include <cmath>

#include "sim/angles.h"

class AngleTables : public ::testing::Test {
 protected:
  void SetUp() override {
    initAngleTables();
  }
};

TEST_F(AngleTables, UseFourDecimalsOfPiNotPi) {
  EXPECT_EQ(sinTable[0], 0.0);
  EXPECT_EQ(cosTable[0], 1.0);
  EXPECT_NEAR(sinTable[90], 0.9999999989, 1e-10);
  EXPECT_NEAR(cosTable[90], 4.63e-5, 1e-7);
  EXPECT_NEAR(sinTable[180], 9.27e-5, 1e-7);
  EXPECT_NEAR(cosTable[180], -0.9999999957, 1e-10);
  EXPECT_GT(sinTable[180], 0.0) << "half a turn is short of pi on this scale";
}

struct HeadingCase {
  double dx;
  double dz;
  int heading;
};

TEST(HeadingTo, CoversEveryQuadrantAndAxis) {
  const HeadingCase cases[] = {
      {1, 0, 90},   {0, 1, 0},       {0, -1, 180}, {-1, 0, 270}, {0, 0, 0},
      {-0.0, 5, 0}, {-0.0, -5, 180}, {1, 1, 45},   {1, -1, 135}, {-1, -1, 225},
      {-1, 1, 315}, {3, 4, 37},      {4, 3, 53},   {3, -4, 143}, {-3, -4, 217},
  };
  for (const HeadingCase& c : cases) {
    EXPECT_EQ(headingTo(c.dx, c.dz), c.heading) << "direction (" << c.dx << ", " << c.dz << ")";
  }
}

TEST(HeadingTo, RoundsHalfDownAndKeeps360UnFolded) {
  // Just west of +z the raw heading passes 359.5 and rounds up to 360, not 0.
  EXPECT_EQ(headingTo(-1, 200), 360);
  EXPECT_EQ(headingTo(-1, 100), 359);
  // Just east of +z the raw heading dips below 0 (the 3.1415 scale overshoots 90).
  EXPECT_EQ(headingTo(1, 1e9), 0);
  // Just west of -z the raw heading is 179.9973 and rounds up.
  EXPECT_EQ(headingTo(-1, -1e9), 180);
}

// The ratio whose arc tangent is the given number of degrees on the 3.1415 scale.
static double ratioFor(double degrees) {
  return tan(degrees * kPiApprox / 180.0);
}

TEST(HeadingTo, RoundsAnExactHalfDown) {
  EXPECT_EQ(headingTo(1, ratioFor(44.5)), 45) << "r = 45.5";
  EXPECT_EQ(headingTo(1, ratioFor(44.4)), 46) << "r = 45.6";
  EXPECT_EQ(headingTo(-1, ratioFor(0.5)), 270) << "r = 270.5";
  EXPECT_EQ(headingTo(-1, ratioFor(0.6)), 271) << "r = 270.6";
}

TEST(HeadingTo, NeverLeavesZeroTo360) {
  for (int i = -50; i <= 50; i++) {
    for (int j = -50; j <= 50; j++) {
      int h = headingTo(i * 0.37, j * 1.91);
      EXPECT_GE(h, 0);
      EXPECT_LE(h, 360);
    }
  }
}

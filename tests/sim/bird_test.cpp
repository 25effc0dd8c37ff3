// Bird motion: impulses folded into clamped rates, whole-degree heading and pitch.
#include <gtest/gtest.h>

#include "sim/angles.h"
#include "sim/bird.h"

// A level bird at (100, 40, 100) with speed 1 and the given heading and turn rate.
static Bird birdAt(int heading, float turnRate) {
  initAngleTables();
  Bird b;
  b.x = 100;
  b.y = 40;
  b.z = 100;
  b.speed = 1;
  b.heading = heading;
  b.pitch = 0;
  b.turnRate = turnRate;
  b.turnImpulse = 0;
  b.climbImpulse = 0;
  b.cruiseAltitude = 40;
  return b;
}

// The heading after one advance from this heading at this turn rate.
static int headingAfterAdvance(int heading, float turnRate) {
  Bird b = birdAt(heading, turnRate);
  b.advance();
  return b.heading;
}

TEST(BirdAdvance, WrapsTheHeadingThroughNorthBothWays) {
  EXPECT_EQ(headingAfterAdvance(359, 2.5f), 1);
  EXPECT_EQ(headingAfterAdvance(0, -3), 357);
}

TEST(BirdAdvance, TurnsOnlyByWholeDegrees) {
  EXPECT_EQ(headingAfterAdvance(50, 0.9f), 50);
  EXPECT_EQ(headingAfterAdvance(50, -0.9f), 50);
  EXPECT_EQ(headingAfterAdvance(50, -1.5f), 49);
  EXPECT_EQ(headingAfterAdvance(50, 1.999f), 51);
}

TEST(BirdAdvance, ClampsTurnRateAndConsumesTheImpulse) {
  Bird b = birdAt(100, 0);
  b.turnImpulse = 10;
  b.advance();
  EXPECT_EQ(b.turnRate, 3.0f);
  EXPECT_EQ(b.heading, 103);
  EXPECT_EQ(b.turnImpulse, 0.0f);

  b.turnImpulse = -20;
  b.advance();
  EXPECT_EQ(b.turnRate, -3.0f);
  EXPECT_EQ(b.heading, 100);
}

TEST(BirdAdvance, EncodesPitchAndClimbsBySineOfIt) {
  Bird b = birdAt(0, 0);
  b.climbAngle = -0.5f;
  b.advance();
  EXPECT_EQ(b.pitch, 0);
  EXPECT_EQ(b.y, 40.0f) << "a climb angle under one degree flies level";

  b = birdAt(0, 0);
  b.climbAngle = -1.0f;
  b.advance();
  EXPECT_EQ(b.pitch, 359);
  EXPECT_NEAR(b.y, 40.0f - 0.01764f, 1e-4);

  b = birdAt(0, 0);
  b.climbImpulse = 45;  // past the limit
  b.advance();
  EXPECT_EQ(b.climbAngle, 30.0f);
  EXPECT_EQ(b.pitch, 30);
  EXPECT_NEAR(b.y, 40.0f + 0.49999f, 1e-4);
  EXPECT_EQ(b.climbImpulse, 0.0f);

  b = birdAt(0, 0);
  b.climbImpulse = -31;
  b.advance();
  EXPECT_EQ(b.climbAngle, -30.0f);
  EXPECT_EQ(b.pitch, 330);
}

TEST(BirdAdvance, StepsAlongTheHeadingWithoutShrinkingWhenClimbing) {
  Bird b = birdAt(90, 0);
  b.climbAngle = 30;
  b.advance();
  EXPECT_NEAR(b.x, 101.0f, 1e-5);
  EXPECT_NEAR(b.z, 100.0f, 1e-3);
  EXPECT_GT(b.y, 40.4f);

  b = birdAt(180, 0);
  b.advance();
  EXPECT_NEAR(b.z, 99.0f, 1e-5);
}

struct TurnCase {
  int heading;
  int target;
  float expected;  // turn impulse after turnToward(target, 1)
};

TEST(BirdTurnToward, TurnsTheShortWayAndPrefersUpwardAtHalfACircle) {
  const TurnCase cases[] = {
      {10, 350, -1},  // the short way back through north
      {350, 10, 1},   // the short way on through north
      {90, 270, 1},   // half a circle: upward
      {270, 90, 1},   // half a circle from above: upward too
      {0, 360, -1},   // 360 compares as a number, 360 - 0 > 180
      {359, 360, 1},  // one degree up
      {45, 45, 0},    // on course
      {100, 120, 1}, {120, 100, -1}, {0, 181, -1}, {181, 0, 1},
  };
  for (const TurnCase& c : cases) {
    Bird b = birdAt(c.heading, 0);
    b.turnToward(c.target, 1.0f);
    EXPECT_EQ(b.turnImpulse, c.expected) << "heading " << c.heading << " target " << c.target;
  }
}

TEST(BirdTurnToward, AccumulatesAmounts) {
  Bird b = birdAt(0, 0);
  b.turnToward(90, 0.15f);
  b.turnToward(90, 0.1f);
  b.turnToward(270, 0.05f);
  EXPECT_FLOAT_EQ(b.turnImpulse, 0.2f);
}

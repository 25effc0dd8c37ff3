// The camera rig in both modes.
#include <gtest/gtest.h>

#include <cstdlib>

#include "sim/angles.h"
#include "sim/world.h"

class CameraTest : public ::testing::Test {
 protected:
  void SetUp() override {
    initAngleTables();
    srand(5);
    world = new World();
  }
  void TearDown() override {
    delete world;
  }

  void headAll(int heading, float speed) {
    for (int i = 0; i < kFlockSize; i++) {
      world->birds[i].heading = heading;
      world->birds[i].speed = speed;
    }
  }

  World* world;
};

TEST_F(CameraTest, BirdControlLooksAlongBirdZerosHeading) {
  const int headings[] = {0, 90, 180, 270, 1, 359};
  const int yaws[] = {180, 90, 0, 270, 179, 181};
  for (int k = 0; k < 6; k++) {
    world->birds[0].heading = headings[k];
    world->updateCamera();
    EXPECT_EQ(world->cameraYaw, yaws[k]) << "heading " << headings[k];
  }
}

TEST_F(CameraTest, BirdControlSitsThirteenUnitsBehindAndLevelWithBirdZero) {
  Bird& b = world->birds[0];
  b.x = 500;
  b.y = 30;
  b.z = 500;
  b.heading = 90;
  world->cameraPitch = 7;  // left alone in this mode
  world->updateCamera();
  EXPECT_NEAR(world->cameraX, 487.0f, 1e-3);
  EXPECT_EQ(world->cameraY, 30.0f);
  EXPECT_NEAR(world->cameraZ, 500.0f, 1e-2);
  EXPECT_EQ(world->cameraPitch, 7);
}

TEST_F(CameraTest, SmartFollowTrailsTheFlockAlongItsMeanHeading) {
  headAll(90, 1);
  float mx = 0;
  float my = 0;
  float mz = 0;
  for (int i = 0; i < kFlockSize; i++) {
    mx += world->birds[i].x;
    my += world->birds[i].y;
    mz += world->birds[i].z;
  }
  mx /= kFlockSize;
  my /= kFlockSize;
  mz /= kFlockSize;
  world->cameraMode = CameraMode::SmartFollow;
  world->cameraPitch = 7;
  world->updateCamera();
  EXPECT_EQ(world->cameraYaw, 90);
  EXPECT_EQ(world->cameraPitch, 0);
  EXPECT_EQ(world->cameraY, my);
  EXPECT_NEAR(world->cameraX, mx - 130, 1e-2);
  EXPECT_NEAR(world->cameraZ, mz, 1e-2);
}

TEST_F(CameraTest, SmartFollowYawIsNeverNegative) {
  world->cameraMode = CameraMode::SmartFollow;
  for (int h = 0; h < 360; h++) {
    headAll(h, 1);
    world->updateCamera();
    int expected = h <= 180 ? 180 - h : 540 - h;
    EXPECT_EQ(world->cameraYaw, expected) << "mean heading " << h;
  }
  // A quarter of the flock a degree west of north: the mean velocity lies within half a
  // degree of +z on the -x side, where headingTo gives 360, the same direction as 0.
  headAll(0, 1);
  for (int i = 0; i < kFlockSize / 4; i++) {
    world->birds[i].heading = 359;
  }
  ASSERT_EQ(headingTo(sinTable[359] / 4, (cosTable[359] + 3) / 4), 360);
  world->updateCamera();
  EXPECT_EQ(world->cameraYaw, 180) << "mean heading 360";
}

TEST_F(CameraTest, SmartFollowWithoutMeanVelocityStandsAtTheCentreFacingPlusZ) {
  headAll(37, 0);
  world->cameraMode = CameraMode::SmartFollow;
  world->updateCamera();
  EXPECT_EQ(world->cameraYaw, 180);
  float mx = 0;
  for (int i = 0; i < kFlockSize; i++) {
    mx += world->birds[i].x;
  }
  EXPECT_EQ(world->cameraX, mx / kFlockSize);
}

TEST_F(CameraTest, SpreadHeadingsBringTheCameraCloser) {
  world->cameraMode = CameraMode::SmartFollow;
  for (int i = 0; i < kFlockSize; i++) {
    world->birds[i].x = 500;
    world->birds[i].z = 500;
    world->birds[i].heading = (i % 2) ? 45 : 135;  // mean velocity (0.707, 0): east
  }
  world->updateCamera();
  EXPECT_EQ(world->cameraYaw, 90);
  EXPECT_NEAR(world->cameraX, 500 - 130 * 0.7071f, 0.1);
}

TEST_F(CameraTest, ReturningToBirdControlKeepsThePitchLevel) {
  world->cameraMode = CameraMode::SmartFollow;
  world->updateCamera();
  world->cameraMode = CameraMode::BirdControl;
  world->updateCamera();
  EXPECT_EQ(world->cameraPitch, 0);
  EXPECT_EQ(world->cameraY, world->birds[0].y);
}

// A long flight with random keys, camera switches and new landscapes: every bird stays
// within the ranges the renderer and the tables rely on.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>

#include "sim/angles.h"
#include "sim/world.h"

static void expectBirdInRange(const Bird& b, int tick, int index) {
  ASSERT_TRUE(b.heading >= 0 && b.heading <= 359) << "tick " << tick << " bird " << index;
  ASSERT_TRUE((b.pitch >= 0 && b.pitch <= 30) || (b.pitch >= 330 && b.pitch <= 359))
      << "pitch " << b.pitch << " tick " << tick << " bird " << index;
  ASSERT_TRUE(b.turnRate >= -3 && b.turnRate <= 3) << "tick " << tick;
  ASSERT_TRUE(b.climbAngle >= -30 && b.climbAngle <= 30) << "tick " << tick;
  ASSERT_TRUE(std::isfinite(b.x) && std::isfinite(b.y) && std::isfinite(b.z)) << "tick " << tick;
}

TEST(FlockSoak, TwoHundredThousandTicksStayInRange) {
  initAngleTables();
  srand(424242);
  World world;
  std::mt19937 input(7);  // its own generator: the flock's rand() sequence stays the world's
  const int arrows[] = {kKeyLeft, kKeyUp, kKeyRight, kKeyDown};
  for (int tick = 0; tick < 200000; tick++) {
    if (input() % 16 == 0) {
      world.keys[arrows[input() % 4]] = static_cast<int>(input() % 2);
    }
    if (input() % 500 == 0) {
      world.cameraMode = (input() % 2) ? CameraMode::BirdControl : CameraMode::SmartFollow;
    }
    if (input() % 5000 == 0) {
      world.terrain->flat = static_cast<int>(input() % 2);
      world.terrain->regenerate();
    }
    world.step();
    for (int i = 0; i < kFlockSize; i++) {
      expectBirdInRange(world.birds[i], tick, i);
    }
    ASSERT_TRUE(world.cameraYaw >= 0 && world.cameraYaw <= 359);
    ASSERT_TRUE(world.goalX >= 0 && world.goalX < 1000);
  }
}

// The flock step: construction order of random draws, steering rules, user control,
// goal re-picks and determinism.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "sim/angles.h"
#include "sim/world.h"
#include "tests/sim/draws.h"

class WorldTest : public ::testing::Test {
 protected:
  void SetUp() override {
    initAngleTables();
    srand(1234);
    world = new World();
  }
  void TearDown() override {
    delete world;
  }

  // Puts the whole flock on one point with one heading, level, with a goal straight
  // ahead, so that no flocking rule turns bird 0 unless a test changes something.
  void gatherFlock(float x, float y, float z, int heading) {
    for (int i = 0; i < kFlockSize; i++) {
      Bird& b = world->birds[i];
      b.x = x;
      b.y = y;
      b.z = z;
      b.heading = heading;
      b.pitch = 0;
      b.turnRate = 0;
      b.climbAngle = 0;
      b.cruiseAltitude = y;
    }
    world->goalX = static_cast<int>(x + 300 * sinTable[heading]);
    world->goalZ = static_cast<int>(z + 300 * cosTable[heading]);
  }

  // Bird 0 west of a flock flying `heading`, itself heading north toward a goal straight
  // ahead: cohesion turns it by +0.15 toward the flock's centre.
  void westOfFlock(int heading) {
    gatherFlock(500, 45, 500, heading);
    world->birds[0].heading = 0;
    world->birds[0].x = 400;
    world->goalX = 400;
    world->goalZ = 900;
  }

  // Steers bird i once, its one draw for a cruise-altitude re-pick scripted as `draws`
  // (by default a losing one); returns the draws the steering took.
  int steer(int i, const std::vector<int>& draws = {0}) {
    srand(1);
    scriptDraws(draws);
    world->steerBird(i, flockMean(world->birds));
    return drawsSoFar();
  }

  World* world;
};

TEST_F(WorldTest, StartsWithTheDocumentedCameraKeysAndFlock) {
  EXPECT_TRUE(world->cameraX == 100 && world->cameraY == 25 && world->cameraZ == 200);
  EXPECT_TRUE(world->cameraPitch == 0 && world->cameraYaw == 0);
  EXPECT_EQ(world->cameraMode, CameraMode::BirdControl);
  for (int k = 0; k < kKeySlots; k++) {
    EXPECT_EQ(world->keys[k], 0);
  }
  EXPECT_EQ(world->terrain->flat, 0) << "the first landscape is hilly";
  for (int i = 0; i < kFlockSize; i++) {
    const Bird& b = world->birds[i];
    EXPECT_TRUE(b.cruiseAltitude == b.y && b.heading == 0 && b.speed == 1 && b.turnRate == 0) << i;
  }
}

// After the terrain's draws, three a bird (x, altitude, z) in flock order, then two for the
// goal: birds start at 150..349 in x and z and 10..49 high, the goal at 0..999.
TEST_F(WorldTest, DrawsTerrainThenBirdsThenGoal) {
  srand(99);
  Terrain terrain;
  terrain.regenerate();
  int terrainDraws = drawsSoFar();
  std::vector<int> draws;
  for (int i = 0; i < kFlockSize; i++) {
    draws.insert(draws.end(), {i, 40 + i, 199 + 200 * (i % 2)});
  }
  draws.insert(draws.end(), {999, 1000});
  srand(99);
  scriptDraws(draws, terrainDraws);
  World w;
  EXPECT_EQ(memcmp(w.terrain->heights, terrain.heights, sizeof terrain.heights), 0);
  EXPECT_EQ(memcmp(w.terrain->treeSites, terrain.treeSites, sizeof terrain.treeSites), 0);
  for (int i = 0; i < kFlockSize; i++) {
    const Bird& b = w.birds[i];
    EXPECT_TRUE(b.x == 150.0f + static_cast<float>(i) && b.y == 10.0f + static_cast<float>(i) &&
                b.z == 349.0f)
        << i;
  }
  EXPECT_EQ(w.goalX, 999);
  EXPECT_EQ(w.goalZ, 0);
}

TEST_F(WorldTest, CohesionAndAlignmentAddNothingToAGatheredFlock) {
  gatherFlock(500, 45, 500, 0);
  steer(0);
  EXPECT_TRUE(world->birds[0].turnImpulse == 0 && world->birds[0].climbImpulse == 0);
}

TEST_F(WorldTest, CohesionPullsTowardTheCentreAndAlignmentAlongTheMeanHeading) {
  westOfFlock(0);  // the centre lies toward +x, heading 90
  steer(0);
  EXPECT_FLOAT_EQ(world->birds[0].turnImpulse, 0.15f);

  // Now the flock flies east: cohesion and alignment both turn bird 0 east.
  westOfFlock(90);
  steer(0);
  EXPECT_FLOAT_EQ(world->birds[0].turnImpulse, 0.15f + 0.1f);
}

TEST_F(WorldTest, GoalPullsAndDampingEasesTheTurnInDoublePrecision) {
  gatherFlock(500, 45, 500, 0);
  world->goalX = 900;  // due east of the flock's course
  world->goalZ = 500;
  steer(0);
  EXPECT_FLOAT_EQ(world->birds[0].turnImpulse, 0.05f);

  // A turning bird west of the centre (cohesion +0.15) while the flock flies a little
  // west of north (alignment -0.1): the damping of 0.05 is taken in double and stored
  // back into the float impulse, which differs from a single-precision step here.
  float beforeDamping = 0.15f;
  beforeDamping += -0.1f;
  float dampedDown = static_cast<float>(beforeDamping - 0.05);
  float dampedUp = static_cast<float>(beforeDamping + 0.05);
  ASSERT_NE(dampedDown, beforeDamping - 0.05f);
  ASSERT_NE(dampedUp, beforeDamping + 0.05f);

  westOfFlock(340);
  Bird& b = world->birds[0];
  b.turnRate = 1;
  steer(0);
  EXPECT_EQ(b.turnImpulse, dampedDown);

  b.turnRate = -1;
  steer(0);
  EXPECT_EQ(b.turnImpulse, dampedUp);
}

TEST_F(WorldTest, AltitudeRuleHoldsTheCruiseBand) {
  const struct {
    float y, cruise, climbAngle, impulse;
  } cases[] = {
      {60, 45, 0, -0.1f},     // above the band
      {45.5f, 45, 2, -0.1f},  // in the band, climbing: level out
      {45.5f, 45, -2, 0.1f},  // in the band, diving: level out
      {45.5f, 45, 0, 0},      // in the band and level
      {40, 45, 0, 0.1f},      // below the band
      {20, 19.5f, 0, 0.5f},   // in a low band: keep climbing
  };
  for (const auto& c : cases) {
    gatherFlock(500, c.y, 500, 0);
    world->terrain->flat = 1;
    world->terrain->regenerate();
    Bird& b = world->birds[0];
    b.cruiseAltitude = c.cruise;
    b.climbAngle = c.climbAngle;
    steer(0);
    EXPECT_EQ(b.climbImpulse, c.impulse) << "y " << c.y << " cruise " << c.cruise;
  }
}

// One draw in a hundred wins (42 of 0..99), and the next gives an altitude of 40..49.
TEST_F(WorldTest, CruiseAltitudeIsRepickedOnAWinningDraw) {
  gatherFlock(500, 45, 500, 0);
  EXPECT_EQ(steer(0, {41}), 1);
  EXPECT_EQ(world->birds[0].cruiseAltitude, 45.0f);
  EXPECT_EQ(steer(0, {42, 7}), 2);
  EXPECT_EQ(world->birds[0].cruiseAltitude, 47.0f);
  steer(0, {142, 19});
  EXPECT_EQ(world->birds[0].cruiseAltitude, 49.0f);
  steer(0, {42, 10});
  EXPECT_EQ(world->birds[0].cruiseAltitude, 40.0f);
}

// With a cruise altitude of 0 the altitude rule alone gives -0.1 at these heights.
TEST_F(WorldTest, GroundRuleClimbsCloseAboveTheStoredSample) {
  gatherFlock(205, 12, 305, 0);  // cell (10, 15)
  world->terrain->flat = 1;
  world->terrain->regenerate();
  world->terrain->heights[10 * kTerrainSamples + 15] = 8;  // drawn at 80, compared at 8
  Bird& b = world->birds[0];
  b.cruiseAltitude = 0;
  steer(0);
  EXPECT_FLOAT_EQ(b.climbImpulse, -0.1f + 0.5f) << "12 - 5 < 8";

  b.y = 13.5f;
  steer(0);
  EXPECT_EQ(b.climbImpulse, -0.1f) << "13.5 - 5 is not below 8";

  b.y = 60;
  world->terrain->heights[10 * kTerrainSamples + 15] = 58;
  steer(0);
  EXPECT_FLOAT_EQ(b.climbImpulse, -0.1f + 0.5f);
}

TEST_F(WorldTest, GroundRuleTreatsEverythingBeyondTheLandAsWater) {
  world->terrain->flat = 1;
  world->terrain->regenerate();
  const float outside[][2] = {{-100, 500}, {500, -21}, {1000, 500}, {500, 1e7f}, {-20, 0}};
  for (const auto& at : outside) {
    gatherFlock(at[0], 3, at[1], 0);
    Bird& b = world->birds[0];
    b.cruiseAltitude = 0;
    steer(0);
    EXPECT_FLOAT_EQ(b.climbImpulse, -0.1f + 0.5f) << "3 - 5 < 0 over the water";
    b.y = 6;
    steer(0);
    EXPECT_EQ(b.climbImpulse, -0.1f) << "6 - 5 is not below the water";
  }
  // Just inside the first cell the edge sample is read.
  world->terrain->heights[0] = 2;
  gatherFlock(-19.5f, 6, 0, 0);
  world->birds[0].cruiseAltitude = 0;
  steer(0);
  EXPECT_FLOAT_EQ(world->birds[0].climbImpulse, -0.1f + 0.5f);
  gatherFlock(-20.5f, 6, 0, 0);
  world->birds[0].cruiseAltitude = 0;
  steer(0);
  EXPECT_EQ(world->birds[0].climbImpulse, -0.1f);
}

TEST_F(WorldTest, ArrowKeysOverrideBirdZeroInBirdControl) {
  westOfFlock(0);  // cohesion would turn it by +0.15
  steer(0);
  world->keys[kKeyLeft] = 1;
  world->applyUserControl();
  EXPECT_EQ(world->birds[0].turnImpulse, 0.5f);

  world->keys[kKeyRight] = 1;
  world->applyUserControl();
  EXPECT_EQ(world->birds[0].turnImpulse, -0.5f) << "right wins over left";

  world->keys[kKeyUp] = 1;
  world->applyUserControl();
  EXPECT_EQ(world->birds[0].climbImpulse, 3.0f);
  world->keys[kKeyDown] = 1;
  world->applyUserControl();
  EXPECT_EQ(world->birds[0].climbImpulse, -3.0f) << "down wins over up";
}

TEST_F(WorldTest, ArrowKeysSteerNothingInSmartFollow) {
  gatherFlock(500, 45, 500, 0);
  world->cameraMode = CameraMode::SmartFollow;
  world->keys[kKeyLeft] = 1;
  world->keys[kKeyUp] = 1;
  world->birds[0].pitch = 20;
  steer(0);
  world->applyUserControl();
  EXPECT_TRUE(world->birds[0].turnImpulse == 0 && world->birds[0].climbImpulse == 0);
}

TEST_F(WorldTest, BirdZeroLevelsOutWhenNoVerticalKeyIsHeld) {
  // The climb impulse (steering left 0) and the climb angle afterwards.
  const struct {
    int pitch;
    float climbAngle, impulse, climbAfter;
  } cases[] = {
      {10, 10.5f, -0.5f, 10.5f},  // climbing
      {350, -10, 0.5f, -10},      // diving
      {180, 0, 0.5f, 0},          // 180 counts as diving
      {0, 0.5f, 0, 0},            // exactly half a degree: snapped level
      {0, -0.5f, 0, 0},          {0, 0.7f, -0.5f, 0.7f}, {0, -0.7f, 0.5f, -0.7f},
      {0, 0.3f, 0, 0.3f},  // within half a degree: the rules keep their say
  };
  for (const auto& c : cases) {
    world->birds[0].pitch = c.pitch;
    world->birds[0].climbAngle = c.climbAngle;
    world->birds[0].climbImpulse = 0;
    world->applyUserControl();
    EXPECT_EQ(world->birds[0].climbImpulse, c.impulse) << "pitch " << c.pitch;
    EXPECT_EQ(world->birds[0].climbAngle, c.climbAfter) << "pitch " << c.pitch;
  }
}

// A bird reaches the goal only inside the goal's own unit cell. The new goal (100..899)
// takes the two draws after birds 0..6 have drawn theirs, before bird 7 draws its own.
TEST_F(WorldTest, TheGoalMovesOnlyWhenABirdIsOnItsExactCell) {
  const float offsets[][2] = {{0, 0}, {0.75f, 0.25f}, {1, 0}, {0, 1}, {-0.5f, 0}, {0, -0.5f}};
  for (const auto& offset : offsets) {
    gatherFlock(700, 45, 700, 0);
    world->goalX = 300;
    world->goalZ = 400;
    world->birds[7].x = 300 + offset[0];
    world->birds[7].z = 400 + offset[1];
    srand(1);
    scriptDraws({0, 0, 0, 0, 0, 0, 0, 0, 1599});
    world->step();
    bool reached = offset[0] >= 0 && offset[0] < 1 && offset[1] >= 0 && offset[1] < 1;
    EXPECT_EQ(world->goalX, reached ? 100 : 300) << offset[0] << "," << offset[1];
    EXPECT_EQ(world->goalZ, reached ? 899 : 400) << offset[0] << "," << offset[1];
  }
}

TEST_F(WorldTest, StepMovesEveryBirdAndPlacesTheCamera) {
  Bird before[kFlockSize];
  memcpy(before, world->birds, sizeof before);
  world->step();
  for (int i = 0; i < kFlockSize; i++) {
    EXPECT_NE(world->birds[i].z, before[i].z) << "bird " << i;
  }
  EXPECT_EQ(world->cameraY, world->birds[0].y) << "Bird Control: level with bird 0";
}

// Everything a tick can change, for bit-for-bit comparison.
static void expectSameState(const World& a, const World& b) {
  EXPECT_EQ(memcmp(a.birds, b.birds, sizeof(Bird) * kFlockSize), 0);
  EXPECT_EQ(memcmp(a.terrain->heights, b.terrain->heights, sizeof a.terrain->heights), 0);
  EXPECT_TRUE(a.goalX == b.goalX && a.goalZ == b.goalZ);
  EXPECT_TRUE(a.cameraX == b.cameraX && a.cameraZ == b.cameraZ && a.cameraYaw == b.cameraYaw);
}

TEST(WorldDeterminism, SameSeedGivesTheSameFlockAfterAThousandTicks) {
  initAngleTables();
  srand(20261207);
  World a;
  for (int t = 0; t < 1000; t++) {
    a.step();
  }
  srand(20261207);
  World b;
  for (int t = 0; t < 1000; t++) {
    b.step();
  }
  expectSameState(a, b);
}

TEST(WorldDeterminism, DifferentSeedGivesADifferentLandscape) {
  initAngleTables();
  srand(1);
  World a;
  srand(2);
  World b;
  EXPECT_NE(memcmp(a.terrain->heights, b.terrain->heights, sizeof a.terrain->heights), 0);
  EXPECT_NE(memcmp(a.birds, b.birds, sizeof(Bird) * kFlockSize), 0);
}

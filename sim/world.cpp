// The flock step: goal, steering rules, user control, motion, camera.
#include "sim/world.h"

#include <cstdlib>

#include "sim/angles.h"

// Steering strengths: how much each rule adds to a bird's turn impulse per tick.
const float kCohesionPull = 0.15f;  // toward the flock's centre
const float kAlignmentPull = 0.1f;  // along the flock's mean heading
const double kTurnDamping = 0.05;   // back toward straight flight
const float kGoalPull = 0.05f;      // toward the goal point

// Altitude rule: climb impulses that hold a bird near its cruise altitude.
const float kCruiseBand = 1.0f;        // height of the band above the cruise altitude
const float kCruiseCorrection = 0.1f;  // climb impulse toward the band, and back to level
const float kLowCruiseFloor = 30.0f;   // inside the band below this height, climb on
const float kLowCruiseClimb = 0.5f;    // climb impulse inside the band below the floor
const int kCruiseRepickOdds = 100;     // one chance in this many per bird and tick
const int kCruiseRepickDraw = 42;      // the draw that wins that chance
const int kCruiseAltitudeMin = 40;     // re-picked cruise altitudes lie in min..min+span-1
const int kCruiseAltitudeSpan = 10;

// Ground rule: climb when this close above the stored height sample under the bird.
const float kGroundClearance = 5.0f;
const float kGroundClimb = 0.5f;

// User control of bird 0.
const float kUserTurn = 0.5f;      // turn impulse of a held left or right arrow
const float kUserClimb = 3.0f;     // climb impulse of a held up or down arrow
const float kLevelOutRate = 0.5f;  // climb-angle change per tick back toward level

// Start and goal placement.
const int kStartSpan = 200;         // birds start in a square of this side ...
const int kStartOffset = 150;       // ... from this corner, in x and z
const int kStartAltitudeSpan = 40;  // starting altitudes lie in 10..49
const int kStartAltitudeMin = 10;
const int kFirstGoalSpan = 1000;  // the first goal lies anywhere in 0..999
const int kGoalSpan = 800;        // later goals lie in 100..899
const int kGoalOffset = 100;

World::World() {
  // The program starts in the Bird Control view; the first tick moves the camera behind
  // bird 0, and until then it stands here.
  cameraMode = CameraMode::BirdControl;
  cameraX = 100.0f;
  cameraY = 25.0f;
  cameraZ = 200.0f;
  cameraPitch = 0;
  cameraYaw = 0;

  // The terrain draws its random numbers first, then the birds, then the goal.
  terrain = new Terrain();
  terrain->regenerate();

  birds = new Bird[kFlockSize];
  for (int i = 0; i < kFlockSize; i++) {
    Bird& b = birds[i];
    b.x = static_cast<float>(rand() % kStartSpan + kStartOffset);
    b.y = static_cast<float>(rand() % kStartAltitudeSpan + kStartAltitudeMin);
    b.z = static_cast<float>(rand() % kStartSpan + kStartOffset);
    b.cruiseAltitude = b.y;
    b.heading = 0;
    b.pitch = 0;
    b.speed = 1.0f;
  }

  goalX = rand() % kFirstGoalSpan;
  goalZ = rand() % kFirstGoalSpan;

  for (int k = 0; k < kKeySlots; k++) {
    keys[k] = 0;
  }
}

World::~World() {
  delete[] birds;
  delete terrain;
}

void World::step() {
  // Every bird is steered before any moves, so one tick's steering sees one flock.
  FlockMean mean = flockMean(birds);
  for (int i = 0; i < kFlockSize; i++) {
    const Bird& b = birds[i];
    if (static_cast<int>(b.x) == goalX && static_cast<int>(b.z) == goalZ) {
      goalX = rand() % kGoalSpan + kGoalOffset;
      goalZ = rand() % kGoalSpan + kGoalOffset;
    }
    steerBird(i, mean);
  }
  applyUserControl();
  for (int i = 0; i < kFlockSize; i++) {
    birds[i].advance();
  }
  updateCamera();
}

// Climb impulse that holds a bird near its cruise altitude; first matching rule wins.
static float cruiseClimb(const Bird& b) {
  float c = b.cruiseAltitude;
  if (c + kCruiseBand < b.y) {
    return -kCruiseCorrection;
  }
  if (b.y < c) {
    return kCruiseCorrection;
  }
  if (b.y < kLowCruiseFloor) {
    return kLowCruiseClimb;
  }
  if (b.climbAngle > 0) {
    return -kCruiseCorrection;
  }
  if (b.climbAngle < 0) {
    return kCruiseCorrection;
  }
  return 0;
}

// The stored height sample under (x, z). Beyond the land lies the water at height 0,
// so a bird out there climbs as it would over flat ground.
static float groundBelow(const Terrain& terrain, float x, float z) {
  float landEdge = static_cast<float>(kTerrainSamples * kCellSize);
  float cellBelowZero = static_cast<float>(-kCellSize);
  if (x <= cellBelowZero || z <= cellBelowZero || x >= landEdge || z >= landEdge) {
    return 0.0f;
  }
  int cx = static_cast<int>(x) / kCellSize;
  int cz = static_cast<int>(z) / kCellSize;
  return terrain.heights[cx * kTerrainSamples + cz];
}

void World::steerBird(int index, const FlockMean& mean) {
  Bird& b = birds[index];
  float dx = mean.x - b.x;
  float dz = mean.z - b.z;

  b.turnImpulse = 0;
  b.climbImpulse = 0;

  b.turnToward(headingTo(dx, dz), kCohesionPull);
  b.turnToward(headingTo(mean.velocityX, mean.velocityZ), kAlignmentPull);

  // The damping step works in double and stores back into the float impulse.
  if (b.turnRate > 0) {
    b.turnImpulse = static_cast<float>(b.turnImpulse - kTurnDamping);
  } else if (b.turnRate < 0) {
    b.turnImpulse = static_cast<float>(b.turnImpulse + kTurnDamping);
  }

  float goalDx = static_cast<float>(goalX) - b.x;
  float goalDz = static_cast<float>(goalZ) - b.z;
  b.turnToward(headingTo(goalDx, goalDz), kGoalPull);

  if (rand() % kCruiseRepickOdds == kCruiseRepickDraw) {
    b.cruiseAltitude = static_cast<float>(rand() % kCruiseAltitudeSpan + kCruiseAltitudeMin);
  }
  b.climbImpulse = cruiseClimb(b);

  // The rule compares with the stored sample, not the ten-times height drawn on screen.
  if (b.y - kGroundClearance < groundBelow(*terrain, b.x, b.z)) {
    b.climbImpulse += kGroundClimb;
  }
}

// Climb impulse that eases bird b back toward level flight when no vertical key is
// held; within half a degree of level the altitude and ground rules keep their say.
static void levelOut(Bird& b) {
  if (b.pitch > 0 && b.pitch < 180) {
    b.climbImpulse = -kLevelOutRate;
    return;
  }
  if (b.pitch >= 180) {
    b.climbImpulse = kLevelOutRate;
    return;
  }
  float a = b.climbAngle;
  if (a == kLevelOutRate || a == -kLevelOutRate) {
    b.climbImpulse = 0;
    b.climbAngle = 0;
  }
  if (a > kLevelOutRate) {
    b.climbImpulse = -kLevelOutRate;
  } else if (a < -kLevelOutRate) {
    b.climbImpulse = kLevelOutRate;
  }
}

void World::applyUserControl() {
  if (cameraMode != CameraMode::BirdControl) {
    return;
  }
  Bird& b = birds[0];
  // Right wins over left, and down over up, when both are held.
  if (keys[kKeyLeft]) {
    b.turnImpulse = kUserTurn;
  }
  if (keys[kKeyRight]) {
    b.turnImpulse = -kUserTurn;
  }
  if (keys[kKeyUp]) {
    b.climbImpulse = kUserClimb;
  }
  if (keys[kKeyDown]) {
    b.climbImpulse = -kUserClimb;
  }
  if (keys[kKeyUp] || keys[kKeyDown]) {
    return;
  }
  levelOut(b);
}

// The camera rig: each tick places the camera afresh from the birds' new state.
#include <cstdlib>

#include "sim/angles.h"
#include "sim/world.h"

const double kBirdCameraDistance = 13.0;    // units behind bird 0 in Bird Control
const double kFlockCameraLeverage = 130.0;  // times the flock's mean velocity, behind its centre

// The yaw that makes the camera look along heading h (0..360): 180 for +z, 90 for +x.
static int yawAlong(int heading) {
  return (540 - heading) % kDegreesInCircle;
}

static void followBird(World& w) {
  const Bird& b = w.birds[0];
  int h = b.heading;
  w.cameraYaw = yawAlong(h);
  // Level with the bird, a few units behind it; the pitch is left as it is.
  w.cameraX = static_cast<float>(b.x - kBirdCameraDistance * sinTable[h]);
  w.cameraY = b.y;
  w.cameraZ = static_cast<float>(b.z - kBirdCameraDistance * cosTable[h]);
}

// Behind the flock's mean position by 130 times its mean velocity: the more the
// headings spread, the shorter that velocity and the closer the camera.
static void followFlock(World& w) {
  FlockMean mean = flockMean(w.birds);
  float vx = mean.velocityXSingle;
  float vz = mean.velocityZSingle;
  int c = headingTo(vx, vz);
  w.cameraY = mean.y;
  w.cameraYaw = yawAlong(c);
  w.cameraPitch = 0;
  w.cameraX = static_cast<float>(mean.x - kFlockCameraLeverage * vx);
  w.cameraZ = static_cast<float>(mean.z - kFlockCameraLeverage * vz);
}

void World::updateCamera() {
  if (cameraMode == CameraMode::BirdControl) {
    followBird(*this);
  } else if (cameraMode == CameraMode::SmartFollow) {
    followFlock(*this);
  }
}

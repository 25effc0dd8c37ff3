// Bird motion: impulses in, one step out.
#include "sim/bird.h"

#include "sim/angles.h"

Bird::Bird() {
  turnRate = 0;
  climbAngle = 0;
}

static float clampSymmetric(float value, float limit) {
  if (value > limit) {
    return limit;
  }
  if (value < -limit) {
    return -limit;
  }
  return value;
}

void Bird::advance() {
  turnRate = clampSymmetric(turnRate + turnImpulse, kMaxTurnRate);
  turnImpulse = 0;
  // Headings move by whole degrees: a rate below one degree per tick keeps the course.
  heading = (heading + static_cast<int>(turnRate) + kDegreesInCircle) % kDegreesInCircle;

  climbAngle = clampSymmetric(climbAngle + climbImpulse, kMaxClimbAngle);
  climbImpulse = 0;
  pitch = (static_cast<int>(climbAngle) + kDegreesInCircle) % kDegreesInCircle;

  // The horizontal step does not shrink with the climb: a climbing bird covers the
  // same ground and gains height on top.
  z = static_cast<float>(z + speed * cosTable[heading]);
  y = static_cast<float>(y + speed * sinTable[pitch]);
  x = static_cast<float>(x + speed * sinTable[heading]);
}

void Bird::turnToward(int target, float amount) {
  if (target == heading) {
    return;
  }
  // A target exactly half a circle away turns toward larger headings from either side.
  if (target > heading) {
    turnImpulse += (target - heading <= 180) ? amount : -amount;
  } else {
    turnImpulse += (heading - target < 180) ? -amount : amount;
  }
}

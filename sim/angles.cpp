// Angle tables and the heading of a direction.
#include "sim/angles.h"

#include <cmath>

double sinTable[kDegreesInCircle];
double cosTable[kDegreesInCircle];

void initAngleTables() {
  for (int i = 0; i < kDegreesInCircle; i++) {
    double radians = i / 180.0 * kPiApprox;
    cosTable[i] = cos(radians);
    sinTable[i] = sin(radians);
  }
}

// An arc tangent in degrees on the tables' 3.1415 scale, rounded to single precision.
static float degreesOf(double radians) {
  return static_cast<float>(radians * 180.0 / kPiApprox);
}

// The heading before rounding, in single precision: measured from +z toward +x, one
// quadrant at a time so that atan always sees a non-negative ratio.
static float rawHeading(double dx, double dz) {
  if (dx > 0) {
    if (dz >= 0) {
      return 90.0f - degreesOf(atan(dz / dx));
    }
    return 90.0f + degreesOf(atan(-dz / dx));
  }
  if (dx < 0) {
    if (dz >= 0) {
      return 270.0f + degreesOf(atan(dz / -dx));
    }
    return 270.0f - degreesOf(atan(-dz / -dx));
  }
  // A zero dx of either sign: straight along the z axis.
  return dz < 0 ? 180.0f : 0.0f;
}

int headingTo(double dx, double dz) {
  float r = rawHeading(dx, dz);
  // Round half down; a slightly negative r (the 3.1415 scale overshoots 90 degrees)
  // truncates to 0 and stays there.
  int whole = static_cast<int>(r);
  if (r - static_cast<float>(whole) > 0.5f) {
    return whole + 1;
  }
  return whole;
}

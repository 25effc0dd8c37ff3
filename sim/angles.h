// Whole-degree angle arithmetic for the flight simulation and the renderer.
//
// Every angle is an int number of degrees. Sines and cosines are read from two
// 360-entry tables filled once at start-up by initAngleTables(); headingTo() turns a
// ground-plane direction into a heading. A heading h points along (sin h, cos h) in x
// and z: heading 0 is +z, 90 is +x. A pitch below zero is stored as 360 + pitch.
#ifndef AVIFOLD_SIM_ANGLES_H
#define AVIFOLD_SIM_ANGLES_H

const int kDegreesInCircle = 360;  // entries in each angle table

// Degree-to-radian scale: four decimals of pi, not pi itself. The tables and
// headingTo() share it, so the flock's turns agree with its own arithmetic.
const double kPiApprox = 3.1415;

extern double sinTable[kDegreesInCircle];  // sin of i degrees (3.1415 scale); read-only after init
extern double cosTable[kDegreesInCircle];  // cos of i degrees (3.1415 scale); read-only after init

// Fills sinTable and cosTable. Called once, before the World exists.
void initAngleTables();

// Heading of the direction (dx, dz), rounded to whole degrees, 0..360. The result is
// 360 (not folded to 0) for directions just west of +z; callers that index a table
// with it reduce it into 0..359 first.
int headingTo(double dx, double dz);

#endif

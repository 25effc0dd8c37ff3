// The flock as a whole: its size, and its means, which the alignment rule steers by and
// Smart Follow's camera trails.
#ifndef AVIFOLD_SIM_FLOCK_H
#define AVIFOLD_SIM_FLOCK_H

#include "sim/bird.h"

const int kFlockSize = 40;  // birds in the flock; bird 0 is the one the user flies

// The flock's means over its kFlockSize birds, summed in index order. Positions are summed
// and divided in single precision. Each bird's velocity term, speed times the sine or cosine
// of its heading, is formed in double precision and summed twice: in double, for the
// alignment rule, and in single precision, rounded after every bird, for Smart Follow's
// camera. The two differ in their last bits, and a heading rounded from one can be a degree
// off the other's, so each caller reads its own.
class FlockMean {
 public:
  float x;                // mean position x, world units
  float y;                // mean altitude, world units
  float z;                // mean position z, world units
  double velocityX;       // mean of speed * sin(heading), in double: what steering aligns with
  double velocityZ;       // mean of speed * cos(heading), in double: what steering aligns with
  float velocityXSingle;  // the same mean x in single precision: what the camera trails
  float velocityZSingle;  // the same mean z in single precision: what the camera trails
};

FlockMean flockMean(const Bird* birds);

#endif

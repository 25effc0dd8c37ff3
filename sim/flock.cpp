// The flock's means, summed in index order.
#include "sim/flock.h"

#include "sim/angles.h"

FlockMean flockMean(const Bird* birds) {
  float sx = 0;
  float sy = 0;
  float sz = 0;
  double svx = 0;
  double svz = 0;
  float svxSingle = 0;
  float svzSingle = 0;
  for (int i = 0; i < kFlockSize; i++) {
    const Bird& b = birds[i];
    sx += b.x;
    sy += b.y;
    sz += b.z;
    double vx = b.speed * sinTable[b.heading];
    double vz = b.speed * cosTable[b.heading];
    svx += vx;
    svz += vz;
    svxSingle = static_cast<float>(svxSingle + vx);
    svzSingle = static_cast<float>(svzSingle + vz);
  }
  FlockMean mean;
  mean.x = sx / kFlockSize;
  mean.y = sy / kFlockSize;
  mean.z = sz / kFlockSize;
  mean.velocityX = svx / kFlockSize;
  mean.velocityZ = svz / kFlockSize;
  mean.velocityXSingle = svxSingle / kFlockSize;
  mean.velocityZSingle = svzSingle / kFlockSize;
  return mean;
}

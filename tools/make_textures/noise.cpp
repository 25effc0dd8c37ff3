// Deterministic noise. Lattice values come from an integer hash; every lattice wraps at its
// period, so noise sampled over [0, 1) of a tile joins up with itself at the tile's edges.
#include "tools/make_textures/noise.h"

#include <cmath>

#include "tools/make_textures/image.h"

static uint32_t mixBits(uint32_t h) {
  h ^= h >> 16;
  h *= 0x7FEB352Du;
  h ^= h >> 15;
  h *= 0x846CA68Bu;
  h ^= h >> 16;
  return h;
}

// Hash of a lattice point to [0, 1).
static double hashUnit(int ix, int iy, uint32_t seed) {
  uint32_t h = mixBits(seed * 0x9E3779B9u + 0x632BE5ABu);
  h = mixBits(h ^ static_cast<uint32_t>(ix));
  h = mixBits(h + static_cast<uint32_t>(iy) * 0x85EBCA6Bu);
  return static_cast<double>(h >> 8) / 16777216.0;
}

static int wrapIndex(int i, int period) {
  int m = i % period;
  return m < 0 ? m + period : m;
}

double valueNoise(double x, double y, int period, uint32_t seed) {
  double fx = std::floor(x);
  double fy = std::floor(y);
  int x0 = wrapIndex(static_cast<int>(fx), period);
  int y0 = wrapIndex(static_cast<int>(fy), period);
  int x1 = wrapIndex(x0 + 1, period);
  int y1 = wrapIndex(y0 + 1, period);
  double tx = smoothStep(0.0, 1.0, x - fx);
  double ty = smoothStep(0.0, 1.0, y - fy);
  double top = lerp(hashUnit(x0, y0, seed), hashUnit(x1, y0, seed), tx);
  double bottom = lerp(hashUnit(x0, y1, seed), hashUnit(x1, y1, seed), tx);
  return lerp(top, bottom, ty);
}

double tileNoise(double u, double v, int cells, int octaves, uint32_t seed) {
  double sum = 0.0;
  double weight = 1.0;
  double total = 0.0;
  for (int octave = 0; octave < octaves; ++octave) {
    int n = cells << octave;
    sum += weight * valueNoise(u * n, v * n, n, seed + static_cast<uint32_t>(octave) * 101u);
    total += weight;
    weight *= 0.5;
  }
  return sum / total;
}

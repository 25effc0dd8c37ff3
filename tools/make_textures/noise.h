// Deterministic noise for the painters: an integer hash of lattice points with fixed seeds,
// smoothed between them, so the same seed paints the same image on every machine.
#ifndef AVIFOLD_TOOLS_MAKE_TEXTURES_NOISE_H
#define AVIFOLD_TOOLS_MAKE_TEXTURES_NOISE_H

#include <cstdint>

// Seeds: one per noise layer, so layers never repeat one another.
constexpr uint32_t kSeedGroundPatches = 11;  // where bare earth shows through the grass
constexpr uint32_t kSeedGroundTone = 12;     // light and dark swathes of grass
constexpr uint32_t kSeedGroundGrain = 13;    // fine tufts and clods
constexpr uint32_t kSeedGroundEarth = 14;    // damp and dry earth
constexpr uint32_t kSeedCloud = 21;          // cloud cover
constexpr uint32_t kSeedSky = 22;            // faint variation of the blue sky
constexpr uint32_t kSeedWater = 31;          // first of the water layers (uses a few seeds)
constexpr uint32_t kSeedSkin = 41;           // mottling of the bird's feathers
constexpr uint32_t kSeedTree = 51;           // leaves, needles and bark

// Value noise at (x, y) in lattice units, repeating every `period` cells in both directions.
double valueNoise(double x, double y, int period, uint32_t seed);

// Fractal noise over a tile: (u, v) in [0, 1), the coarsest octave has `cells` cells across the
// tile and each further octave twice as many at half the weight. Result in [0, 1].
double tileNoise(double u, double v, int cells, int octaves, uint32_t seed);

#endif

// The landscape under the flock: a 50 x 50 grid of height samples, two grids of
// texture-coordinate steps that stretch the ground texture irregularly, and 30 trees.
//
// Sample [x][z] lies at (x, z) times the cell size and is stored at index x * 50 + z.
// The World owns the one Terrain and calls regenerate() once; the "Bumps and Hills"
// menu command sets flat and regenerates it again. Every random number comes from
// rand(): with hills 200 draws for the bumps, 5000 for the texture steps and 90 for
// the trees; flat ground draws only the 90.
#ifndef AVIFOLD_TERRAIN_TERRAIN_H
#define AVIFOLD_TERRAIN_TERRAIN_H

const int kTerrainSamples = 50;                               // samples along x and along z
const int kTerrainCells = kTerrainSamples * kTerrainSamples;  // samples in all
const int kTreeCount = 30;                                    // tree sites
const int kTreeTextures = 2;                                  // tree textures a site picks from
const int kCellSize = 20;                                     // world units between samples

class TreeSite {
 public:
  float cellX;       // grid x index 0..49, a whole number
  float baseHeight;  // foot of the tree: 4 times the height sample at its cell
  float cellZ;       // grid z index 0..49, a whole number
  int textureIndex;  // 0 or 1: which tree texture is drawn
};

class Terrain {
 public:
  float heights[kTerrainCells];    // height sample [x][z], >= 0; drawn ten times as high
  float texStepU[kTerrainCells];   // s step at [x][z]: 0.1 flat, 0.2..0.4375 with hills
  float texStepV[kTerrainCells];   // t step at [x][z]: same values as texStepU
  TreeSite treeSites[kTreeCount];  // tree placements, replaced by every regeneration
  int flat;                        // 1: the next regeneration makes flat ground; 0: hills

  Terrain();
  ~Terrain();

  // New ground (flat or hills, by flat) and new tree sites.
  void regenerate();
  void flatten();
  void raiseHills();
  void placeTrees();

  Terrain(const Terrain&) = delete;  // one Terrain, owned by the World, never copied
  Terrain& operator=(const Terrain&) = delete;
};

#endif

// Terrain generation: random bumps smoothed by a small weighted window, or flat ground.
#include "terrain/terrain.h"

#include <cstdlib>

const float kFlatTexStep = 0.1f;  // texture step on flat ground: an even tiling

// Hills: bumps of height kBumpHeight land on a grid with a border of kBorder cells, so
// that the smoothing window of a sample near the edge has bump cells to read.
const int kBorder = 4;
const int kScratch = kTerrainSamples + 2 * kBorder;  // 58 rows and columns
const int kBumpCount = 100;
const float kBumpHeight = 10.0f;
const int kWindow = 4;  // the smoothing window is kWindow x kWindow cells

// Smoothing weights W[dx][dz]; they sum to kWeightSum, which the smoothing divides by.
const float kWeights[kWindow][kWindow] = {
    {0, 2, 3, 9},
    {2, 3, 9, 12},
    {3, 9, 12, 14},
    {9, 12, 14, 14},
};
const float kWeightSum = 127.0f;

// Texture steps with hills: 0.2 + k / 80 for k = 0..19.
const int kTexStepChoices = 20;
const float kTexStepDivisor = 80.0f;
const float kTexStepBase = 0.2f;

const double kTreeBaseFactor = 4.0;  // tree foot height per unit of height sample

Terrain::Terrain() {
  flat = 0;
}

Terrain::~Terrain() {}

void Terrain::regenerate() {
  if (flat) {
    flatten();
  } else {
    raiseHills();
  }
  placeTrees();
}

void Terrain::flatten() {
  for (int i = 0; i < kTerrainCells; i++) {
    heights[i] = 0.0f;
    texStepU[i] = kFlatTexStep;
    texStepV[i] = kFlatTexStep;
  }
}

// One texture step, drawn from the shared random sequence.
static float drawTexStep() {
  return static_cast<float>(rand() % kTexStepChoices) / kTexStepDivisor + kTexStepBase;
}

void Terrain::raiseHills() {
  // Grid cell [x + 4][z + 4] belongs to sample [x][z]; both grids start at zero.
  float bumps[kScratch][kScratch] = {};
  float result[kScratch][kScratch] = {};

  // A cell drawn twice stays one bump: the height is assigned, not added.
  for (int n = 0; n < kBumpCount; n++) {
    int p = rand() % kScratch;
    int q = rand() % kScratch;
    bumps[p][q] = kBumpHeight;
    result[p][q] = kBumpHeight;
  }

  // Each sample keeps its own bump and adds the weighted bumps of the 4 x 4 block that
  // ends at its cell, toward lower rows and columns.
  for (int x = 0; x < kTerrainSamples; x++) {
    for (int z = 0; z < kTerrainSamples; z++) {
      float& cell = result[x + kBorder][z + kBorder];
      for (int dz = 0; dz < kWindow; dz++) {
        for (int dx = 0; dx < kWindow; dx++) {
          cell += kWeights[dx][dz] * bumps[x + kBorder - dx][z + kBorder - dz];
        }
      }
      cell /= kWeightSum;
    }
  }

  // Two draws per sample, s first, in row order: the order is part of the landscape.
  for (int x = 0; x < kTerrainSamples; x++) {
    for (int z = 0; z < kTerrainSamples; z++) {
      int i = x * kTerrainSamples + z;
      heights[i] = result[x + kBorder][z + kBorder];
      texStepU[i] = drawTexStep();
      texStepV[i] = drawTexStep();
    }
  }
}

void Terrain::placeTrees() {
  for (int t = 0; t < kTreeCount; t++) {
    TreeSite& site = treeSites[t];
    int x = rand() % kTerrainSamples;
    int z = rand() % kTerrainSamples;
    site.cellX = static_cast<float>(x);
    site.cellZ = static_cast<float>(z);
    site.baseHeight = static_cast<float>(heights[x * kTerrainSamples + z] * kTreeBaseFactor);
    site.textureIndex = rand() % kTreeTextures;
  }
}

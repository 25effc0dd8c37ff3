// Terrain generation: flat ground, smoothed hills, texture steps and tree sites, shown
// by scripting the draws that place each bump, step and tree.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "terrain/terrain.h"
#include "tests/sim/draws.h"

static float heightAt(const Terrain& t, int x, int z) {
  return t.heights[x * kTerrainSamples + z];
}

// Hills from bumps drawn at these grid cells, and at cell (0, 0), which no sample sees,
// for the rest of the hundred; the draws after them as scripted in `after`.
static void raiseHillsAt(Terrain& t, const std::vector<std::pair<int, int>>& cells,
                         const std::vector<int>& after = {}) {
  std::vector<int> draws(200, 0);
  for (size_t n = 0; n < cells.size(); n++) {
    draws[2 * n] = cells[n].first;
    draws[2 * n + 1] = cells[n].second;
  }
  draws.insert(draws.end(), after.begin(), after.end());
  srand(1);
  scriptDraws(draws);
  t.flat = 0;
  t.regenerate();
}

TEST(TerrainDraws, FlatGroundDrawsOnlyItsTreesAndHillsDrawBumpsStepsThenTrees) {
  Terrain t;
  EXPECT_EQ(t.flat, 0) << "the first landscape is hilly";
  for (int flat = 0; flat <= 1; flat++) {
    t.flat = flat;
    srand(3);
    t.regenerate();
    EXPECT_EQ(drawsSoFar(), flat ? 90 : 200 + 5000 + 90);
  }
  for (int i = 0; i < kTerrainCells; i++) {
    ASSERT_TRUE(t.heights[i] == 0 && t.texStepU[i] == 0.1f && t.texStepV[i] == 0.1f) << i;
  }
  for (const TreeSite& site : t.treeSites) {
    EXPECT_EQ(site.baseHeight, 0.0f);
  }
}

// One bump on its own raises the 4 x 4 block of samples that ends at its cell, toward lower
// rows and columns: rising toward the bump, the same across the diagonal, and spreading
// the bump's whole height over the block besides what its own sample keeps.
TEST(TerrainHills, ALoneBumpRaisesTheBlockBelowAndLeftOfItHoweverOftenDrawn) {
  const int p = 30;
  const int q = 20;
  Terrain once, twice;
  raiseHillsAt(once, {{p, q}});
  raiseHillsAt(twice, {{p, q}, {p, q}});
  EXPECT_EQ(memcmp(once.heights, twice.heights, sizeof once.heights), 0) << "still one bump";

  float block[4][4];
  float sum = 0;
  float squares = 0;  // how sharply the bump is spread: this pins every weight down
  for (int x = 0; x < kTerrainSamples; x++) {
    for (int z = 0; z < kTerrainSamples; z++) {
      int dx = x - (p - 4);
      int dz = z - (q - 4);
      bool inBlock = dx >= 0 && dx < 4 && dz >= 0 && dz < 4;
      if (!inBlock) {
        ASSERT_EQ(heightAt(once, x, z), 0.0f) << "sample " << x << "," << z;
        continue;
      }
      block[dx][dz] = heightAt(once, x, z);
      sum += block[dx][dz];
      squares += block[dx][dz] * block[dx][dz];
    }
  }
  for (int dx = 0; dx < 4; dx++) {
    for (int dz = 0; dz < 4; dz++) {
      EXPECT_GT(block[dx][dz], 0.0f) << dx << "," << dz;
      EXPECT_EQ(block[dx][dz], block[dz][dx]) << dx << "," << dz;
      if (dx < 3) {
        EXPECT_LE(block[dx][dz], block[dx + 1][dz]) << dx << "," << dz;
      }
    }
  }
  EXPECT_FLOAT_EQ(sum - block[0][0], 10.0f) << "the window's weights make up its divisor";
  EXPECT_LT(block[0][0], block[0][1]) << "the far corner only keeps its own bump";
  EXPECT_FLOAT_EQ(squares, 8.5560169f);
}

// Rows and columns 0 and 54..57 of the bump grid lie outside every sample's window.
TEST(TerrainHills, BumpsOnTheBorderChangeNoHeightAndOverlappingBumpsAdd) {
  const std::pair<int, int> border[] = {{0, 30}, {54, 30}, {30, 0}, {30, 54}, {57, 57}};
  for (const auto& cell : border) {
    Terrain t;
    raiseHillsAt(t, std::vector<std::pair<int, int>>(100, cell));
    for (int i = 0; i < kTerrainCells; i++) {
      ASSERT_EQ(t.heights[i], 0.0f) << "bump " << cell.first << "," << cell.second;
    }
  }
  // Two bumps whose blocks overlap add up there, so no sample rises above one whole
  // block's worth: every cell of its window and its own cell bumped.
  Terrain a, b, both;
  raiseHillsAt(a, {{20, 20}});
  raiseHillsAt(b, {{22, 21}});
  raiseHillsAt(both, {{20, 20}, {22, 21}});
  float blockSum = 0;
  for (int i = 0; i < kTerrainCells; i++) {
    ASSERT_FLOAT_EQ(both.heights[i], a.heights[i] + b.heights[i]) << i;
    blockSum += a.heights[i];
  }
  srand(13);
  Terrain random;
  random.regenerate();
  for (int i = 0; i < kTerrainCells; i++) {
    ASSERT_GE(random.heights[i], 0.0f);
    ASSERT_LE(random.heights[i], blockSum * (1 + 1e-6f));
  }
}

// Two draws per sample, s first, in the order of the samples' indexes; a draw of k gives a
// step of 0.2 + k / 80, in twenty even steps that wrap round after 0.4375.
TEST(TerrainHills, TextureStepsComeInTwentyEvenStepsSFirstInSampleOrder) {
  std::vector<int> steps;
  for (int i = 0; i < kTerrainCells; i++) {
    steps.push_back(i % 20);
    steps.push_back(39 - i % 20);
  }
  Terrain t;
  raiseHillsAt(t, {}, steps);
  EXPECT_TRUE(t.texStepU[0] == 0.2f && t.texStepU[19] == 0.4375f);
  for (int i = 0; i < kTerrainCells; i++) {
    ASSERT_EQ(t.texStepU[i], t.texStepU[i % 20]) << i;
    ASSERT_EQ(t.texStepV[i], t.texStepU[19 - i % 20]) << i;
    if (i % 20 != 0) {
      ASSERT_NEAR(t.texStepU[i] - t.texStepU[i - 1], 0.0125f, 1e-6f) << i;
    }
  }
}

// The last 90 draws place the trees, three a site: x, z, then the texture index; the foot
// stands at four times the sample under it. Every regeneration raises new hills.
TEST(TerrainTrees, EachSiteTakesItsOwnThreeDrawsOnHillsAndOnFlatGround) {
  std::vector<int> trees;
  for (int t = 0; t < kTreeCount; t++) {
    trees.insert(trees.end(), {t + 50 * (t % 3), 49 - t, t});
  }
  for (int flat = 0; flat <= 1; flat++) {
    Terrain ground;
    ground.flat = flat;
    srand(16);
    scriptDraws(trees, flat ? 0 : 200 + 5000);
    ground.regenerate();
    float raised = 0;
    for (int t = 0; t < kTreeCount; t++) {
      const TreeSite& site = ground.treeSites[t];
      EXPECT_EQ(site.cellX, static_cast<float>(t)) << t;
      EXPECT_EQ(site.cellZ, static_cast<float>(49 - t)) << t;
      EXPECT_EQ(site.textureIndex, t % 2) << t;
      EXPECT_EQ(site.baseHeight, 4 * heightAt(ground, t, 49 - t)) << t;
      raised += site.baseHeight;
    }
    EXPECT_EQ(raised > 0, flat == 0) << "some trees stand on the hills";
  }

  Terrain again;
  srand(16);
  again.regenerate();
  float firstHeights[kTerrainCells];
  memcpy(firstHeights, again.heights, sizeof firstHeights);
  srand(17);
  again.regenerate();
  EXPECT_NE(memcmp(firstHeights, again.heights, sizeof firstHeights), 0) << "new hills";
}

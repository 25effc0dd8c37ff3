// Terrain generation: flat ground, smoothed hills, texture steps and tree sites.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>

#include "terrain/terrain.h"

static float heightAt(const Terrain& t, int x, int z) {
  return t.heights[x * kTerrainSamples + z];
}

TEST(TerrainFlat, IsLevelWithEvenStepsAndTreesOnTheGround) {
  Terrain t;
  t.flat = 1;
  srand(3);
  t.regenerate();
  for (int i = 0; i < kTerrainCells; i++) {
    ASSERT_EQ(t.heights[i], 0.0f);
    ASSERT_EQ(t.texStepU[i], 0.1f);
    ASSERT_EQ(t.texStepV[i], 0.1f);
  }
  for (const TreeSite& site : t.treeSites) {
    EXPECT_EQ(site.baseHeight, 0.0f);
  }
}

TEST(TerrainFlat, DrawsOnlyTheNinetyTreeNumbers) {
  Terrain t;
  t.flat = 1;
  srand(11);
  t.regenerate();
  int next = rand();
  srand(11);
  for (int i = 0; i < 90; i++) {
    rand();
  }
  EXPECT_EQ(rand(), next);
}

TEST(TerrainHills, StartsHillyAndDrawsBumpsStepsThenTrees) {
  Terrain t;
  EXPECT_EQ(t.flat, 0);
  srand(12);
  t.regenerate();
  int next = rand();
  srand(12);
  for (int i = 0; i < 200 + 5000 + 90; i++) {
    rand();
  }
  EXPECT_EQ(rand(), next);
}

TEST(TerrainHills, HeightsAreSmoothedBumpsWithinBounds) {
  Terrain t;
  srand(13);
  t.regenerate();
  int zeros = 0;
  int raised = 0;
  for (int i = 0; i < kTerrainCells; i++) {
    ASSERT_GE(t.heights[i], 0.0f);
    ASSERT_LE(t.heights[i], 10.0f * 128 / 127 + 1e-4f);
    (t.heights[i] == 0.0f ? zeros : raised)++;
  }
  EXPECT_GT(zeros, 0) << "samples out of every bump's reach stay exactly 0";
  EXPECT_GT(raised, 0);
}

TEST(TerrainHills, TextureStepsTakeOnlyTheTwentyValues) {
  std::set<float> allowed;
  for (int k = 0; k < 20; k++) {
    allowed.insert(static_cast<float>(k) / 80.0f + 0.2f);
  }
  Terrain t;
  srand(14);
  t.regenerate();
  std::set<float> seen;
  for (int i = 0; i < kTerrainCells; i++) {
    ASSERT_TRUE(allowed.count(t.texStepU[i])) << t.texStepU[i];
    ASSERT_TRUE(allowed.count(t.texStepV[i])) << t.texStepV[i];
    seen.insert(t.texStepU[i]);
  }
  EXPECT_EQ(seen.size(), 20u) << "real division: not every step is 0.2";
  EXPECT_EQ(*seen.rbegin(), 0.4375f);
}

// The first bump, over seeds 1, 2, ..., in grid rows p0..p1 and columns q0..q1 that a
// hills regeneration draws exactly `times` times with no other bump within six cells, so
// nothing else reaches the samples around it. Its sample is [p - 4][q - 4].
struct LoneBump {
  unsigned seed;
  int p;
  int q;
};

static LoneBump findLoneBump(int times, int p0, int p1, int q0, int q1) {
  for (unsigned seed = 1; seed < 3000; seed++) {
    srand(seed);
    int drawn[58][58] = {};
    for (int n = 0; n < 100; n++) {
      int p = rand() % 58;
      drawn[p][rand() % 58]++;
    }
    for (int p = p0; p <= p1; p++) {
      for (int q = q0; q <= q1; q++) {
        int others = -drawn[p][q];
        for (int a = std::max(p - 6, 0); a <= std::min(p + 6, 57); a++) {
          for (int b = std::max(q - 6, 0); b <= std::min(q + 6, 57); b++) {
            others += drawn[a][b];
          }
        }
        if (drawn[p][q] == times && others == 0) {
          return {seed, p, q};
        }
      }
    }
  }
  ADD_FAILURE() << "no lone bump drawn " << times << " times in " << p0 << ".." << p1 << " x " << q0
                << ".." << q1;
  return {1, 30, 30};
}

// The weights, read back from a real regeneration around a bump that no other bump's
// window overlaps. A cell drawn twice is still one bump.
TEST(TerrainHills, AnIsolatedBumpRaisesTheBlockBelowAndLeftOfItHoweverOftenDrawn) {
  const float weights[4][4] = {{0, 2, 3, 9}, {2, 3, 9, 12}, {3, 9, 12, 14}, {9, 12, 14, 14}};
  for (int times = 1; times <= 2; times++) {
    LoneBump bump = findLoneBump(times, 12, 45, 12, 45);
    srand(bump.seed);
    Terrain t;
    t.regenerate();
    // Sample [x][z] sees the bump G[p][q] through the weight W[x - p + 4][z - q + 4];
    // sample [p - 4][q - 4] also keeps the bump that landed on its own cell.
    for (int dx = 0; dx < 4; dx++) {
      for (int dz = 0; dz < 4; dz++) {
        float own = (dx == 0 && dz == 0) ? 10.0f : 0.0f;
        float expected = (own + 10.0f * weights[dx][dz]) / 127;
        EXPECT_FLOAT_EQ(heightAt(t, bump.p - 4 + dx, bump.q - 4 + dz), expected)
            << "drawn " << times << " times, offset " << dx << "," << dz;
      }
    }
    EXPECT_EQ(heightAt(t, bump.p, bump.q), 0.0f) << "nothing reaches up and to the right";
  }
}

// Grid rows and columns 0 and 54..57 lie outside every sample's window; 0 and 54 are the
// ones next to it.
TEST(TerrainHills, BumpsOnTheBorderChangeNoHeight) {
  const int places[][4] = {{0, 0, 12, 45}, {54, 54, 12, 45}, {12, 45, 0, 0}, {12, 45, 54, 54}};
  for (const auto& at : places) {
    LoneBump bump = findLoneBump(1, at[0], at[1], at[2], at[3]);
    srand(bump.seed);
    Terrain t;
    t.regenerate();
    // Every sample that could see a grid cell within six of the bump is still 0.
    for (int x = std::max(bump.p - 6, 0); x <= std::min(bump.p + 2, 49); x++) {
      for (int z = std::max(bump.q - 6, 0); z <= std::min(bump.q + 2, 49); z++) {
        EXPECT_EQ(heightAt(t, x, z), 0.0f)
            << "bump " << bump.p << "," << bump.q << ", sample " << x << "," << z;
      }
    }
  }
}

TEST(TerrainTrees, SitAtWholeCellsWithFourTimesTheSampleAsFoot) {
  Terrain t;
  srand(15);
  t.regenerate();
  int textures[2] = {0, 0};
  for (const TreeSite& site : t.treeSites) {
    ASSERT_EQ(site.cellX, static_cast<float>(static_cast<int>(site.cellX)));
    ASSERT_EQ(site.cellZ, static_cast<float>(static_cast<int>(site.cellZ)));
    ASSERT_TRUE(site.cellX >= 0 && site.cellX <= 49 && site.cellZ >= 0 && site.cellZ <= 49);
    ASSERT_TRUE(site.textureIndex == 0 || site.textureIndex == 1);
    textures[site.textureIndex]++;
    int x = static_cast<int>(site.cellX);
    int z = static_cast<int>(site.cellZ);
    EXPECT_EQ(site.baseHeight, 4 * heightAt(t, x, z));
  }
  EXPECT_GT(textures[0], 0);
  EXPECT_GT(textures[1], 0);
}

TEST(TerrainRegenerate, MakesNewHillsAndMovesEveryTreeEachTime) {
  Terrain t;
  srand(16);
  t.regenerate();
  float firstHeights[kTerrainCells];
  TreeSite firstTrees[kTreeCount];
  memcpy(firstHeights, t.heights, sizeof firstHeights);
  memcpy(firstTrees, t.treeSites, sizeof firstTrees);
  t.regenerate();
  EXPECT_NE(memcmp(firstHeights, t.heights, sizeof firstHeights), 0);
  EXPECT_NE(memcmp(firstTrees, t.treeSites, sizeof firstTrees), 0);

  t.flat = 1;
  t.regenerate();
  memcpy(firstTrees, t.treeSites, sizeof firstTrees);
  t.regenerate();
  EXPECT_NE(memcmp(firstTrees, t.treeSites, sizeof firstTrees), 0) << "flat ground, new trees";
}

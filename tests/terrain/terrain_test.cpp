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

static void skipDraws(int count) {
  for (int i = 0; i < count; i++) {
    rand();
  }
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
  skipDraws(90);
  EXPECT_EQ(rand(), next);
}

// The hills' smoothing window as the samples must show it: weights W[dx][dz] and their sum.
class TerrainHills : public ::testing::Test {
 protected:
  static constexpr float kWeights[4][4] = {
      {0, 2, 3, 9}, {2, 3, 9, 12}, {3, 9, 12, 14}, {9, 12, 14, 14}};
  static constexpr float kWeightSum = 127;
};

TEST_F(TerrainHills, StartsHillyAndDrawsBumpsStepsThenTrees) {
  Terrain t;
  EXPECT_EQ(t.flat, 0);
  srand(12);
  t.regenerate();
  int next = rand();
  srand(12);
  skipDraws(200 + 5000 + 90);
  EXPECT_EQ(rand(), next);
}

TEST_F(TerrainHills, HeightsAreSmoothedBumpsWithinBounds) {
  Terrain t;
  srand(13);
  t.regenerate();
  int zeros = 0;
  int raised = 0;
  for (int i = 0; i < kTerrainCells; i++) {
    ASSERT_GE(t.heights[i], 0.0f);
    ASSERT_LE(t.heights[i], 10.0f * (1 + kWeightSum) / kWeightSum + 1e-4f);
    (t.heights[i] == 0.0f ? zeros : raised)++;
  }
  EXPECT_GT(zeros, 0) << "samples out of every bump's reach stay exactly 0";
  EXPECT_GT(raised, 0);
}

TEST_F(TerrainHills, TextureStepsTakeOnlyTheTwentyValues) {
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
TEST_F(TerrainHills, AnIsolatedBumpRaisesTheBlockBelowAndLeftOfItHoweverOftenDrawn) {
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
        float expected = (own + 10.0f * kWeights[dx][dz]) / kWeightSum;
        EXPECT_FLOAT_EQ(heightAt(t, bump.p - 4 + dx, bump.q - 4 + dz), expected)
            << "drawn " << times << " times, offset " << dx << "," << dz;
      }
    }
    EXPECT_EQ(heightAt(t, bump.p, bump.q), 0.0f) << "nothing reaches up and to the right";
  }
}

// Grid rows and columns 0 and 54..57 lie outside every sample's window; 0 and 54 are the
// ones next to it.
TEST_F(TerrainHills, BumpsOnTheBorderChangeNoHeight) {
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

// Regenerates t from seed, then replays the seed past the ground's draws (5200 with hills,
// none on flat ground): each of the 30 sites must come from its own next three draws, x, z
// and texture index, with its foot at four times the sample under it.
static void regenerateAndExpectTreesFromTheDraws(Terrain& t, unsigned seed) {
  srand(seed);
  t.regenerate();
  srand(seed);
  skipDraws(t.flat ? 0 : 200 + 5000);
  for (const TreeSite& site : t.treeSites) {
    int x = rand() % kTerrainSamples;
    int z = rand() % kTerrainSamples;
    EXPECT_EQ(site.cellX, static_cast<float>(x)) << "seed " << seed;
    EXPECT_EQ(site.cellZ, static_cast<float>(z)) << "seed " << seed;
    EXPECT_EQ(site.textureIndex, rand() % 2) << "seed " << seed;
    EXPECT_EQ(site.baseHeight, 4 * heightAt(t, x, z)) << "seed " << seed;
  }
}

// Every regeneration, on hills or on flat ground, places all 30 trees anew from its own draws.
TEST(TerrainRegenerate, MakesNewHillsAndMovesEveryTreeEachTime) {
  Terrain t;
  regenerateAndExpectTreesFromTheDraws(t, 16);
  float firstHeights[kTerrainCells];
  memcpy(firstHeights, t.heights, sizeof firstHeights);
  regenerateAndExpectTreesFromTheDraws(t, 17);
  EXPECT_NE(memcmp(firstHeights, t.heights, sizeof firstHeights), 0);

  t.flat = 1;
  regenerateAndExpectTreesFromTheDraws(t, 18);
  regenerateAndExpectTreesFromTheDraws(t, 19);
}

// The landscape as GL receives it: the terrain list's strips, heights and running
// texture coordinates, the scrolling water, the tree quads, and the GL state the three
// leave behind.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "tests/render/gl_capture.h"
#include "tests/render/test_scene.h"

const float kCell = static_cast<float>(kCellSize);
const float kPositionSlack = 2e-3f;  // capture rounding of positions, world units

static int gridIndex(float world) {
  return static_cast<int>(std::lround(world / kCell));
}

static bool sameVertex(const CapturedVertex& p, const CapturedVertex& q) {
  return p.x == q.x && p.y == q.y && p.z == q.z && p.s == q.s && p.t == q.t;
}

// Mesa may join the strips of a display list with zero-area triangles; those are its
// own and not part of the mesh the program describes.
static bool degenerate(const CapturedTriangle& t) {
  return sameVertex(t.v[0], t.v[1]) || sameVertex(t.v[1], t.v[2]) || sameVertex(t.v[0], t.v[2]);
}

// The terrain mesh as GL receives it: 49 strips of 98 triangles.
class LandscapeTest : public TestScene {
 protected:
  std::vector<CapturedTriangle> terrainTriangles() {
    std::vector<CapturedTriangle> mesh =
        captureTriangles([this] { glCallList(renderer->terrainList); });
    mesh.erase(std::remove_if(mesh.begin(), mesh.end(), degenerate), mesh.end());
    EXPECT_EQ(mesh.size(), 49u * 98u);
    return mesh;
  }

  // Calls check(v, a, k) for every vertex of the terrain mesh, sample [a][k] of the grid.
  template <typename Check>
  void forEachSample(Check check) {
    for (const CapturedTriangle& t : terrainTriangles()) {
      for (const CapturedVertex& v : t.v) {
        check(v, gridIndex(v.x), gridIndex(v.z));
      }
    }
  }

  float height(int a, int k) {
    return world->terrain->heights[a * kTerrainSamples + k];
  }
};

// Every triangle lies in one band between neighbouring z rows, as a strip of that band;
// each band holds 98 triangles over all 100 samples of its two rows. The ground texture and
// surface are continuous: every sample of rows 1..48 is sent by two strips, identically.
TEST_F(LandscapeTest, TerrainListHoldsFortyNineStripsSharingTheirCommonRowsExactly) {
  std::vector<int> trianglesInBand(49, 0);
  std::vector<std::set<std::pair<int, int>>> samplesInBand(49);
  std::map<std::pair<int, int>, std::vector<CapturedVertex>> sent;
  std::map<std::pair<int, int>, std::set<int>> bands;
  for (const CapturedTriangle& t : terrainTriangles()) {
    std::set<int> rows;
    for (const CapturedVertex& v : t.v) {
      rows.insert(gridIndex(v.z));
    }
    ASSERT_EQ(rows.size(), 2u);
    int band = *rows.begin();
    ASSERT_EQ(*rows.rbegin(), band + 1);
    ASSERT_TRUE(band >= 0 && band < 49) << band;
    trianglesInBand[band]++;
    for (const CapturedVertex& v : t.v) {
      std::pair<int, int> sample = {gridIndex(v.x), gridIndex(v.z)};
      samplesInBand[band].insert(sample);
      sent[sample].push_back(v);
      bands[sample].insert(band);
    }
  }
  for (int band = 0; band < 49; band++) {
    EXPECT_TRUE(trianglesInBand[band] == 98 && samplesInBand[band].size() == 100u) << band;
  }
  ASSERT_EQ(sent.size(), 2500u);
  // The texture runs along row 0 in z, then down each column in x: each sample's
  // coordinates are its neighbour's plus the neighbour's texture steps.
  const float* u = world->terrain->texStepU;
  const float* v = world->terrain->texStepV;
  for (const auto& entry : sent) {
    const auto& [a, k] = entry.first;
    EXPECT_EQ(bands[entry.first].size(), (k == 0 || k == 49) ? 1u : 2u);
    for (const CapturedVertex& p : entry.second) {
      ASSERT_TRUE(sameVertex(p, entry.second[0])) << a << "," << k << " differs between strips";
    }
    const CapturedVertex& p = entry.second[0];
    int back = (a - 1) * kTerrainSamples + k;
    const CapturedVertex* before = a > 0 ? &sent[{a - 1, k}][0] : k > 0 ? &sent[{0, k - 1}][0] : &p;
    ASSERT_EQ(p.s, a > 0 ? before->s + u[back] : 0.0f) << a << "," << k;
    ASSERT_EQ(p.t, a > 0   ? before->t + v[back]
                   : k > 0 ? before->t + v[k - 1]
                           : 0.0f)
        << a << "," << k;
  }
}

TEST_F(LandscapeTest, FlatGroundIsAtZeroWithAnEvenShearedTiling) {
  regenerateTerrain(1);
  forEachSample([](const CapturedVertex& v, int a, int k) {
    ASSERT_NEAR(v.x, a * 20.0, kPositionSlack);
    ASSERT_NEAR(v.z, k * 20.0, kPositionSlack);
    ASSERT_NEAR(v.y, 0.0f, kPositionSlack) << "sample " << a << "," << k;
    // Up to the rounding of the single-precision running sums.
    ASSERT_NEAR(v.s, 0.1 * a, 1e-4) << "sample " << a << "," << k;
    ASSERT_NEAR(v.t, 0.1 * (a + k), 1e-4) << "sample " << a << "," << k;
  });
}

TEST_F(LandscapeTest, HillsAreDrawnTenTimesAsHighAsStored) {
  float highest = 0;
  forEachSample([&](const CapturedVertex& v, int a, int k) {
    ASSERT_NEAR(v.y, 10.0f * height(a, k), kPositionSlack) << "sample " << a << "," << k;
    highest = std::max(highest, v.y);
  });
  EXPECT_GT(highest, 10.0f);  // these are hills, not flat ground
}

TEST_F(LandscapeTest, WaterOffsetTurnsOnCalls1001And2003InSinglePrecision) {
  waterScroll = 0.0f;
  waterScrollDirection = 1.0f;
  int firstAtOne = 0, firstAtZeroAfter = 0;
  for (int call = 1; call <= 2003; call++) {
    renderer->drawWater();
    if (call == 1) {
      EXPECT_FLOAT_EQ(waterScroll, 0.001f);
    }
    if (firstAtOne == 0 && waterScroll >= 1.0f) {
      firstAtOne = call;
      EXPECT_EQ(waterScrollDirection, -1.0f);
    }
    if (firstAtOne != 0 && firstAtZeroAfter == 0 && waterScroll <= 0.0f) {
      firstAtZeroAfter = call;
      EXPECT_EQ(waterScrollDirection, 1.0f);
    }
  }
  EXPECT_EQ(firstAtOne, 1001);
  EXPECT_EQ(firstAtZeroAfter, 2003);
}

TEST_F(LandscapeTest, WaterTurnsAtExactlyOneAndExactlyZero) {
  // A start just below 1 from which one single-precision step lands on 1.0 exactly.
  float start = 0.999f;
  while (start + 0.001f < 1.0f) {
    start = std::nextafter(start, 2.0f);
  }
  while (start + 0.001f > 1.0f) {
    start = std::nextafter(start, 0.0f);
  }
  ASSERT_EQ(start + 0.001f, 1.0f);
  const float turns[][3] = {{start, 1.0f, 1.0f}, {0.001f, -1.0f, 0.0f}};  // from, way, to
  for (const auto& turn : turns) {
    waterScroll = turn[0];
    waterScrollDirection = turn[1];
    renderer->drawWater();
    EXPECT_EQ(waterScroll, turn[2]);
    EXPECT_EQ(waterScrollDirection, -turn[1]);
  }
}

const float kLandEnd = 980.0f;  // the land's far edge in x and z; it starts at 0

struct Rectangle {
  float x0, x1, z0, z1;
};

// Four strips of water, none over the land, reach from -1000 to 1500 and leave no gap in
// the square from -500. Across each, one texture coordinate runs from the scroll offset on
// the edge that touches the land to 1 on the outer edge; the other is 0 or 1.
TEST_F(LandscapeTest, WaterStripsSurroundTheLandScrollingOnTheirLandSide) {
  waterScroll = 0.25f;
  waterScrollDirection = 1.0f;
  std::vector<CapturedTriangle> water = captureTriangles([this] { renderer->drawWater(); });
  float offset = waterScroll;  // this frame draws with the value just reached
  EXPECT_FLOAT_EQ(offset, 0.251f);
  ASSERT_EQ(water.size(), 8u);  // four strips of two triangles, in order

  std::vector<Rectangle> strips;
  Rectangle reach = {0, 0, 0, 0};  // the lowest and highest x or z any strip reaches
  float area = 0;
  for (int strip = 0; strip < 4; strip++) {
    Rectangle r = {1e9f, -1e9f, 1e9f, -1e9f};
    std::set<std::pair<float, float>> corners;
    for (int k = 0; k < 6; k++) {
      const CapturedVertex& v = water[strip * 2 + k / 3].v[k % 3];
      r = {std::min(r.x0, std::round(v.x)), std::max(r.x1, std::round(v.x)),
           std::min(r.z0, std::round(v.z)), std::max(r.z1, std::round(v.z))};
      corners.insert({v.s, v.t});
      EXPECT_NEAR(v.y, 0.0f, kPositionSlack);
      EXPECT_TRUE(v.colour[0] == 1.0f && v.colour[3] == 1.0f);
    }
    EXPECT_EQ(corners.size(), 4u) << "strip " << strip + 1;
    int sAcross = 0;
    int tAcross = 0;
    for (int k = 0; k < 6; k++) {
      const CapturedVertex& v = water[strip * 2 + k / 3].v[k % 3];
      float x = std::round(v.x);
      float z = std::round(v.z);
      bool onLand = (x == 0 && r.x1 == 0) || (x == kLandEnd && r.x0 == kLandEnd) ||
                    (z == 0 && r.z1 == 0) || (z == kLandEnd && r.z0 == kLandEnd);
      float across = onLand ? offset : 1.0f;
      sAcross += v.s == across && (v.t == 0 || v.t == 1);
      tAcross += v.t == across && (v.s == 0 || v.s == 1);
    }
    EXPECT_TRUE(std::max(sAcross, tAcross) == 6 && std::min(sAcross, tAcross) < 6) << strip + 1;
    EXPECT_FALSE(r.x0 < kLandEnd && r.x1 > 0 && r.z0 < kLandEnd && r.z1 > 0) << strip + 1;
    area += (r.x1 - r.x0) * (r.z1 - r.z0);
    reach = {std::min({reach.x0, r.x0, r.z0}), std::max({reach.x1, r.x1, r.z1}), 0, 0};
    strips.push_back(r);
  }
  EXPECT_EQ(area, 4560000.0f);
  EXPECT_EQ(reach.x0, -1000.0f);
  EXPECT_EQ(reach.x1, 1500.0f);
  for (float x = -490; x < 1500; x += 20) {
    for (float z = -490; z < 1500; z += 20) {
      bool land = x > 0 && x < kLandEnd && z > 0 && z < kLandEnd;
      bool wet = std::any_of(strips.begin(), strips.end(), [&](const Rectangle& r) {
        return r.x0 <= x && x <= r.x1 && r.z0 <= z && z <= r.z1;
      });
      ASSERT_TRUE(land || wet) << "no water at " << x << "," << z;
    }
  }
}

TEST_F(LandscapeTest, TreesAreUprightTwentyUnitQuadsAtTheirSites) {
  // One site past the land's edge, one at a raised foot, two on the same cell.
  TreeSite* sites = world->terrain->treeSites;
  sites[0].cellX = 49;
  sites[0].cellZ = 3;
  sites[0].baseHeight = 0;
  sites[1].baseHeight = 4.0f;
  sites[2] = sites[3];
  sites[2].textureIndex = 1 - sites[3].textureIndex;

  std::vector<CapturedTriangle> trees = captureTriangles([this] { renderer->drawTrees(); });
  ASSERT_EQ(trees.size(), 60u);  // 30 quads of two triangles, in site order
  for (int i = 0; i < kTreeCount; i++) {
    const TreeSite& site = sites[i];
    std::set<std::pair<float, float>> corners;
    for (int half = 0; half < 2; half++) {
      for (const CapturedVertex& v : trees[i * 2 + half].v) {
        // The texture's bottom edge (t = 0) stands on the foot, s = 0 at the grid point.
        EXPECT_NEAR(v.x, site.cellX * kCell + 20.0f * v.s, kPositionSlack) << "tree " << i;
        EXPECT_NEAR(v.y, site.baseHeight + 20.0f * v.t, kPositionSlack) << "tree " << i;
        EXPECT_NEAR(v.z, site.cellZ * kCell, kPositionSlack) << "tree " << i;
        EXPECT_TRUE(v.colour[0] == 1.0f && v.colour[3] == 1.0f) << "tree " << i;
        corners.insert({v.s, v.t});
      }
    }
    std::set<std::pair<float, float>> expected = {{0, 0}, {0, 1}, {1, 0}, {1, 1}};
    EXPECT_EQ(corners, expected) << "tree " << i;
  }
}

// Colour, texturing and blending a landscape call leaves behind, starting from a red,
// textured state; the matrices, depth test and fog stay as they were.
TEST_F(LandscapeTest, TerrainWaterAndTreesLeaveWhiteWithTexturingAndBlendingOff) {
  const std::pair<const char*, std::function<void()>> calls[] = {
      {"terrain list", [this] { glCallList(renderer->terrainList); }},
      {"water", [this] { renderer->drawWater(); }},
      {"trees", [this] { renderer->drawTrees(); }},
  };
  for (const auto& call : calls) {
    glColor4f(1, 0, 0, 0.5f);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_FOG);
    float before[16];
    float after[16];
    float colour[4];
    glGetFloatv(GL_MODELVIEW_MATRIX, before);
    call.second();
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    glGetFloatv(GL_CURRENT_COLOR, colour);
    for (int c = 0; c < 4; c++) {
      EXPECT_EQ(colour[c], 1.0f) << call.first << " colour component " << c;
    }
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << call.first;
    EXPECT_FALSE(glIsEnabled(GL_BLEND)) << call.first;
    EXPECT_TRUE(std::equal(before, before + 16, after)) << call.first << " model-view";
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST)) << call.first;
    EXPECT_TRUE(glIsEnabled(GL_FOG)) << call.first;
    glDisable(GL_FOG);
  }
}

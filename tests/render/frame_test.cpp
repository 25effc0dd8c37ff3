// The renderer's set-up of a GL context and its frame: display lists, the textures it
// loads from data/, the alternating depth-range halves, the sky colour and the fog.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "render/renderer.h"
#include "tests/render/gl_capture.h"

class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    srand(7);
    world = new World();
    renderer = new Renderer();
    renderer->setWorld(world);
  }

  void TearDown() override {
    delete renderer->groundTexture;
    delete renderer->cloudTexture;
    delete renderer->birdTexture;
    for (int i = 0; i < kSceneTextures; i++) {
      delete renderer->textures[i];
    }
    delete renderer;
    delete world;
  }

  // Runs init with the console captured, and returns what it printed.
  std::string initQuietly() {
    testing::internal::CaptureStdout();
    renderer->init();
    return testing::internal::GetCapturedStdout();
  }

  World* world;
  Renderer* renderer;
};

struct DepthHalf {
  int func;
  float range[2];
};

static DepthHalf depthHalf() {
  DepthHalf half;
  glGetIntegerv(GL_DEPTH_FUNC, &half.func);
  glGetFloatv(GL_DEPTH_RANGE, half.range);
  return half;
}

static void expectNearHalf(const DepthHalf& half, const char* when) {
  EXPECT_EQ(half.func, GL_LESS) << when;
  EXPECT_FLOAT_EQ(half.range[0], 0.0f) << when;
  EXPECT_FLOAT_EQ(half.range[1], 0.5f) << when;
}

static void expectFarHalf(const DepthHalf& half, const char* when) {
  EXPECT_EQ(half.func, GL_GREATER) << when;
  EXPECT_FLOAT_EQ(half.range[0], 1.0f) << when;
  EXPECT_FLOAT_EQ(half.range[1], 0.5f) << when;
}

TEST_F(FrameTest, InitLoadsTheSevenTexturesIntoTheirSlots) {
  EXPECT_EQ(initQuietly(), "");  // every file of data/ is there
  struct Slot {
    const Texture* texture;
    const char* path;
    int size;
  };
  const Slot slots[] = {
      {renderer->groundTexture, "data/ground512.raw", 512},
      {renderer->cloudTexture, "data/cloud0.raw", 256},
      {renderer->birdTexture, "data/good1.raw", 512},
      {renderer->textures[0], "data/tree0.raw", 128},
      {renderer->textures[1], "data/tree1.raw", 128},
      {renderer->textures[2], "data/water0.raw", 512},
      {renderer->textures[3], "data/water1.raw", 512},
  };
  for (const Slot& slot : slots) {
    ASSERT_NE(slot.texture, nullptr) << slot.path;
    ASSERT_NE(slot.texture->path, nullptr) << slot.path;
    EXPECT_STREQ(slot.texture->path, slot.path);
    EXPECT_EQ(slot.texture->width, slot.size) << slot.path;
    EXPECT_EQ(slot.texture->height, slot.size) << slot.path;
    EXPECT_NE(slot.texture->glName, 0u) << slot.path;
  }
}

TEST_F(FrameTest, InitGeneratesTheBirdListBeforeTheTerrainList) {
  initQuietly();
  EXPECT_LT(renderer->birdList, renderer->terrainList);
  EXPECT_TRUE(glIsList(renderer->birdList));
  EXPECT_TRUE(glIsList(renderer->terrainList));
  // Each id holds its own mesh: the bird's 30 triangles, the terrain's thousands.
  EXPECT_EQ(captureTriangles([this] { glCallList(renderer->birdList); }).size(), 30u);
  EXPECT_GE(captureTriangles([this] { glCallList(renderer->terrainList); }).size(), 49u * 98u);
}

TEST_F(FrameTest, FramesAlternateDepthHalvesStartingWithTheNearHalfAfterEveryInit) {
  initQuietly();
  expectNearHalf(depthHalf(), "after init");
  renderer->drawFrame();
  expectNearHalf(depthHalf(), "first frame");
  renderer->drawFrame();
  expectFarHalf(depthHalf(), "second frame");
  renderer->drawFrame();
  expectNearHalf(depthHalf(), "third frame");
  renderer->drawFrame();
  expectFarHalf(depthHalf(), "fourth frame");

  // A new context starts again from a depth buffer cleared to 1.0, so from the near half.
  renderer->drawFrame();
  initQuietly();
  renderer->drawFrame();
  expectNearHalf(depthHalf(), "first frame after a second init");
  float clearDepth = 0;
  glGetFloatv(GL_DEPTH_CLEAR_VALUE, &clearDepth);
  EXPECT_EQ(clearDepth, 1.0f);
}

TEST_F(FrameTest, SkyIsTheFogGreyWithFogOnAndBlueWithoutIt) {
  initQuietly();
  float clear[4];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  EXPECT_FLOAT_EQ(clear[0], 0.7f);
  EXPECT_FLOAT_EQ(clear[1], 0.7f);
  EXPECT_FLOAT_EQ(clear[2], 0.7f);
  float fogColour[4];
  glGetFloatv(GL_FOG_COLOR, fogColour);
  EXPECT_FLOAT_EQ(fogColour[0], 0.7f);
  EXPECT_FLOAT_EQ(fogColour[1], 0.7f);
  EXPECT_FLOAT_EQ(fogColour[2], 0.7f);
  // Linear fog between 100 and 300 units.
  int fogMode = 0;
  glGetIntegerv(GL_FOG_MODE, &fogMode);
  EXPECT_EQ(fogMode, GL_LINEAR);
  float fogStart = 0;
  float fogEnd = 0;
  glGetFloatv(GL_FOG_START, &fogStart);
  glGetFloatv(GL_FOG_END, &fogEnd);
  EXPECT_EQ(fogStart, 100.0f);
  EXPECT_EQ(fogEnd, 300.0f);
  renderer->drawFrame();
  EXPECT_TRUE(glIsEnabled(GL_FOG));

  renderer->fogEnabled = 0;
  initQuietly();
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  EXPECT_FLOAT_EQ(clear[0], 0.2f);
  EXPECT_FLOAT_EQ(clear[1], 0.2f);
  EXPECT_FLOAT_EQ(clear[2], 1.0f);
  renderer->drawFrame();
  EXPECT_FALSE(glIsEnabled(GL_FOG));
}

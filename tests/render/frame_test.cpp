// The renderer's set-up of a GL context and its frame: display lists, the textures it
// loads from data/, the alternating depth-range halves, the sky colour and the fog.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
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
    renderer->releaseTextures();
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

// The near half is tested with GL_LESS over 0..0.5, the far half with GL_GREATER over 1..0.5.
static void expectHalf(bool nearHalf, const std::string& when) {
  int func = 0;
  float range[2] = {};
  glGetIntegerv(GL_DEPTH_FUNC, &func);
  glGetFloatv(GL_DEPTH_RANGE, range);
  EXPECT_EQ(func, nearHalf ? GL_LESS : GL_GREATER) << when;
  EXPECT_FLOAT_EQ(range[0], nearHalf ? 0.0f : 1.0f) << when;
  EXPECT_FLOAT_EQ(range[1], 0.5f) << when;
}

// A colour of GL's state (the clear colour, the fog colour) without its alpha.
static void expectColour(GLenum which, float red, float green, float blue) {
  float colour[4];
  glGetFloatv(which, colour);
  EXPECT_FLOAT_EQ(colour[0], red) << which;
  EXPECT_FLOAT_EQ(colour[1], green) << which;
  EXPECT_FLOAT_EQ(colour[2], blue) << which;
}

// Each image reaches GL whole, byte for byte as stored, red, green, blue: GL holds the
// file's rows bottom first, four bytes a pixel.
TEST_F(FrameTest, InitLoadsTheSevenImagesIntoTheirSlotsAsStored) {
  EXPECT_EQ(initQuietly(), "");  // every file of data/ is there
  for (const TextureFile& file : kTextureSet) {
    const Texture* texture = renderer->texture(file.slot);
    ASSERT_TRUE(texture && texture->path && texture->glName) << file.path;
    EXPECT_STREQ(texture->path, file.path);
    std::ifstream in(file.path, std::ios::binary);
    std::vector<unsigned char> stored((std::istreambuf_iterator<char>(in)), {});
    size_t side = static_cast<size_t>(file.size);
    ASSERT_EQ(stored.size(), side * side * 3) << file.path;
    int held[2] = {0, 0};
    glBindTexture(GL_TEXTURE_2D, texture->glName);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &held[0]);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &held[1]);
    ASSERT_TRUE(held[0] == file.size && held[1] == file.size) << file.path;
    std::vector<unsigned char> image(side * side * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, image.data());
    size_t mismatched = 0;
    for (size_t i = 0; i < stored.size(); i++) {  // channel i % 3 of pixel i / 3, top row first
      size_t row = i / 3 / side;
      mismatched += image[((side - 1 - row) * side + i / 3 % side) * 4 + i % 3] != stored[i];
    }
    EXPECT_EQ(mismatched, 0u) << file.path;
  }
}

TEST_F(FrameTest, InitGeneratesTheBirdListBeforeTheTerrainList) {
  initQuietly();
  EXPECT_LT(renderer->birdList, renderer->terrainList);
  EXPECT_TRUE(glIsList(renderer->birdList) && glIsList(renderer->terrainList));
  // Each id holds its own mesh: the bird's 30 triangles, the terrain's thousands.
  EXPECT_EQ(captureTriangles([this] { glCallList(renderer->birdList); }).size(), 30u);
  EXPECT_GE(captureTriangles([this] { glCallList(renderer->terrainList); }).size(), 49u * 98u);
}

TEST_F(FrameTest, FramesAlternateDepthHalvesStartingWithTheNearHalfAfterEveryInit) {
  initQuietly();
  expectHalf(true, "after init");
  for (int frame = 1; frame <= 4; frame++) {
    renderer->drawFrame();
    expectHalf(frame % 2 == 1, "frame " + std::to_string(frame));
  }

  // A new context starts again from a depth buffer cleared to 1.0, so from the near half.
  renderer->drawFrame();
  initQuietly();
  renderer->drawFrame();
  expectHalf(true, "first frame after a second init");
  float clearDepth = 0;
  glGetFloatv(GL_DEPTH_CLEAR_VALUE, &clearDepth);
  EXPECT_EQ(clearDepth, 1.0f);
}

TEST_F(FrameTest, ReadOutOffCountsNoFrameAndBackOnLatchesTheCarriedCount) {
  initQuietly();
  g_frameCount = 5;
  g_lastSecond = -1;  // no seconds field is -1: the next counted frame latches
  renderer->frameRateEnabled = 0;
  renderer->drawFrame();
  renderer->drawFrame();
  EXPECT_EQ(g_frameCount, 5);

  renderer->frameRateEnabled = 1;
  renderer->drawFrame();
  EXPECT_TRUE(g_shownFrameRate == 6 && g_frameCount == 0)
      << g_shownFrameRate << " " << g_frameCount;
}

TEST_F(FrameTest, SkyIsTheFogGreyWithFogOnAndBlueWithoutIt) {
  initQuietly();
  expectColour(GL_COLOR_CLEAR_VALUE, 0.7f, 0.7f, 0.7f);
  expectColour(GL_FOG_COLOR, 0.7f, 0.7f, 0.7f);
  // Linear fog between 100 and 300 units.
  int fogMode = 0;
  glGetIntegerv(GL_FOG_MODE, &fogMode);
  EXPECT_EQ(fogMode, GL_LINEAR);
  float fog[2] = {};  // start, end
  glGetFloatv(GL_FOG_START, &fog[0]);
  glGetFloatv(GL_FOG_END, &fog[1]);
  EXPECT_TRUE(fog[0] == 100.0f && fog[1] == 300.0f) << fog[0] << ".." << fog[1];
  renderer->drawFrame();
  EXPECT_TRUE(glIsEnabled(GL_FOG));

  renderer->fogEnabled = 0;
  initQuietly();
  expectColour(GL_COLOR_CLEAR_VALUE, 0.2f, 0.2f, 1.0f);
  renderer->drawFrame();
  EXPECT_FALSE(glIsEnabled(GL_FOG));
}

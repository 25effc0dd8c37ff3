// A Renderer bound to a freshly made World, with its terrain and bird lists compiled in
// the test window's context. No texture files are read: every texture is an empty
// Texture (GL name 0), which the drawing binds as it would a file that failed to load.
#ifndef AVIFOLD_TESTS_RENDER_TEST_SCENE_H
#define AVIFOLD_TESTS_RENDER_TEST_SCENE_H

#include <gtest/gtest.h>

#include "render/renderer.h"
#include "sim/world.h"

class TestScene : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Makes the ground flat (flat = 1) or hilly (0) and recompiles the terrain list.
  void regenerateTerrain(int flat);

  World* world;
  Renderer* renderer;
};

#endif

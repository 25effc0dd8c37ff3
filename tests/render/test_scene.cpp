// The scene the landscape and bird tests draw.
#include "tests/render/test_scene.h"

#include <GL/gl.h>

#include <cstdlib>

const unsigned kSceneSeed = 20240611;  // any fixed seed: the same hills in every run

void TestScene::SetUp() {
  srand(kSceneSeed);
  world = new World();
  renderer = new Renderer();
  renderer->setWorld(world);
  for (const TextureFile& file : kTextureSet) {
    renderer->texture(file.slot) = new Texture();
  }
  renderer->birdList = glGenLists(1);
  renderer->terrainList = glGenLists(1);
  renderer->buildTerrainList();
  renderer->buildBirdList();
}

void TestScene::TearDown() {
  glDeleteLists(renderer->birdList, 1);
  glDeleteLists(renderer->terrainList, 1);
  renderer->releaseTextures();
  delete renderer;
  delete world;
}

void TestScene::regenerateTerrain(int flat) {
  world->terrain->flat = flat;
  world->terrain->regenerate();
  renderer->buildTerrainList();
}

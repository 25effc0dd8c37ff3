// Renderer set-up for a GL context, and the frame.
#include "render/renderer.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <cstdio>

#include "sim/angles.h"

const float kCellSize = 20.0f;  // world units between terrain samples

// Fog fades the scene into the grey sky between these distances.
const float kFogStart = 100.0f;
const float kFogEnd = 300.0f;
const float kFogDensity = 0.35f;  // set for completeness; linear fog does not use it
const float kFogGrey = 0.7f;      // fog colour and grey sky

// Where the frame-rate read-out sits in eye space: upper right of a 640 x 480 view.
const float kReadOutX = 0.4f;
const float kReadOutY = 0.38f;
const float kReadOutZ = -1.0f;

// One row of the texture set: the file, its size and where the Renderer keeps it.
struct TextureFile {
  const char* path;
  int width;
  int height;
};

const TextureFile kGroundFile = {"data/ground512.raw", 512, 512};
const TextureFile kCloudFile = {"data/cloud0.raw", 256, 256};
const TextureFile kBirdFile = {"data/good1.raw", 512, 512};
const TextureFile kWaterFiles[2] = {{"data/water0.raw", 512, 512}, {"data/water1.raw", 512, 512}};
const char* const kTreePathFormat = "data/tree%d.raw";
const int kTreeSize = 128;
const int kTreeTextures = 2;
const int kFirstWaterSlot = 2;  // textures[2] and [3] hold the water

Renderer::Renderer() {
  fogEnabled = 1;
  texturesEnabled = 1;
  doubleBuffered = 1;
  treesEnabled = 1;
  frameRateEnabled = 1;
  shadowsEnabled = 1;
  cellSize = kCellSize;
  // Nothing is loaded before the first init(); null pointers let a later init()
  // release what the earlier context loaded.
  depthPhase = 1;
  groundTexture = nullptr;
  world = nullptr;
  terrainList = 0;
  birdList = 0;
  cloudTexture = nullptr;
  birdTexture = nullptr;
  for (int i = 0; i < kSceneTextures; i++) {
    textures[i] = nullptr;
  }
}

void Renderer::setWorld(World* sceneWorld) {
  world = sceneWorld;
}

// The sky colour matches the fog when fog is on, so distant ground fades into it.
void applyClearColour(int fogEnabled) {
  if (fogEnabled) {
    glClearColor(kFogGrey, kFogGrey, kFogGrey, 0.7f);
  } else {
    glClearColor(0.2f, 0.2f, 1.0f, 0.7f);
  }
}

// A new Texture loaded from file. A file that cannot be read has already been
// reported by load(); the texture then draws without an image.
static Texture* loadTexture(const TextureFile& file) {
  Texture* texture = new Texture();
  texture->load(file.path, file.width, file.height);
  return texture;
}

// The Texture objects of an earlier GL context: their GL objects died with it, so
// only their buffers are freed; the new context loads its own.
static void releaseTexture(Texture*& texture) {
  delete texture;
  texture = nullptr;
}

// The seven textures, in the order their files are read (a missing file's message
// therefore comes in this order too). Each Texture is stored before it is loaded.
static void loadSceneTextures(Renderer& r) {
  releaseTexture(r.groundTexture);
  releaseTexture(r.cloudTexture);
  releaseTexture(r.birdTexture);
  for (int i = 0; i < kSceneTextures; i++) {
    releaseTexture(r.textures[i]);
  }

  r.groundTexture = loadTexture(kGroundFile);
  r.cloudTexture = loadTexture(kCloudFile);
  r.birdTexture = loadTexture(kBirdFile);
  for (int w = 0; w < 2; w++) {
    r.textures[kFirstWaterSlot + w] = loadTexture(kWaterFiles[w]);
  }
  for (int t = 0; t < kTreeTextures; t++) {
    char path[32];
    snprintf(path, sizeof path, kTreePathFormat, t);
    r.textures[t] = loadTexture({path, kTreeSize, kTreeSize});
  }
  // A missing file's message has no line break; let it reach a piped console now.
  fflush(stdout);
}

void Renderer::init() {
  glShadeModel(GL_SMOOTH);
  applyClearColour(fogEnabled);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glEnable(GL_DEPTH_TEST);

  // The only depth clear of this context: frames alternate depth-range halves instead.
  glClearDepth(1.0);
  glClear(GL_DEPTH_BUFFER_BIT);
  glDepthRange(0.0, 0.5);
  glDepthFunc(GL_LESS);
  depthPhase = 1;

  // A placeholder projection; the reshape that precedes the first frame replaces it.
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 1, 0, 1, 0, 100);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();

  // The default texture: what a texture that failed to load draws with.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);

  glFogf(GL_FOG_START, kFogStart);
  glFogf(GL_FOG_END, kFogEnd);
  glFogf(GL_FOG_DENSITY, kFogDensity);
  glFogf(GL_FOG_MODE, static_cast<float>(GL_LINEAR));
  const float fogColour[4] = {kFogGrey, kFogGrey, kFogGrey, 1.0f};
  glFogfv(GL_FOG_COLOR, fogColour);

  glDisable(GL_LIGHTING);

  loadSceneTextures(*this);

  birdList = glGenLists(1);
  terrainList = glGenLists(1);
  buildTerrainList();
  buildBirdList();
}

// Alternates the depth-range halves: 0..0.5 with GL_LESS, then 1..0.5 with GL_GREATER,
// so each frame's depths pass against all that the previous frame wrote.
static void switchDepthHalf(Renderer& r) {
  if (r.depthPhase) {
    glDepthFunc(GL_LESS);
    glDepthRange(0.0, 0.5);
  } else {
    glDepthFunc(GL_GREATER);
    glDepthRange(1.0, 0.5);
  }
  r.depthPhase = !r.depthPhase;
}

static void applyCamera(const World& w) {
  glLoadIdentity();
  glRotatef(static_cast<float>(w.cameraYaw), 0, 1, 0);
  glRotatef(static_cast<float>(w.cameraPitch), static_cast<float>(cosTable[w.cameraYaw]), 0,
            static_cast<float>(sinTable[w.cameraYaw]));
  glTranslatef(-w.cameraX, -w.cameraY, -w.cameraZ);
}

void Renderer::drawFrame() {
  glClear(GL_COLOR_BUFFER_BIT);
  switchDepthHalf(*this);
  applyCamera(*world);
  if (fogEnabled) {
    glEnable(GL_FOG);
  } else {
    glDisable(GL_FOG);
  }

  glCallList(terrainList);
  drawWater();
  if (treesEnabled) {
    drawTrees();
  }
  drawBirds();

  if (frameRateEnabled) {
    glLoadIdentity();
    glTranslatef(kReadOutX, kReadOutY, kReadOutZ);
    drawFrameRate();
  }

  glFinish();
  if (doubleBuffered) {
    glutSwapBuffers();
  }
}

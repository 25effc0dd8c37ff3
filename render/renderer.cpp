// Renderer set-up for a GL context, and the frame.
#include "render/renderer.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <cstdio>

#include "sim/angles.h"

// Fog fades the scene into the grey sky from here to kFogEnd.
const float kFogStart = 100.0f;
const float kFogDensity = 0.35f;               // set for completeness; linear fog does not use it
const float kFogGrey = 0.7f;                   // fog colour and grey sky
const float kSkyBlue[3] = {0.2f, 0.2f, 1.0f};  // the sky without fog
const float kClearAlpha = 0.7f;  // both skies' alpha; nothing reads the window's alpha

// Where the frame-rate read-out sits in eye space: upper right of a 640 x 480 view.
const float kReadOutX = 0.4f;
const float kReadOutY = 0.38f;
const float kReadOutZ = -1.0f;

// Set by init(), cleared once the first frame of its context has been checked for GL errors.
static int g_firstFrameOfContext = 0;

Renderer::Renderer() {
  fogEnabled = 1;
  texturesEnabled = 1;
  doubleBuffered = 1;
  treesEnabled = 1;
  frameRateEnabled = 1;
  shadowsEnabled = 1;
  cellSize = static_cast<float>(kCellSize);
  depthPhase = 1;
  // Nothing is loaded before the first init(); null pointers let a later init()
  // release what the earlier context loaded.
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
    glClearColor(kFogGrey, kFogGrey, kFogGrey, kClearAlpha);
  } else {
    glClearColor(kSkyBlue[0], kSkyBlue[1], kSkyBlue[2], kClearAlpha);
  }
}

#ifndef NDEBUG
// A context can report errors without end; a few name the fault well enough.
const int kMostGlErrorsReported = 8;

void checkGlErrors(const char* label) {
  for (int i = 0; i < kMostGlErrorsReported; i++) {
    GLenum error = glGetError();
    if (error == GL_NO_ERROR) {
      return;
    }
    fprintf(stderr, "avifold: GL error 0x%04x %s\n", error, label);
  }
}
#endif

Texture*& Renderer::texture(int slot) {
  if (slot == TextureSlot::Ground) {
    return groundTexture;
  }
  if (slot == TextureSlot::Cloud) {
    return cloudTexture;
  }
  if (slot == TextureSlot::Bird) {
    return birdTexture;
  }
  return textures[slot];
}

// The Texture objects of an earlier GL context: their GL objects died with it, so
// only their buffers are freed; the new context loads its own.
void Renderer::releaseTextures() {
  for (const TextureFile& file : kTextureSet) {
    delete texture(file.slot);
    texture(file.slot) = nullptr;
  }
}

// The seven textures, in the order their files are read. Each Texture is stored before it
// is loaded; a file that cannot be read has already been reported by load(), and the
// texture then draws without an image.
static void loadSceneTextures(Renderer& r) {
  for (const TextureFile& file : kTextureSet) {
    Texture* texture = new Texture();
    r.texture(file.slot) = texture;
    texture->load(file.path, file.size, file.size);
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

  releaseTextures();
  loadSceneTextures(*this);

  birdList = glGenLists(1);
  terrainList = glGenLists(1);
  buildTerrainList();
  buildBirdList();

  checkGlErrors("after setting up the context");
  g_firstFrameOfContext = 1;
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

// A frame's calls come in a fixed order: clear, depth half, camera, fog switch, ground, water,
// trees, birds, read-out, swap. The tests' probe (tests/probe/probe.cpp) tells the camera, the
// birds and the read-out apart by that order, so a change here is a change there.
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

  // A new context's first frame is where a fault in its set-up shows.
  if (g_firstFrameOfContext) {
    checkGlErrors("in the first frame of a context");
    g_firstFrameOfContext = 0;
  }
}

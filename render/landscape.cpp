// The landscape: the terrain mesh (a display list), the water around it and the trees.
#include <GL/gl.h>

#include "render/renderer.h"

const float kHeightScale = 10.0f;  // the ground is drawn ten times as high as stored

// The water scrolls a thousandth per drawn frame, back and forth between 0 and 1.
float waterScroll = 0.0f;
float waterScrollDirection = 1.0f;
const float kWaterScrollStep = 0.001f;

// One vertex of a water strip: texture coordinate (s, t) at (x, 0, z). A coordinate
// of kScrolled takes the current scroll offset instead.
struct WaterVertex {
  float s;
  float t;
  float x;
  float z;
};
const float kScrolled = -1.0f;
const int kWaterStrips = 4;
const int kWaterStripVertices = 4;

// Four strips around the land. Across each, one texture coordinate runs from the scroll
// offset (kScrolled) on the edge that touches the land to 1 on the outer edge. Fixed
// numbers: they do not follow the cell size.
const WaterVertex kWaterStripTable[kWaterStrips][kWaterStripVertices] = {
    {{kScrolled, 0, 0, 0}, {kScrolled, 1, 0, 1000}, {1, 0, -1000, 0}, {1, 1, -1000, 1000}},
    {{0, kScrolled, -500, 0}, {0, 1, -500, -1000}, {1, kScrolled, 1500, 0}, {1, 1, 1500, -1000}},
    {{0, kScrolled, 980, 0}, {0, 1, 1500, 0}, {1, kScrolled, 980, 1000}, {1, 1, 1500, 1000}},
    {{0, kScrolled, 1500, 980}, {0, 1, 1500, 1500}, {1, kScrolled, -500, 980}, {1, 1, -500, 1500}},
};

const float kTreeQuadSize = 20.0f;  // width and height of a tree quad, world units

// One terrain vertex: its texture coordinate, then its position.
static void terrainVertex(float s, float t, float x, float height, float z) {
  glTexCoord2f(s, t);
  glVertex3f(x, kHeightScale * height, z);
}

// Strip i spans the band between z = i and z = i + 1 cells. Texture coordinates are
// running sums of the texture steps: t first runs along row 0 in z, then down each
// column in x, so a vertex gets the same coordinates in both strips that share it.
static void terrainStrip(const Terrain& terrain, float c, int i) {
  const float* h = terrain.heights;
  const float* u = terrain.texStepU;
  const float* v = terrain.texStepV;
  const int n = kTerrainSamples;

  float sNear = 0;
  float sFar = 0;
  float tNear = 0;
  for (int k = 0; k < i; k++) {
    tNear += v[k];
  }
  float tFar = tNear + v[i];

  float zNear = static_cast<float>(i) * c;
  float zFar = static_cast<float>(i + 1) * c;
  glBegin(GL_TRIANGLE_STRIP);
  terrainVertex(sNear, tNear, 0, h[i], zNear);
  terrainVertex(sFar, tFar, 0, h[i + 1], zFar);
  for (int j = 0; j < n - 1; j++) {
    sNear += u[j * n + i];
    tNear += v[j * n + i];
    sFar += u[j * n + i + 1];
    tFar += v[j * n + i + 1];
    float x = static_cast<float>(j + 1) * c;
    terrainVertex(sNear, tNear, x, h[(j + 1) * n + i], zNear);
    terrainVertex(sFar, tFar, x, h[(j + 1) * n + i + 1], zFar);
  }
  glEnd();
}

void Renderer::buildTerrainList() {
  glNewList(terrainList, GL_COMPILE);
  glColor3f(1, 1, 1);
  if (texturesEnabled) {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, groundTexture->glName);
  }
  for (int i = 0; i < kTerrainSamples - 1; i++) {
    terrainStrip(*world->terrain, cellSize, i);
  }
  glDisable(GL_TEXTURE_2D);
  glEndList();
}

// Moves the scroll offset one step; the direction turns at 1 and 0 from the next
// frame on, and this frame draws with the value just reached.
static void scrollWater() {
  waterScroll = waterScroll + waterScrollDirection * kWaterScrollStep;
  if (waterScroll >= 1.0f) {
    waterScrollDirection = -1.0f;
  }
  if (waterScroll <= 0.0f) {
    waterScrollDirection = 1.0f;
  }
}

static float scrolled(float coordinate) {
  return coordinate == kScrolled ? waterScroll : coordinate;
}

void Renderer::drawWater() {
  glEnable(GL_TEXTURE_2D);
  scrollWater();
  glColor4f(1, 1, 1, 1);
  glBindTexture(GL_TEXTURE_2D, textures[TextureSlot::Water1]->glName);
  for (int strip = 0; strip < kWaterStrips; strip++) {
    glBegin(GL_TRIANGLE_STRIP);
    for (int k = 0; k < kWaterStripVertices; k++) {
      const WaterVertex& w = kWaterStripTable[strip][k];
      glTexCoord2f(scrolled(w.s), scrolled(w.t));
      glVertex3f(w.x, 0, w.z);
    }
    glEnd();
  }
  glDisable(GL_TEXTURE_2D);
}

// Each tree is a fixed upright quad in the plane z = its cell's z, facing along z. Its
// transparent texels still write depth: there is no alpha test.
void Renderer::drawTrees() {
  glEnable(GL_TEXTURE_2D);
  glColor4f(1, 1, 1, 1);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_BLEND);
  for (int i = 0; i < kTreeCount; i++) {
    const TreeSite& site = world->terrain->treeSites[i];
    float px = site.cellX * cellSize;
    float pz = site.cellZ * cellSize;
    float y0 = site.baseHeight;
    glBindTexture(GL_TEXTURE_2D, textures[TextureSlot::Tree0 + site.textureIndex]->glName);
    glBegin(GL_TRIANGLE_STRIP);
    glTexCoord2f(0, 0);
    glVertex3f(px, y0, pz);
    glTexCoord2f(0, 1);
    glVertex3f(px, y0 + kTreeQuadSize, pz);
    glTexCoord2f(1, 0);
    glVertex3f(px + kTreeQuadSize, y0, pz);
    glTexCoord2f(1, 1);
    glVertex3f(px + kTreeQuadSize, y0 + kTreeQuadSize, pz);
    glEnd();
  }
  glDisable(GL_BLEND);
  glDisable(GL_TEXTURE_2D);
}

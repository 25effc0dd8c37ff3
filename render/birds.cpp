// The bird model: 30 textured triangles compiled once per GL context, and the pass
// that draws every bird, turned, banked and tilted, with its flattened shadow.
#include <GL/gl.h>

#include "render/renderer.h"

// One vertex of the bird model: texture coordinate (u, v) in the bird skin, then the
// position (x, y, z) in model space, where the nose points along +z, the wings lie
// along x and up is +y. Every three rows make one triangle: 1 to 10 the +x wing and
// shoulder, 11 to 13 the tail, 14 to 16 the beak (which takes the skin's corners), 17
// to 20 the back, 21 to 30 the -x shoulder and wing. Some positions carry different
// texture coordinates in different triangles; each row keeps its own.
struct BirdVertex {
  float u;
  float v;
  float x;
  float y;
  float z;
};

const int kBirdVertices = 90;
const BirdVertex kBirdMesh[kBirdVertices] = {
    {0.662f, 0.211f, 5.0f, 1.5f, 0.0f},    // 1, triangle 1
    {0.733f, 0.243f, 6.0f, 1.5f, 0.5f},    // 2, triangle 1
    {0.778f, 0.207f, 6.5f, 1.5f, 0.0f},    // 3, triangle 1
    {0.662f, 0.211f, 5.0f, 1.5f, 0.0f},    // 4, triangle 2
    {0.694f, 0.278f, 5.3f, 1.5f, 1.0f},    // 5, triangle 2
    {0.733f, 0.243f, 6.0f, 1.5f, 0.5f},    // 6, triangle 2
    {0.662f, 0.211f, 5.0f, 1.5f, 0.0f},    // 7, triangle 3
    {0.533f, 0.252f, 3.5f, 1.2f, 0.1f},    // 8, triangle 3
    {0.694f, 0.278f, 5.3f, 1.5f, 1.0f},    // 9, triangle 3
    {0.645f, 0.325f, 3.7f, 1.5f, 1.8f},    // 10, triangle 4
    {0.533f, 0.252f, 3.5f, 1.2f, 0.1f},    // 11, triangle 4
    {0.694f, 0.278f, 5.3f, 1.5f, 1.0f},    // 12, triangle 4
    {0.645f, 0.325f, 3.7f, 1.5f, 1.8f},    // 13, triangle 5
    {0.627f, 0.325f, 3.2f, 1.5f, 1.8f},    // 14, triangle 5
    {0.533f, 0.252f, 3.5f, 1.2f, 0.1f},    // 15, triangle 5
    {0.596f, 0.345f, 2.0f, 1.2f, 1.3f},    // 16, triangle 6
    {0.533f, 0.252f, 3.5f, 1.2f, 0.1f},    // 17, triangle 6
    {0.627f, 0.325f, 3.2f, 1.5f, 1.8f},    // 18, triangle 6
    {0.596f, 0.345f, 2.0f, 1.2f, 1.3f},    // 19, triangle 7
    {0.533f, 0.252f, 3.5f, 1.2f, 0.1f},    // 20, triangle 7
    {0.462f, 0.298f, 2.0f, 0.9f, -0.8f},   // 21, triangle 7
    {0.596f, 0.345f, 2.0f, 1.2f, 1.3f},    // 22, triangle 8
    {0.556f, 0.368f, 1.0f, 0.8f, 1.0f},    // 23, triangle 8
    {0.462f, 0.298f, 2.0f, 0.9f, -0.8f},   // 24, triangle 8
    {0.384f, 0.352f, 0.5f, 0.5f, -1.3f},   // 25, triangle 9
    {0.556f, 0.368f, 1.0f, 0.8f, 1.0f},    // 26, triangle 9
    {0.462f, 0.298f, 2.0f, 0.9f, -0.8f},   // 27, triangle 9
    {0.384f, 0.352f, 0.5f, 0.5f, -1.3f},   // 28, triangle 10
    {0.556f, 0.368f, 1.0f, 0.8f, 1.0f},    // 29, triangle 10
    {0.521f, 0.384f, 0.5f, 0.6f, 1.0f},    // 30, triangle 10
    {0.34f, 0.36f, 0.5f, 0.5f, -1.0f},     // 31, triangle 11
    {0.188f, 0.329f, 0.0f, -0.5f, -3.0f},  // 32, triangle 11
    {0.333f, 0.262f, 1.7f, -0.5f, -2.1f},  // 33, triangle 11
    {0.286f, 0.423f, -0.5f, 0.5f, -1.0f},  // 34, triangle 12
    {0.188f, 0.329f, 0.0f, -0.5f, -3.0f},  // 35, triangle 12
    {0.34f, 0.36f, 0.5f, 0.5f, -1.0f},     // 36, triangle 12
    {0.196f, 0.46f, -1.7f, -0.5f, -2.1f},  // 37, triangle 13
    {0.188f, 0.329f, 0.0f, -0.5f, -3.0f},  // 38, triangle 13
    {0.286f, 0.423f, -0.5f, 0.5f, -1.0f},  // 39, triangle 13
    {0.0f, 0.0f, 0.3f, 0.6f, 1.0f},        // 40, triangle 14
    {1.0f, 0.0f, 0.2f, 0.5f, 1.7f},        // 41, triangle 14
    {1.0f, 1.0f, 0.0f, 0.5f, 1.8f},        // 42, triangle 14
    {0.0f, 0.0f, -0.3f, 0.6f, 1.0f},       // 43, triangle 15
    {1.0f, 0.0f, -0.2f, 0.5f, 1.7f},       // 44, triangle 15
    {1.0f, 1.0f, 0.0f, 0.5f, 1.8f},        // 45, triangle 15
    {0.0f, 0.0f, 0.3f, 0.6f, 1.0f},        // 46, triangle 16
    {1.0f, 0.0f, -0.3f, 0.6f, 1.0f},       // 47, triangle 16
    {1.0f, 1.0f, 0.0f, 0.5f, 2.0f},        // 48, triangle 16
    {0.411f, 0.415f, 0.0f, 0.7f, 0.0f},    // 49, triangle 17
    {0.521f, 0.384f, 0.5f, 0.6f, 1.0f},    // 50, triangle 17
    {0.384f, 0.352f, 0.5f, 0.5f, -1.0f},   // 51, triangle 17
    {0.411f, 0.415f, 0.0f, 0.7f, 0.0f},    // 52, triangle 18
    {0.3f, 0.456f, -0.5f, 0.5f, -1.3f},    // 53, triangle 18
    {0.384f, 0.352f, 0.5f, 0.5f, -1.0f},   // 54, triangle 18
    {0.411f, 0.415f, 0.0f, 0.7f, 0.0f},    // 55, triangle 19
    {0.435f, 0.488f, 0.5f, 0.6f, 1.0f},    // 56, triangle 19
    {0.521f, 0.384f, -0.5f, 0.6f, 1.0f},   // 57, triangle 19
    {0.411f, 0.415f, 0.0f, 0.7f, 0.0f},    // 58, triangle 20
    {0.435f, 0.488f, -0.5f, 0.6f, 1.0f},   // 59, triangle 20
    {0.3f, 0.456f, -0.5f, 0.5f, -1.3f},    // 60, triangle 20
    {0.3f, 0.456f, -0.5f, 0.5f, -1.3f},    // 61, triangle 21
    {0.407f, 0.567f, -1.0f, 0.8f, 1.0f},   // 62, triangle 21
    {0.435f, 0.488f, -0.5f, 0.6f, 1.0f},   // 63, triangle 21
    {0.3f, 0.456f, -0.5f, 0.5f, -1.3f},    // 64, triangle 22
    {0.407f, 0.576f, -1.0f, 0.8f, 1.0f},   // 65, triangle 22
    {0.243f, 0.607f, -2.0f, 0.9f, -0.8f},  // 66, triangle 22
    {0.392f, 0.647f, -2.0f, 1.2f, 1.3f},   // 67, triangle 23
    {0.407f, 0.576f, -1.0f, 0.8f, 1.0f},   // 68, triangle 23
    {0.243f, 0.607f, -2.0f, 0.9f, -0.8f},  // 69, triangle 23
    {0.392f, 0.647f, -2.0f, 1.2f, 1.3f},   // 70, triangle 24
    {0.235f, 0.678f, -3.5f, 1.2f, 0.1f},   // 71, triangle 24
    {0.243f, 0.607f, -2.0f, 0.9f, -0.8f},  // 72, triangle 24
    {0.392f, 0.647f, -2.0f, 1.2f, 1.3f},   // 73, triangle 25
    {0.235f, 0.678f, -3.5f, 1.2f, 0.1f},   // 74, triangle 25
    {0.37f, 0.69f, -3.2f, 1.5f, 1.8f},     // 75, triangle 25
    {0.329f, 0.741f, -3.7f, 1.5f, 1.8f},   // 76, triangle 26
    {0.235f, 0.678f, -3.5f, 1.2f, 0.1f},   // 77, triangle 26
    {0.37f, 0.69f, -3.2f, 1.5f, 1.8f},     // 78, triangle 26
    {0.329f, 0.741f, -3.7f, 1.5f, 1.8f},   // 79, triangle 27
    {0.235f, 0.678f, -3.5f, 1.2f, 0.1f},   // 80, triangle 27
    {0.282f, 0.819f, -5.3f, 1.5f, 1.0f},   // 81, triangle 27
    {0.2f, 0.827f, -5.0f, 1.5f, 0.0f},     // 82, triangle 28
    {0.235f, 0.678f, -3.5f, 1.2f, 0.1f},   // 83, triangle 28
    {0.282f, 0.819f, -5.3f, 1.5f, 1.0f},   // 84, triangle 28
    {0.2f, 0.827f, -5.0f, 1.5f, 0.0f},     // 85, triangle 29
    {0.239f, 0.9f, -6.0f, 1.5f, 0.5f},     // 86, triangle 29
    {0.282f, 0.819f, -5.3f, 1.5f, 1.0f},   // 87, triangle 29
    {0.2f, 0.827f, -5.0f, 1.5f, 0.0f},     // 88, triangle 30
    {0.239f, 0.9f, -6.0f, 1.5f, 0.5f},     // 89, triangle 30
    {0.2f, 0.958f, -6.5f, 1.5f, 0.0f},     // 90, triangle 30
};

const float kBankPerTurnRate = -5.0f;  // degrees of roll per degree-per-tick of turn
const float kNosePerClimb = -1.0f;     // degrees of pitch-up per degree of climb
const float kShadowGrey = 0.2f;

void Renderer::buildBirdList() {
  glNewList(birdList, GL_COMPILE);
  // Recorded into the list: every call enables texturing and binds the skin again,
  // the shadow pass included.
  if (texturesEnabled) {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, birdTexture->glName);
  }
  glBegin(GL_TRIANGLES);
  for (int i = 0; i < kBirdVertices; i++) {
    const BirdVertex& p = kBirdMesh[i];
    glTexCoord2f(p.u, p.v);
    glVertex3f(p.x, p.y, p.z);
  }
  glEnd();
  glDisable(GL_TEXTURE_2D);
  glEndList();
}

// The model flattened onto the water plane y = 0 straight below the bird, turned to its
// heading but neither banked nor tilted, drawn over everything before it.
static void drawShadow(unsigned int birdList, float birdY) {
  glTranslatef(0, -birdY, 0);
  glScalef(1, 0, 1);
  glPushAttrib(GL_DEPTH_BUFFER_BIT);
  glDepthFunc(GL_ALWAYS);
  glDisable(GL_TEXTURE_2D);
  glColor4f(kShadowGrey, kShadowGrey, kShadowGrey, 1.0f);
  glCallList(birdList);
  glPopAttrib();
}

void Renderer::drawBirds() {
  for (int i = 0; i < kFlockSize; i++) {
    const Bird& b = world->birds[i];
    glPushMatrix();
    glTranslatef(b.x, b.y, b.z);
    glRotatef(static_cast<float>(b.heading), 0, 1, 0);

    // A bird whose heading is increasing lowers its +x wing, inside the turn; a
    // climbing bird raises its nose.
    glPushMatrix();
    glRotatef(b.turnRate * kBankPerTurnRate, 0, 0, 1);
    glRotatef(b.climbAngle * kNosePerClimb, 1, 0, 0);
    glColor4f(1, 1, 1, 0.5f);
    glCallList(birdList);
    glPopMatrix();

    if (shadowsEnabled) {
      drawShadow(birdList, b.y);
    }
    glPopMatrix();
  }
}

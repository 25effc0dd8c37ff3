// The bird model: 30 textured triangles compiled once per GL context, and the pass
// that draws every bird, turned, banked and tilted, with its flattened shadow.
#include <GL/gl.h>

#include "render/bird_mesh.h"
#include "render/renderer.h"

const float kBankPerTurnRate = -5.0f;  // degrees of roll per degree-per-tick of turn
const float kNosePerClimb = -1.0f;     // degrees of pitch-up per degree of climb
const float kShadowGrey = 0.2f;
// The birds' colour is white, which leaves the skin as it is. Its alpha shows nothing:
// blending is off while the birds are drawn.
const float kBirdAlpha = 0.5f;

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
    glTexCoord2f(static_cast<float>(p.u), static_cast<float>(p.v));
    glVertex3f(static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z));
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
    glColor4f(1, 1, 1, kBirdAlpha);
    glCallList(birdList);
    glPopMatrix();

    if (shadowsEnabled) {
      drawShadow(birdList, b.y);
    }
    glPopMatrix();
  }
}

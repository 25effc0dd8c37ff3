// The bird model and the bird pass as GL receives them: the 90 tabled vertices, each
// bird turned to its heading, banked by its turn rate and tilted by its climb angle,
// and its grey shadow flattened onto y = 0 below it.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "render/bird_mesh.h"
#include "tests/render/gl_capture.h"
#include "tests/render/test_scene.h"

const float kSlack = 2e-3f;  // capture and rotation rounding, world units
const double kDegree = 3.14159265358979 / 180.0;
const int kModelTriangles = 30;

// Vertex n (1..90) of the model as drawn from triangle first on.
static const CapturedVertex& modelVertex(const std::vector<CapturedTriangle>& triangles,
                                         size_t first, int n) {
  return triangles[first + (n - 1) / 3].v[(n - 1) % 3];
}

// Vertex v lies at (x, y, z); `what` says which vertex on a failure.
static void expectAt(const CapturedVertex& v, double x, double y, double z, int what) {
  EXPECT_NEAR(v.x, x, kSlack) << what;
  EXPECT_NEAR(v.y, y, kSlack) << what;
  EXPECT_NEAR(v.z, z, kSlack) << what;
}

class BirdsTest : public TestScene {
 protected:
  // Spreads the flock out, every bird level with heading 0, so each case sets up the
  // bird it looks at.
  void SetUp() override {
    TestScene::SetUp();
    for (int i = 0; i < kFlockSize; i++) {
      Bird& b = world->birds[i];
      b.x = 100.0f + 15.0f * static_cast<float>(i);
      b.y = 30.0f + static_cast<float>(i);
      b.z = 400.0f;
      b.heading = 0;
      b.turnRate = 0;
      b.climbAngle = 0;
    }
    world->birds[0].x = 200.0f;
    world->birds[0].y = 40.0f;
    world->birds[0].z = 300.0f;
  }

  std::vector<CapturedTriangle> drawnBirds() {
    return captureTriangles([this] { renderer->drawBirds(); });
  }

  // World position of bird 0's model vertex n, with shadows on (60 triangles a bird).
  CapturedVertex birdZeroVertex(int n) {
    std::vector<CapturedTriangle> drawn = drawnBirds();
    EXPECT_EQ(drawn.size(), 40u * 2 * kModelTriangles);
    if (drawn.size() < static_cast<size_t>(kModelTriangles)) {
      return CapturedVertex();
    }
    return modelVertex(drawn, 0, n);
  }
};

TEST_F(BirdsTest, ListHoldsTheNinetyTabledVerticesInTheCallersColour) {
  glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
  std::vector<CapturedTriangle> model =
      captureTriangles([this] { glCallList(renderer->birdList); });
  ASSERT_EQ(model.size(), 30u);

  // The mesh's rows in order, each as the nearest float.
  for (int n = 1; n <= kBirdVertices; n++) {
    const BirdVertex& row = kBirdMesh[n - 1];
    const CapturedVertex& v = modelVertex(model, 0, n);
    EXPECT_TRUE(v.s == static_cast<float>(row.u) && v.t == static_cast<float>(row.v)) << n;
    expectAt(v, row.x, row.y, row.z, n);
  }
  // The list sets no colour of its own.
  for (const CapturedTriangle& t : model) {
    for (const CapturedVertex& v : t.v) {
      EXPECT_TRUE(v.colour[0] == 0.25f && v.colour[2] == 0.75f);
    }
  }
}

TEST_F(BirdsTest, HeadingZeroPointsTheBeakAlongPlusZAndNinetyAlongPlusX) {
  expectAt(birdZeroVertex(48), 200, 40.5, 302, 48);
  // Wings level along x.
  EXPECT_NEAR(birdZeroVertex(3).x, 206.5f, kSlack);
  EXPECT_NEAR(birdZeroVertex(3).y, 41.5f, kSlack);
  EXPECT_NEAR(birdZeroVertex(90).x, 193.5f, kSlack);
  EXPECT_NEAR(birdZeroVertex(90).y, 41.5f, kSlack);

  world->birds[0].heading = 90;
  expectAt(birdZeroVertex(48), 202, 40.5, 300, 48);
  // The +x wing now reaches toward -z.
  EXPECT_NEAR(birdZeroVertex(3).z, 293.5f, kSlack);
}

TEST_F(BirdsTest, TurningTowardLargerHeadingsLowersThePlusXWing) {
  // A roll of -5 degrees per degree of turn rate about the nose axis.
  const double bank = 3.0 * -5.0 * kDegree;
  const float lowTip = static_cast<float>(40.0 + 6.5 * std::sin(bank) + 1.5 * std::cos(bank));
  const float highTip = static_cast<float>(40.0 - 6.5 * std::sin(bank) + 1.5 * std::cos(bank));

  for (float turnRate : {3.0f, -3.0f}) {
    world->birds[0].turnRate = turnRate;
    EXPECT_NEAR(birdZeroVertex(3).y, turnRate > 0 ? lowTip : highTip, kSlack) << turnRate;
    EXPECT_NEAR(birdZeroVertex(90).y, turnRate > 0 ? highTip : lowTip, kSlack) << turnRate;
    EXPECT_EQ(birdZeroVertex(3).y<birdZeroVertex(90).y, turnRate> 0) << turnRate;
  }
}

TEST_F(BirdsTest, ClimbingRaisesTheNoseAndDivingLowersIt) {
  // The beak tip (0, 0.5, 2) pitched up by the climb angle about the x axis.
  const double climb = 30.0 * kDegree;
  world->birds[0].climbAngle = 30.0f;
  CapturedVertex beak = birdZeroVertex(48);
  EXPECT_NEAR(beak.y, 40.0 + 0.5 * std::cos(climb) + 2.0 * std::sin(climb), kSlack);
  EXPECT_NEAR(beak.z, 300.0 + 2.0 * std::cos(climb) - 0.5 * std::sin(climb), kSlack);

  world->birds[0].climbAngle = -30.0f;
  beak = birdZeroVertex(48);
  EXPECT_NEAR(beak.y, 40.0 + 0.5 * std::cos(climb) - 2.0 * std::sin(climb), kSlack);
}

TEST_F(BirdsTest, ShadowLiesFlatBelowTheBirdTurnedButNeitherBankedNorTilted) {
  std::vector<CapturedTriangle> model =
      captureTriangles([this] { glCallList(renderer->birdList); });
  ASSERT_EQ(model.size(), 30u);
  Bird& b = world->birds[0];
  b.heading = 90;
  b.turnRate = 3.0f;
  b.climbAngle = 20.0f;

  std::vector<CapturedTriangle> drawn = drawnBirds();
  ASSERT_EQ(drawn.size(), 40u * 60u);
  // Bird 0's model comes first, then its shadow.
  for (int n = 1; n <= 90; n++) {
    const CapturedVertex& m = modelVertex(model, 0, n);
    const CapturedVertex& shadow = modelVertex(drawn, kModelTriangles, n);
    // Heading 90 turns model +z to +x and model +x to -z.
    expectAt(shadow, 200.0f + m.z, 0, 300.0f - m.x, n);
    const float* grey = shadow.colour;
    EXPECT_TRUE(grey[0] == 0.2f && grey[1] == 0.2f && grey[2] == 0.2f && grey[3] == 1) << n;
    const CapturedVertex& body = modelVertex(drawn, 0, n);
    EXPECT_TRUE(body.colour[0] == 1.0f && body.colour[3] == 0.5f) << "vertex " << n;
  }
}

// Only pixels show whether texturing is on. The shadow pass switches it off, but the list
// it calls switches it on again, so the shadow is the bird skin darkened to 0.2.
TEST_F(BirdsTest, ShadowIsTheBirdSkinDarkenedToAFifth) {
  Texture* skin = new Texture();
  ASSERT_TRUE(skin->prepare("one red pixel", 1, 1));
  const unsigned char red[4] = {255, 0, 0, 255};
  memcpy(skin->pixels, red, sizeof red);
  skin->upload();
  delete renderer->birdTexture;
  renderer->birdTexture = skin;
  renderer->buildBirdList();

  // Straight down on 0.2 x 0.2 units inside bird 0's back; only y = -1..1 is in view, so
  // the bird itself, 40 units up, is clipped away and its shadow alone shows.
  glPushAttrib(GL_VIEWPORT_BIT | GL_TRANSFORM_BIT);
  glViewport(0, 0, 8, 8);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(-0.1, 0.1, -0.1, 0.1, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glRotatef(90, 1, 0, 0);
  glTranslatef(-200.25f, 0, -300);
  renderer->drawBirds();
  unsigned char pixel[4] = {};
  glReadPixels(4, 4, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glPopAttrib();
  glDeleteTextures(1, &skin->glName);

  EXPECT_NEAR(static_cast<int>(pixel[0]), 51, 1);  // a fifth of the skin's red
  EXPECT_EQ(static_cast<int>(pixel[1]), 0);        // an untextured shadow would be 0.2 grey
  EXPECT_EQ(static_cast<int>(pixel[2]), 0);
}

TEST_F(BirdsTest, ShadowsAreDrawnOnlyWhileSwitchedOn) {
  ASSERT_EQ(drawnBirds().size(), 40u * 60u);

  renderer->shadowsEnabled = 0;
  std::vector<CapturedTriangle> drawn = drawnBirds();
  ASSERT_EQ(drawn.size(), 40u * 30u);
  for (const CapturedTriangle& t : drawn) {
    for (const CapturedVertex& v : t.v) {
      ASSERT_TRUE(v.colour[0] == 1.0f && v.colour[3] == 0.5f);
    }
  }
  // Every bird is drawn where it flies, in index order.
  for (int i = 0; i < kFlockSize; i++) {
    const Bird& b = world->birds[i];
    const CapturedVertex& beak = modelVertex(drawn, static_cast<size_t>(i) * kModelTriangles, 48);
    expectAt(beak, b.x, b.y + 0.5f, b.z + 2.0f, i);  // bird i
  }
}

TEST_F(BirdsTest, BirdPassLeavesTheMatrixAndDepthFunctionAsItFoundThem) {
  glDepthFunc(GL_GREATER);
  float before[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, before);
  renderer->drawBirds();
  float after[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, after);
  for (int i = 0; i < 16; i++) {
    EXPECT_EQ(after[i], before[i]);
  }
  int depthFunc = 0;
  glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
  EXPECT_EQ(depthFunc, GL_GREATER);
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  glDepthFunc(GL_LESS);
}

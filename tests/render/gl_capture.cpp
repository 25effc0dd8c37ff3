// Feedback-mode capture of the triangles a drawing call sends, in world coordinates.
#include "tests/render/gl_capture.h"

#include <GL/freeglut.h>
#include <GL/gl.h>
#include <gtest/gtest.h>

// The scene fits in -kSceneHalfSpan..kSceneHalfSpan on every axis (water reaches
// -1000 and 1500). A power of two keeps the scaling itself exact.
const float kSceneHalfSpan = 2048.0f;
const int kViewport = 2048;  // pixels across the viewport, so window x = (ndc + 1) * 1024
const int kFloatsPerVertex = 3 + 4 + 4;  // GL_3D_COLOR_TEXTURE in RGBA mode
const int kFeedbackFloats = 1 << 21;     // room for the whole terrain several times over

static CapturedVertex readVertex(const GLfloat* f) {
  CapturedVertex v;
  float half = static_cast<float>(kViewport) / 2.0f;
  v.x = (f[0] / half - 1.0f) * kSceneHalfSpan;
  v.y = (f[1] / half - 1.0f) * kSceneHalfSpan;
  v.z = (f[2] * 2.0f - 1.0f) * kSceneHalfSpan;  // depth range 0..1
  for (int c = 0; c < 4; c++) {
    v.colour[c] = f[3 + c];
  }
  v.s = f[7];
  v.t = f[8];
  return v;
}

static std::vector<CapturedTriangle> parseFeedback(const std::vector<GLfloat>& buffer, int used) {
  std::vector<CapturedTriangle> triangles;
  int i = 0;
  while (i < used) {
    int token = static_cast<int>(buffer[i++]);
    if (token == GL_PASS_THROUGH_TOKEN) {
      i += 1;
      continue;
    }
    if (token != GL_POLYGON_TOKEN) {
      ADD_FAILURE() << "unexpected feedback token " << token;
      return triangles;
    }
    int count = static_cast<int>(buffer[i++]);
    if (count != 3) {
      ADD_FAILURE() << "a polygon of " << count << " vertices: the scene was clipped";
      return triangles;
    }
    CapturedTriangle triangle;
    for (int k = 0; k < 3; k++) {
      triangle.v[k] = readVertex(&buffer[i]);
      i += kFloatsPerVertex;
    }
    triangles.push_back(triangle);
  }
  return triangles;
}

std::vector<CapturedTriangle> captureTriangles(const std::function<void()>& draw) {
  std::vector<GLfloat> buffer(kFeedbackFloats);
  glFeedbackBuffer(kFeedbackFloats, GL_3D_COLOR_TEXTURE, buffer.data());

  glPushAttrib(GL_VIEWPORT_BIT | GL_TRANSFORM_BIT);
  glViewport(0, 0, kViewport, kViewport);
  glDepthRange(0.0, 1.0);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glScalef(1.0f / kSceneHalfSpan, 1.0f / kSceneHalfSpan, 1.0f / kSceneHalfSpan);

  glRenderMode(GL_FEEDBACK);
  draw();
  int used = glRenderMode(GL_RENDER);

  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glPopAttrib();

  EXPECT_GE(used, 0) << "feedback buffer overflowed";
  if (used < 0) {
    return {};
  }
  return parseFeedback(buffer, used);
}

void openTestWindow(int* argc, char** argv) {
  glutInit(argc, argv);
  glutInitWindowSize(640, 480);
  glutInitDisplayMode(GLUT_DOUBLE | GLUT_DEPTH);
  glutCreateWindow("Avifold render tests");
}

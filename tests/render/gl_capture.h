// What the renderer sends to GL, caught with GL's feedback mode in a real context.
//
// captureTriangles() runs a drawing call with a transform that maps the whole scene
// (world x, y and z from -2048 to 2048) into the view unclipped, and gives back every
// triangle GL assembled, in the order it was drawn, with each vertex converted back
// to world coordinates. Strips and display lists arrive as their separate triangles.
#ifndef AVIFOLD_TESTS_RENDER_GL_CAPTURE_H
#define AVIFOLD_TESTS_RENDER_GL_CAPTURE_H

#include <functional>
#include <vector>

struct CapturedVertex {
  float x;  // world units, back from window coordinates (rounding about 1e-3)
  float y;
  float z;
  float colour[4];  // current colour when the vertex was sent: red, green, blue, alpha
  float s;          // texture coordinate, exactly as sent
  float t;
};

struct CapturedTriangle {
  CapturedVertex v[3];
};

// Runs draw with the model-view matrix holding only the scene transform, and returns
// the triangles it produced. Any other kind of primitive fails the calling test.
std::vector<CapturedTriangle> captureTriangles(const std::function<void()>& draw);

// Opens the GLUT window whose context the GL tests draw in; once per process.
void openTestWindow(int* argc, char** argv);

#endif

// Entry point of the GL tests: one GLUT window under Xvfb whose context every case
// draws in. The GLUT main loop never runs; the cases call the renderer directly.
#include <gtest/gtest.h>

#include "sim/angles.h"
#include "tests/render/gl_capture.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  openTestWindow(&argc, argv);
  initAngleTables();
  return RUN_ALL_TESTS();
}

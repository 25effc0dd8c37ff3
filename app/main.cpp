// Avifold: a flock of birds over a small textured landscape.
#include <GL/freeglut.h>

#include "app/app.h"

int main(int argc, char** argv) {
  // Initialization
  openMissingStandardStreams();
  installSignalHandlers();
  printBanner();
  g_renderer = new Renderer();
  initGlut(argc, argv, g_renderer->doubleBuffered);
  // After initGlut: the random generator is seeded and the angle tables are filled.
  g_world = new World();
  g_renderer->setWorld(g_world);
  g_renderer->init();

  // Main loop: ticks and frames come from GLUT's callbacks. Closing the window ends
  // the process from inside it.
  glutMainLoop();

  // De-initialization, for a GLUT that returns from its main loop.
  if (g_fullScreen) {
    glutLeaveGameMode();
  }
  delete g_world;
  return 0;
}

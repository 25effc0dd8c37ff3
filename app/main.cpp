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
  // GLUT timers belong to no window: one chain ticks for the whole run.
  startTickChain();
  // After initGlut: the random generator is seeded and the angle tables are filled.
  g_world = new World();
  g_renderer->setWorld(g_world);
  g_renderer->init();

  // Main loop: ticks and frames come from GLUT's callbacks. The program ends inside it
  // (a closed window, a signal) and never comes back here.
  glutMainLoop();
}

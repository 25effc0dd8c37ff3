// Entry point of the app tests: starts up as the program does (GLUT, the window with
// its menu and callbacks, the World, the Renderer's GL set-up) but never enters GLUT's
// main loop; the cases call the callbacks themselves.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/app.h"
#include "tests/app/menu_record.h"

std::vector<MenuCall> g_startUpMenuCalls;  // what createMainWindow built at start-up

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  g_renderer = new Renderer();
  initGlut(argc, argv, g_renderer->doubleBuffered);
  g_startUpMenuCalls = g_menuCalls;
  startTickChain();
  srand(99);  // the cases see the same World in every run
  g_world = new World();
  g_renderer->setWorld(g_world);
  g_renderer->init();
  return RUN_ALL_TESTS();
}

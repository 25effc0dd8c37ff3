// Shared set-up of the app tests: the start-up window's context current, a 640 x 480
// view, the switches as the program starts, and an empty record of menu calls.
#ifndef AVIFOLD_TESTS_APP_APP_FIXTURE_H
#define AVIFOLD_TESTS_APP_APP_FIXTURE_H

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include "app/app.h"
#include "tests/app/menu_record.h"

extern std::vector<MenuCall> g_startUpMenuCalls;

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    glutSetWindow(g_windowId);
    g_renderer->fogEnabled = 1;
    g_renderer->shadowsEnabled = 1;
    g_renderer->frameRateEnabled = 1;
    applyClearColour(1);
    onReshape(640, 480);
    for (int k = 0; k < kKeySlots; k++) {
      g_world->keys[k] = 0;
    }
    g_menuCalls.clear();
  }

  // Chooses an entry as GLUT does: its menu is current while onMenu runs.
  void choose(int menu, int id) {
    glutSetMenu(menu);
    onMenu(id);
  }
};

#endif

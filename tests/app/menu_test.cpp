// The context menu: how it is built, and what each entry does to the settings, the
// GL state, the terrain and its own label.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/app/app_fixture.h"
#include "tests/render/gl_capture.h"

static std::vector<MenuCall> expectedMenu(int viewMenu, int mainMenu) {
  return {
      {MenuCall::AddEntry, viewMenu, 0, "Bird Control", 11},
      {MenuCall::AddEntry, viewMenu, 0, "Smart Follow", 12},
      {MenuCall::AddSubMenu, mainMenu, 0, "View", viewMenu},
      {MenuCall::AddEntry, mainMenu, 0, "----------", -1},
      {MenuCall::AddEntry, mainMenu, 0, "+ Fog", 21},
      {MenuCall::AddEntry, mainMenu, 0, "+ Shadows", 30},
      {MenuCall::AddEntry, mainMenu, 0, "+ FPS", 40},
      {MenuCall::AddEntry, mainMenu, 0, "+ Bumps and Hills", 80},
      {MenuCall::AddEntry, mainMenu, 0, "----------", -1},
      {MenuCall::AddEntry, mainMenu, 0, "Full Screen Mode", 100},
  };
}

static int menuItems(int menu) {
  glutSetMenu(menu);
  return glutGet(GLUT_MENU_NUM_ITEMS);
}

// The far plane of the current perspective projection, from its third row.
static double farPlane() {
  float m[16];
  glGetFloatv(GL_PROJECTION_MATRIX, m);
  return static_cast<double>(m[14]) / (static_cast<double>(m[10]) + 1.0);
}

static void expectClearColour(float red, float green, float blue) {
  float clear[4];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  EXPECT_FLOAT_EQ(clear[0], red);
  EXPECT_FLOAT_EQ(clear[1], green);
  EXPECT_FLOAT_EQ(clear[2], blue);
}

using MenuTest = AppTest;

TEST_F(MenuTest, StartUpBuildsTheViewSubmenuThenTheMainMenuInOrder) {
  ASSERT_EQ(g_startUpMenuCalls.size(), 10u);
  int viewMenu = g_startUpMenuCalls[0].menu;
  int mainMenu = g_startUpMenuCalls[2].menu;
  EXPECT_NE(viewMenu, mainMenu);
  EXPECT_EQ(g_startUpMenuCalls, expectedMenu(viewMenu, mainMenu));
}

TEST_F(MenuTest, NewWindowGetsTheFirstLabelsWhateverTheSettings) {
  g_renderer->fogEnabled = 0;
  g_renderer->shadowsEnabled = 0;
  int oldWindow = g_windowId;
  createMainWindow();
  int newWindow = g_windowId;
  g_renderer->init();
  glutDestroyWindow(oldWindow);
  glutSetWindow(newWindow);

  EXPECT_NE(newWindow, oldWindow);
  ASSERT_EQ(g_menuCalls.size(), 10u);
  EXPECT_EQ(g_menuCalls, expectedMenu(g_lastViewMenu, g_lastMainMenu));
  // GLUT holds these entries and no others.
  EXPECT_EQ(menuItems(g_lastViewMenu), 2);
  EXPECT_EQ(menuItems(g_lastMainMenu), 8);
}

TEST_F(MenuTest, FogEntrySwitchesFogSkyAndFarPlaneAtOnceAndRelabelsItself) {
  EXPECT_NEAR(farPlane(), 300.0, 3.0);

  choose(g_lastMainMenu, 21);
  EXPECT_EQ(g_renderer->fogEnabled, 0);
  ASSERT_EQ(g_menuCalls.size(), 1u);
  EXPECT_EQ(g_menuCalls[0], (MenuCall{MenuCall::ChangeEntry, g_lastMainMenu, 3, "- Fog", 20}));
  expectClearColour(0.2f, 0.2f, 1.0f);
  EXPECT_NEAR(farPlane(), 1000.0, 10.0);

  choose(g_lastMainMenu, 20);
  EXPECT_EQ(g_renderer->fogEnabled, 1);
  ASSERT_EQ(g_menuCalls.size(), 2u);
  EXPECT_EQ(g_menuCalls[1], (MenuCall{MenuCall::ChangeEntry, g_lastMainMenu, 3, "+ Fog", 21}));
  expectClearColour(0.7f, 0.7f, 0.7f);
  EXPECT_NEAR(farPlane(), 300.0, 3.0);
}

TEST_F(MenuTest, ShadowAndFrameRateEntriesFlipTheirSwitchAndRelabelThemselves) {
  struct Toggle {
    int offId;
    int onId;
    int entry;
    const char* name;
    int* flag;
  };
  const Toggle toggles[] = {
      {30, 31, 4, "Shadows", &g_renderer->shadowsEnabled},
      {40, 41, 5, "FPS", &g_renderer->frameRateEnabled},
  };
  for (const Toggle& toggle : toggles) {
    g_menuCalls.clear();
    std::string name = toggle.name;
    choose(g_lastMainMenu, toggle.offId);
    EXPECT_EQ(*toggle.flag, 0) << name;
    choose(g_lastMainMenu, toggle.onId);
    EXPECT_EQ(*toggle.flag, 1) << name;
    std::vector<MenuCall> expected = {
        {MenuCall::ChangeEntry, g_lastMainMenu, toggle.entry, "- " + name, toggle.onId},
        {MenuCall::ChangeEntry, g_lastMainMenu, toggle.entry, "+ " + name, toggle.offId},
    };
    EXPECT_EQ(g_menuCalls, expected);
  }
}

// The heights the terrain list draws, one per vertex sent.
static std::vector<float> drawnHeights() {
  std::vector<float> heights;
  for (const CapturedTriangle& t : captureTriangles([] { glCallList(g_renderer->terrainList); })) {
    for (const CapturedVertex& v : t.v) {
      heights.push_back(v.y);
    }
  }
  return heights;
}

TEST_F(MenuTest, HillsEntryFlattensTheGroundThenRaisesNewHills) {
  Terrain& terrain = *g_world->terrain;
  std::vector<float> oldHills(terrain.heights, terrain.heights + kTerrainCells);
  unsigned oldList = g_renderer->terrainList;

  choose(g_lastMainMenu, 80);
  EXPECT_EQ(terrain.flat, 1);
  for (int i = 0; i < kTerrainCells; i++) {
    ASSERT_EQ(terrain.heights[i], 0.0f) << "sample " << i;
  }
  // The next frame shows it: the list, under the same id, now draws flat ground.
  EXPECT_EQ(g_renderer->terrainList, oldList);
  std::vector<float> drawn = drawnHeights();
  ASSERT_FALSE(drawn.empty());
  for (float y : drawn) {
    ASSERT_NEAR(y, 0.0f, 1e-3f);
  }

  choose(g_lastMainMenu, 81);
  EXPECT_EQ(terrain.flat, 0);
  std::vector<float> newHills(terrain.heights, terrain.heights + kTerrainCells);
  EXPECT_NE(newHills, oldHills);
  float highest = *std::max_element(newHills.begin(), newHills.end());
  EXPECT_GT(highest, 0.0f);
  drawn = drawnHeights();
  EXPECT_NEAR(*std::max_element(drawn.begin(), drawn.end()), 10.0f * highest, 1e-2f);

  std::vector<MenuCall> expected = {
      {MenuCall::ChangeEntry, g_lastMainMenu, 6, "- Bumps and Hills", 81},
      {MenuCall::ChangeEntry, g_lastMainMenu, 6, "+ Bumps and Hills", 80},
  };
  EXPECT_EQ(g_menuCalls, expected);
}

TEST_F(MenuTest, ViewEntriesChooseTheCameraModeWithoutRelabelling) {
  choose(g_lastViewMenu, 12);
  EXPECT_EQ(g_world->cameraMode, CameraMode::SmartFollow);
  choose(g_lastViewMenu, 11);
  EXPECT_EQ(g_world->cameraMode, CameraMode::BirdControl);
  EXPECT_TRUE(g_menuCalls.empty());
}

TEST_F(MenuTest, SeparatorsAndUnknownIdsChangeNothing) {
  g_world->cameraMode = CameraMode::SmartFollow;
  std::vector<float> heights(g_world->terrain->heights, g_world->terrain->heights + kTerrainCells);
  float projection[16];
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  int window = g_windowId;

  const int ids[] = {-1, 0, 1, 10, 13, 19, 22, 29, 32, 39, 42, 79, 82, 99, 101, 1000, -100};
  for (int id : ids) {
    choose(g_lastMainMenu, id);
    EXPECT_EQ(g_renderer->fogEnabled, 1) << id;
    EXPECT_EQ(g_renderer->shadowsEnabled, 1) << id;
    EXPECT_EQ(g_renderer->frameRateEnabled, 1) << id;
    EXPECT_EQ(g_world->cameraMode, CameraMode::SmartFollow) << id;
    EXPECT_EQ(g_world->terrain->flat, 0) << id;
    EXPECT_EQ(g_fullScreen, 0) << id;
    EXPECT_EQ(g_windowId, window) << id;
    EXPECT_EQ(glutGetWindow(), window) << id;
  }
  EXPECT_TRUE(g_menuCalls.empty());
  EXPECT_EQ(
      std::vector<float>(g_world->terrain->heights, g_world->terrain->heights + kTerrainCells),
      heights);
  float after[16];
  glGetFloatv(GL_PROJECTION_MATRIX, after);
  EXPECT_EQ(0, memcmp(projection, after, sizeof after));
  expectClearColour(0.7f, 0.7f, 0.7f);
  g_world->cameraMode = CameraMode::BirdControl;
}

// Keyboard, special keys, reshape and the tick, driven through the real callbacks of
// the start-up window.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "tests/app/app_fixture.h"

const int kGuardBytes = 2048;  // untouchable bytes on each side of a guarded World
const unsigned char kGuardFill = 0x5A;

// A World with guard bytes before and after it, standing in for g_world while it
// lives, so that a write outside the key table shows as changed bytes in any build.
class GuardedWorld {
 public:
  GuardedWorld() {
    memset(storage, kGuardFill, sizeof storage);
    world = new (storage + kGuardBytes) World();
    saved = g_world;
    g_world = world;
  }
  ~GuardedWorld() {
    g_world = saved;
    world->~World();
  }
  std::vector<unsigned char> bytes() const {
    return std::vector<unsigned char>(storage, storage + sizeof storage);
  }

  World* world;

 private:
  World* saved;
  alignas(World) unsigned char storage[kGuardBytes + sizeof(World) + kGuardBytes];
};

using InputTest = AppTest;

TEST_F(InputTest, LettersDToGMarkTheArrowSlotsUntilTheArrowIsReleased) {
  const unsigned char letters[] = {'d', 'e', 'f', 'g'};
  const int arrows[] = {GLUT_KEY_LEFT, GLUT_KEY_UP, GLUT_KEY_RIGHT, GLUT_KEY_DOWN};
  for (int i = 0; i < 4; i++) {
    onKeyboard(letters[i], 0, 0);
    for (int k = 0; k < kKeySlots; k++) {
      ASSERT_EQ(g_world->keys[k], (k >= GLUT_KEY_LEFT && k <= arrows[i]) ? 1 : 0) << "slot " << k;
    }
  }
  // No key-up callback: the letter's mark stays until the arrow itself is released.
  onSpecialUp(GLUT_KEY_LEFT, 0, 0);
  EXPECT_TRUE(g_world->keys[GLUT_KEY_LEFT] == 0 && g_world->keys[GLUT_KEY_UP] == 1);
}

TEST_F(InputTest, CharacterCodes200To255WriteNowhere) {
  GuardedWorld guarded;
  std::vector<unsigned char> before = guarded.bytes();
  for (int code = 200; code <= 255; code++) {
    onKeyboard(static_cast<unsigned char>(code), 0, 0);
  }
  EXPECT_TRUE(guarded.bytes() == before) << "a key code without a slot changed memory";
  // The last slot still works.
  onKeyboard(199, 0, 0);
  EXPECT_EQ(guarded.world->keys[199], 1);
}

TEST_F(InputTest, EscapeInAWindowOnlyMarksItsSlot) {
  int window = g_windowId;
  unsigned terrainList = g_renderer->terrainList;
  onKeyboard(27, 0, 0);
  EXPECT_EQ(g_world->keys[27], 1);
  EXPECT_TRUE(g_fullScreen == 0 && g_windowId == window && glutGetWindow() == window);
  EXPECT_TRUE(g_menuCalls.empty());                 // no new window, so no new menu
  EXPECT_EQ(g_renderer->terrainList, terrainList);  // and no new GL set-up
}

TEST_F(InputTest, SpecialKeysMarkAndClearTheirSlotsAndIgnoreCodesWithout) {
  onSpecialDown(GLUT_KEY_UP, 0, 0);
  onSpecialDown(GLUT_KEY_F1, 0, 0);
  EXPECT_TRUE(g_world->keys[GLUT_KEY_UP] == 1 && g_world->keys[GLUT_KEY_F1] == 1);
  onSpecialUp(GLUT_KEY_UP, 0, 0);
  EXPECT_TRUE(g_world->keys[GLUT_KEY_UP] == 0 && g_world->keys[GLUT_KEY_F1] == 1);

  // Presses, then releases with the first and last slots set, of codes without a slot.
  GuardedWorld guarded;
  const int outside[] = {-1, -2, -100, 200, 201, 255, 300};
  for (auto callback : {onSpecialDown, onSpecialUp}) {
    std::vector<unsigned char> before = guarded.bytes();
    for (int code : outside) {
      callback(code, 0, 0);
    }
    EXPECT_TRUE(guarded.bytes() == before) << "a special key without a slot changed memory";
    guarded.world->keys[0] = 1;
    guarded.world->keys[199] = 1;
  }
}

TEST_F(InputTest, ReshapeFollowsTheAspectWithAFixedVerticalView) {
  onReshape(800, 400);
  float m[16];
  glGetFloatv(GL_PROJECTION_MATRIX, m);
  const double focal = 1.0 / std::tan(22.5 * 3.14159265358979 / 180.0);
  EXPECT_NEAR(m[5], focal, 1e-5);
  EXPECT_NEAR(m[0], focal / 2.0, 1e-5);
  int viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_TRUE(viewport[2] == 800 && viewport[3] == 400) << viewport[2] << " x " << viewport[3];
  float modelView[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
  for (int i = 0; i < 16; i++) {
    EXPECT_EQ(modelView[i], (i % 5 == 0) ? 1.0f : 0.0f);
  }
}

TEST_F(InputTest, ReshapeToNoHeightOrWidthLeavesAFiniteProjection) {
  const int sizes[][2] = {{640, 0}, {0, 480}, {0, 0}};
  for (const auto& size : sizes) {
    onReshape(size[0], size[1]);
    float m[16];
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    for (int i = 0; i < 16; i++) {
      EXPECT_TRUE(std::isfinite(m[i])) << size[0] << " x " << size[1] << ", element " << i;
    }
  }
}

static long long g_stillNs = 0;  // the tick chain's clock, standing still till moved

static void expectSameFlock(const World& a, const World& b) {
  for (int i = 0; i < kFlockSize; i++) {
    const Bird& p = a.birds[i];
    const Bird& q = b.birds[i];
    EXPECT_TRUE(p.x == q.x && p.y == q.y && p.z == q.z && p.heading == q.heading) << "bird " << i;
  }
  EXPECT_TRUE(a.cameraX == b.cameraX && a.cameraZ == b.cameraZ);
}

TEST_F(InputTest, TimerRunsExactlyOneWorldStepWhenTheTickIsDueAndNoneBefore) {
  // Far past start-up, with the clock standing still there: the ticks owed first (no
  // main loop calls onTimer here), then none is due.
  long long (*realClock)() = g_tickClock;
  g_tickClock = [] { return g_stillNs; };
  g_stillNs = 1LL << 60;
  for (int i = 0; i < 20; i++) {
    onTimer(1);
  }
  // A twin of the World made from the same seed, stepped by hand.
  srand(5);
  GuardedWorld ticked;
  srand(5);
  World twin;

  // A timer that comes before the tick is due (GLUT's wall clock moved) runs none.
  onTimer(1);
  expectSameFlock(*ticked.world, twin);

  // One tick later one is due, and only one.
  g_stillNs += kTickMilliseconds * 1000000LL;
  srand(6);
  onTimer(1);
  onTimer(1);
  srand(6);
  twin.step();
  expectSameFlock(*ticked.world, twin);
  g_tickClock = realClock;
}

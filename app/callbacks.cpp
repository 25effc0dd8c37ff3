// The GLUT callbacks: frames, ticks, projection, keys, and the menu's rows with what
// each of them does.
#include <GL/freeglut.h>
#include <GL/glu.h>

#include "app/app.h"

// The key table stores GLUT's special-key codes as they come.
static_assert(kKeyLeft == GLUT_KEY_LEFT, "left arrow slot");
static_assert(kKeyUp == GLUT_KEY_UP, "up arrow slot");
static_assert(kKeyRight == GLUT_KEY_RIGHT, "right arrow slot");
static_assert(kKeyDown == GLUT_KEY_DOWN, "down arrow slot");

const unsigned char kEscape = 27;

// Perspective: a 45-degree vertical view; the far plane is pulled in to the fog's end
// when fog is on, since it hides everything past it anyway.
const double kFieldOfView = 45.0;
const float kNearPlane = 0.1f;
const double kFarPlaneClear = 1000.0;

// The size of the last reshape, so that the fog commands can re-apply the projection.
static int g_viewWidth = kWindowWidth;
static int g_viewHeight = kWindowHeight;

static void applyPerspective(int width, int height) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  // A minimised window reports a height of 0; its aspect would be infinite.
  int aspectHeight = height > 0 ? height : 1;
  double aspect = static_cast<double>(width) / static_cast<double>(aspectHeight);
  double farPlane = g_renderer->fogEnabled ? kFogEnd : kFarPlaneClear;
  gluPerspective(kFieldOfView, aspect, kNearPlane, farPlane);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void onReshape(int width, int height) {
  g_viewWidth = width;
  g_viewHeight = height;
  applyPerspective(width, height);
  glViewport(0, 0, width, height);
}

// The menu opens through GLUT's attachment to the right button, not through here.
void onMouse(int, int, int, int) {}

void onPassiveMotion(int, int) {}

void onSpecialUp(int key, int, int) {
  setSpecialKey(key, 0);
}

void onSpecialDown(int key, int, int) {
  setSpecialKey(key, 1);
}

void onKeyboard(unsigned char key, int, int) {
  // Character codes 200 to 255 have no slot in the table.
  if (key < kKeySlots) {
    g_world->keys[key] = 1;
  }
  if (key == kEscape && g_fullScreen) {
    switchSurface(0);
  }
}

// The next frame or tick answers a noted signal: in game mode the video mode is put back
// before the program ends, and full screen is left for a window before it stops, which
// a later frame or tick does, once GLUT has closed the full-screen surface. 1 when it
// replaced the surface (a frame begun for the old one is not drawn).
static int answerPendingSignal() {
  int signalNumber = pendingFatalSignal();
  if (signalNumber != 0) {
    endProgram(signalNumber);
  }
  if (takeStopInGameMode() && g_fullScreen) {
    switchSurface(0);
    return 1;
  }
  carryOutPendingStop();
  return 0;
}

void onDisplay() {
  if (answerPendingSignal()) {
    return;
  }
  g_renderer->drawFrame();
  // GLUT looks at its timers right after a frame, so that is when the ticks owed are
  // known.
  armMissingTimers();
  glutPostRedisplay();
}

void onTimer(int) {
  // Frames may stop coming (a covered surface); ticks still answer a signal.
  answerPendingSignal();
  long long startNs = g_tickClock();
  // A timer that comes before the tick is due was timed by a wall clock that moved, or
  // another has taken its place; a frame arms one that comes on time.
  if (!tickDueAt(startNs)) {
    return;
  }
  releaseClosedSurfaceMemory();
  g_world->step();
  armNextTick(startNs);
}

static void setFog(int on) {
  g_renderer->fogEnabled = on;
  // The sky's colour and the far plane follow at once.
  applyClearColour(on);
  applyPerspective(g_viewWidth, g_viewHeight);
}

static void setShadows(int on) {
  g_renderer->shadowsEnabled = on;
}

static void setFrameRate(int on) {
  g_renderer->frameRateEnabled = on;
}

static void setHills(int on) {
  g_world->terrain->flat = !on;
  g_world->terrain->regenerate();
  g_renderer->buildTerrainList();
}

const MenuEntry kViewMenu[kViewMenuEntries] = {
    {"Bird Control", MenuCommand::BirdControl, nullptr, 0, nullptr},
    {"Smart Follow", MenuCommand::SmartFollow, nullptr, 0, nullptr},
};
const MenuEntry kMainMenu[kMainMenuEntries] = {
    {"View", kViewSubMenu, nullptr, 0, nullptr},
    {"----------", MenuCommand::Separator, nullptr, 0, nullptr},
    {"+ Fog", MenuCommand::FogOff, "- Fog", MenuCommand::FogOn, setFog},
    {"+ Shadows", MenuCommand::ShadowsOff, "- Shadows", MenuCommand::ShadowsOn, setShadows},
    {"+ FPS", MenuCommand::FrameRateOff, "- FPS", MenuCommand::FrameRateOn, setFrameRate},
    {"+ Bumps and Hills", MenuCommand::FlatGround, "- Bumps and Hills", MenuCommand::HillyGround,
     setHills},
    {"----------", MenuCommand::Separator, nullptr, 0, nullptr},
    {"Full Screen Mode", MenuCommand::FullScreen, nullptr, 0, nullptr},
};

// Switches the setting of the toggle entry at position on or off, and shows the label
// and command that switch it back.
static void switchToggle(const MenuEntry& entry, int position, int on) {
  entry.setSetting(on);
  // GLUT makes the chosen entry's menu current while the menu callback runs.
  glutChangeToMenuEntry(position, on ? entry.label : entry.nextLabel, on ? entry.id : entry.nextId);
}

void onMenu(int id) {
  if (id == MenuCommand::BirdControl) {
    g_world->cameraMode = CameraMode::BirdControl;
    return;
  }
  if (id == MenuCommand::SmartFollow) {
    g_world->cameraMode = CameraMode::SmartFollow;
    return;
  }
  if (id == MenuCommand::FullScreen) {
    switchSurface(1);
    return;
  }
  // Any other id, the separators' among them, does nothing.
  for (int i = 0; i < kMainMenuEntries; i++) {
    const MenuEntry& entry = kMainMenu[i];
    if (entry.setSetting != nullptr && (id == entry.id || id == entry.nextId)) {
      switchToggle(entry, i + 1, id == entry.nextId);
      return;
    }
  }
}

void onClose() {
  // GLUT calls this when the game-mode surface is closed from outside, and again when it
  // tears down one that Escape has left; only the first ends the program. A window's
  // close is GLUT's own: it ends the program itself.
  if (g_fullScreen) {
    endProgram(0);
  }
}

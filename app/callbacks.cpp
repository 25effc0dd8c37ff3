// The GLUT callbacks: frames, ticks, projection, keys and menu commands.
#include <GL/freeglut.h>
#include <GL/glu.h>

#include <cstdlib>  // on glibc, defines __GLIBC__
#ifdef __GLIBC__
#include <malloc.h>
#endif

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

// Set by a switch between window and full screen. GLUT tears the old surface and its GL
// context down only at the end of the main-loop pass that made the new one, so the next
// tick is the first moment that context's memory is surely free; it is handed back to
// the system then, or the heap would keep every switch's high-water mark.
static int g_releaseFreedMemory = 0;

// 1 for a special key pressed on the current surface and not yet released.
static int g_specialKeysDown[kKeySlots];

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
  if (key >= 0 && key < kKeySlots) {
    g_world->keys[key] = 0;
    g_specialKeysDown[key] = 0;
  }
}

void onSpecialDown(int key, int, int) {
  if (key >= 0 && key < kKeySlots) {
    g_world->keys[key] = 1;
    g_specialKeysDown[key] = 1;
  }
}

// A surface destroyed while a special key is down never hears its release: X gives it
// to whatever window has the keyboard then. The new surface starts as if every special
// key held on the old one had been released there. Letters keep their marks, d to g in
// the arrows' slots among them: no release of a letter is ever heard anyway.
static void releaseHeldSpecialKeys() {
  for (int key = 0; key < kKeySlots; key++) {
    if (g_specialKeysDown[key]) {
      g_world->keys[key] = 0;
      g_specialKeysDown[key] = 0;
    }
  }
}

// A new surface, window or full screen: a new GL context, set up as at the start, and
// no special key held.
static void showOnNewSurface() {
  createMainWindow();
  releaseHeldSpecialKeys();
  g_renderer->init();
  g_releaseFreedMemory = 1;
}

// Full screen back to a window, as Escape does it.
static void returnToWindow() {
  g_fullScreen = 0;
  leaveFullScreen();
  showOnNewSurface();
}

void onKeyboard(unsigned char key, int, int) {
  // Character codes 200 to 255 have no slot in the table.
  if (key < kKeySlots) {
    g_world->keys[key] = 1;
  }
  if (key != kEscape || !g_fullScreen) {
    return;
  }
  returnToWindow();
}

// A stop in game mode, answered by the main loop in two passes: this one leaves full
// screen for a window, as Escape does; the next, once GLUT has closed the full-screen
// surface, stops. 1 when the surface was switched.
static int answerStop() {
  static int s_stopAfterSwitch = 0;  // the stop whose surface switch is done
  if (s_stopAfterSwitch != 0) {
    int signalNumber = s_stopAfterSwitch;
    s_stopAfterSwitch = 0;
    stopBySignal(signalNumber);
    return 0;
  }
  int signalNumber = takePendingStop();
  if (signalNumber == 0) {
    return 0;
  }
  if (surfaceKind() != SurfaceKind::GameMode) {
    stopBySignal(signalNumber);
    return 0;
  }
  returnToWindow();
  s_stopAfterSwitch = signalNumber;
  return 1;
}

// The next frame or tick answers a noted signal: in game mode the video mode is put back
// before the program ends, and full screen is left for a window before it stops. 1 when
// it replaced the surface (a frame begun for the old one is not drawn).
static int answerPendingSignal() {
  int signalNumber = pendingFatalSignal();
  if (signalNumber != 0) {
    if (surfaceKind() == SurfaceKind::GameMode) {
      leaveFullScreen();
    }
    endBySignal(signalNumber);
  }
  return answerStop();
}

void onDisplay() {
  // Frames come back to back, whatever GLUT's timers do: they answer a signal that
  // waits for the main loop, and keep the ticks coming on time. GLUT looks at its timers
  // right after a frame, so that is when the ticks owed are known.
  if (answerPendingSignal()) {
    return;
  }
  g_renderer->drawFrame();
  keepTicksComing();
  glutPostRedisplay();
}

void onTimer(int) {
  answerPendingSignal();
  // A timer that comes before the tick is due was timed by a wall clock that moved, or
  // another has taken its place; a frame arms one that comes on time.
  if (!tickTimerCame()) {
    return;
  }
  if (g_releaseFreedMemory) {
#ifdef __GLIBC__
    malloc_trim(0);
#endif
    g_releaseFreedMemory = 0;
  }
  g_world->step();
  armNextTick();
}

static void setHills(int flat) {
  g_world->terrain->flat = flat;
  g_world->terrain->regenerate();
  g_renderer->buildTerrainList();
}

static void enterFullScreen() {
  glutDestroyWindow(g_windowId);
  g_fullScreen = 1;
  showOnNewSurface();
}

// Switches the setting of the toggle entry at position to enabled, and shows the label
// and command that switch it back. The fog's clear colour and far plane follow at once.
static void switchToggle(const MenuEntry& entry, int position, int enabled) {
  const char* label = enabled ? entry.label : entry.nextLabel;
  int nextId = enabled ? entry.id : entry.nextId;
  if (entry.id == MenuCommand::FogOff) {
    g_renderer->fogEnabled = enabled;
  } else if (entry.id == MenuCommand::ShadowsOff) {
    g_renderer->shadowsEnabled = enabled;
  } else if (entry.id == MenuCommand::FrameRateOff) {
    g_renderer->frameRateEnabled = enabled;
  } else if (entry.id == MenuCommand::FlatGround) {
    setHills(!enabled);
  }
  // GLUT makes the chosen entry's menu current while the menu callback runs.
  glutChangeToMenuEntry(position, label, nextId);
  if (entry.id == MenuCommand::FogOff) {
    applyClearColour(enabled);
    applyPerspective(g_viewWidth, g_viewHeight);
  }
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
    enterFullScreen();
    return;
  }
  // Any other id, the separators' among them, does nothing.
  for (int i = 0; i < kMainMenuEntries; i++) {
    const MenuEntry& entry = kMainMenu[i];
    if (entry.nextLabel == nullptr) {
      continue;
    }
    if (id == entry.id || id == entry.nextId) {
      switchToggle(entry, i + 1, id == entry.nextId);
      return;
    }
  }
}

void onClose() {
  // A window's close is GLUT's own: it ends the program itself.
  if (surfaceKind() != SurfaceKind::GameMode) {
    return;
  }
  // GLUT would tear the game-mode surface down twice and crash on the way out: leave
  // the game's video mode here and end as the close of a window does.
  leaveFullScreen();
  exit(0);
}

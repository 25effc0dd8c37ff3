// Start-up: the banner, GLUT, and the window or full-screen surface with its menu.
#include <GL/freeglut.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "app/app.h"
#include "sim/angles.h"

#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

Renderer* g_renderer = nullptr;
World* g_world = nullptr;
int g_windowId = 0;
int g_fullScreen = 0;

const char* const kWindowTitle = "Avifold";
const char* const kGameMode = "640x480:32";  // full screen: 640 x 480, 32 bits a pixel

// The View submenu: the camera modes.
const MenuEntry kViewMenu[] = {
    {"Bird Control", MenuCommand::BirdControl, nullptr, 0},
    {"Smart Follow", MenuCommand::SmartFollow, nullptr, 0},
};
const MenuEntry kMainMenu[kMainMenuEntries] = {
    {"View", kViewSubMenu, nullptr, 0},
    {"----------", MenuCommand::Separator, nullptr, 0},
    {"+ Fog", MenuCommand::FogOff, "- Fog", MenuCommand::FogOn},
    {"+ Shadows", MenuCommand::ShadowsOff, "- Shadows", MenuCommand::ShadowsOn},
    {"+ FPS", MenuCommand::FrameRateOff, "- FPS", MenuCommand::FrameRateOn},
    {"+ Bumps and Hills", MenuCommand::FlatGround, "- Bumps and Hills", MenuCommand::HillyGround},
    {"----------", MenuCommand::Separator, nullptr, 0},
    {"Full Screen Mode", MenuCommand::FullScreen, nullptr, 0},
};

// The menus built for the current window. GLUT menus outlive windows, so those of an
// earlier window are destroyed before a new window gets its own.
static int g_viewMenuId = 0;
static int g_mainMenuId = 0;
// What the scene is shown on now, a SurfaceKind, and the full-screen window opened where
// the display cannot switch to the game mode. Only the functions below change them.
static int g_surfaceKind = SurfaceKind::Window;
static int g_fullScreenWindowId = 0;
static int g_tickArmed = 0;

void printBanner() {
  printf("---- Avifold ---- \n");
  printf("By the Avifold developers\n");
  printf("Birds, hills and water: the Avifold developers\n");
  printf("\n\n");
  printf("Use the arrow keys to control your boid.\n");
  printf("The right mouse button brings up a context menu.");
  printf("\n\n");
  printf("*** NOTE: 3D OpenGL Accelerated video card highly recomended!!!\n\n");
  // On the console before any window opens, even when stdout is a pipe.
  fflush(stdout);
}

void initGlut(int argc, char** argv, int doubleBuffered) {
  // One seed for the run: terrain, trees, birds and goals all come from this sequence.
  srand(static_cast<unsigned>(time(nullptr)));
  int glutArgc = argc;
  glutInit(&glutArgc, argv);
  glutInitWindowSize(kWindowWidth, kWindowHeight);
  glutInitDisplayMode(doubleBuffered ? (GLUT_DOUBLE | GLUT_DEPTH) : GLUT_DEPTH);
  createMainWindow();
  initAngleTables();
}

int surfaceKind() {
  return g_surfaceKind;
}

// The signal handlers read whether game mode holds the display from a mirror of their own.
static void setSurfaceKind(int kind) {
  g_surfaceKind = kind;
  noteGameMode(kind == SurfaceKind::GameMode);
}

// Game mode where the display can switch to it; elsewhere (an X server without video
// mode switching) a window titled like the main one, covering the whole display.
static void openFullScreen() {
  // Game mode before the switch: a fatal signal that comes while GLUT switches the video
  // mode waits for the next frame or tick, which puts the mode back.
  setSurfaceKind(SurfaceKind::GameMode);
  glutGameModeString(kGameMode);
  glutEnterGameMode();
  if (glutGameModeGet(GLUT_GAME_MODE_ACTIVE)) {
    // GLUT's own handling of a close of this surface tears it down twice and crashes.
    glutCloseFunc(onClose);
    return;
  }
  setSurfaceKind(SurfaceKind::FullScreenWindow);
  g_fullScreenWindowId = glutCreateWindow(kWindowTitle);
  glutFullScreen();
}

void leaveFullScreen() {
  if (g_surfaceKind == SurfaceKind::FullScreenWindow) {
    glutDestroyWindow(g_fullScreenWindowId);
    g_fullScreenWindowId = 0;
  } else if (g_surfaceKind == SurfaceKind::GameMode) {
    glutLeaveGameMode();
  }
  setSurfaceKind(SurfaceKind::Window);
}

static void registerCallbacks() {
  glutDisplayFunc(onDisplay);
  glutReshapeFunc(onReshape);
  glutMouseFunc(onMouse);
  glutPassiveMotionFunc(onPassiveMotion);
  glutSpecialUpFunc(onSpecialUp);
  glutSpecialFunc(onSpecialDown);
  glutKeyboardFunc(onKeyboard);
}

static void buildMenu() {
  if (g_mainMenuId != 0) {
    glutDestroyMenu(g_mainMenuId);
  }
  if (g_viewMenuId != 0) {
    glutDestroyMenu(g_viewMenuId);
  }
  // GLUT adds entries to the menu created last.
  g_viewMenuId = glutCreateMenu(onMenu);
  for (const MenuEntry& entry : kViewMenu) {
    glutAddMenuEntry(entry.label, entry.id);
  }
  g_mainMenuId = glutCreateMenu(onMenu);
  for (const MenuEntry& entry : kMainMenu) {
    if (entry.id == kViewSubMenu) {
      glutAddSubMenu(entry.label, g_viewMenuId);
    } else {
      glutAddMenuEntry(entry.label, entry.id);
    }
  }
  glutAttachMenu(GLUT_RIGHT_BUTTON);
}

void createMainWindow() {
  if (g_fullScreen) {
    openFullScreen();
  } else {
    g_windowId = glutCreateWindow(kWindowTitle);
  }
  registerCallbacks();

  // GLUT timers belong to no window: one chain, armed once, ticks for the whole run.
  if (!g_tickArmed) {
    startTicks();
    g_tickArmed = 1;
  }

  // Full screen has no menu.
  if (g_fullScreen) {
    return;
  }
  buildMenu();
}

#ifdef __EMSCRIPTEN__
// The browser may take the page's GL context away (a reset of its graphics) and give it
// back empty. The page's GLUT calls this then: the scene is set up again, as on a new
// surface, while the World, the switches and the ticks carry on as they were.
extern "C" EMSCRIPTEN_KEEPALIVE void avifoldRenewContext() {
  g_renderer->init();
}
#endif

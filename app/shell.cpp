// Start-up and the surface: the banner, GLUT, the window with its menu or the
// full-screen surface. The switch between them is made here alone, and so are the
// records of which one is open.
#include <GL/freeglut.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "app/app.h"
#include "sim/angles.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif
#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

Renderer* g_renderer = nullptr;
World* g_world = nullptr;
int g_windowId = 0;
int g_fullScreen = 0;

const char* const kWindowTitle = "Avifold";
const char* const kGameMode = "640x480:32";  // full screen: 640 x 480, 32 bits a pixel

// What the scene is shown on.
struct SurfaceKind {
  enum {
    Window = 0,            // the 640 x 480 window with its menu
    FullScreenWindow = 1,  // a window over the whole display, which cannot switch modes
    GameMode = 2,          // GLUT's game mode: the display switched to 640 x 480
  };
};
static int g_surfaceKind = SurfaceKind::Window;
static int g_fullScreenWindowId = 0;  // the full-screen window, where game mode failed

// The menus built for the current window. GLUT menus outlive windows, so those of an
// earlier window are destroyed before a new window gets its own.
static int g_viewMenuId = 0;
static int g_mainMenuId = 0;

// 1 for a special key pressed on the current surface and not yet released.
static int g_specialKeysDown[kKeySlots];

// Set by a switch. GLUT tears the old surface and its GL context down only at the end
// of the main-loop pass that made the new one, so the next tick is the first moment its
// memory is surely free; without handing it back the heap would keep every switch's
// high-water mark.
static int g_surfaceClosed = 0;

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

static void closeSurface() {
  if (g_surfaceKind == SurfaceKind::Window) {
    glutDestroyWindow(g_windowId);
  } else if (g_surfaceKind == SurfaceKind::FullScreenWindow) {
    glutDestroyWindow(g_fullScreenWindowId);
    g_fullScreenWindowId = 0;
  } else {
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
  // Full screen has no menu.
  if (!g_fullScreen) {
    buildMenu();
  }
}

void setSpecialKey(int key, int down) {
  if (key < 0 || key >= kKeySlots) {
    return;
  }
  g_world->keys[key] = down;
  g_specialKeysDown[key] = down;
}

// A surface destroyed while a special key is down never hears its release: X gives it
// to whatever window has the keyboard then. Letters keep their marks, d to g in the
// arrows' slots among them: no release of a letter is ever heard anyway.
static void releaseHeldSpecialKeys() {
  for (int key = 0; key < kKeySlots; key++) {
    if (g_specialKeysDown[key]) {
      setSpecialKey(key, 0);
    }
  }
}

void switchSurface(int fullScreen) {
  closeSurface();
  g_fullScreen = fullScreen;
  createMainWindow();
  releaseHeldSpecialKeys();
  // A new GL context: textures, lists and state as at the start.
  g_renderer->init();
  g_surfaceClosed = 1;
}

void endProgram(int signalNumber) {
  if (g_surfaceKind == SurfaceKind::GameMode) {
    closeSurface();
  }
  if (signalNumber != 0) {
    endBySignal(signalNumber);
  }
  exit(0);
}

void releaseClosedSurfaceMemory() {
  if (!g_surfaceClosed) {
    return;
  }
#ifdef __GLIBC__
  malloc_trim(0);
#endif
  g_surfaceClosed = 0;
}

#ifdef __EMSCRIPTEN__
// The browser may take the page's GL context away (a reset of its graphics) and give it
// back empty. The page's GLUT calls this then: the scene is set up again, as on a new
// surface, while the World, the switches and the ticks carry on as they were.
extern "C" EMSCRIPTEN_KEEPALIVE void avifoldRenewContext() {
  g_renderer->init();
}
#endif

// The GLUT shell: start-up, the window or full-screen surface, the context menu and the
// callbacks through which everything after start-up happens.
//
// Key bindings (in the window or full screen):
//   arrow keys  fly bird 0, in the "Bird Control" view
//   Escape      leaves full-screen mode
// Right mouse button: the context menu (view, fog, shadows, frame rate, hills, full
// screen). The simulation ticks on one chain of GLUT timers for the whole run, a tick
// every 33 ms of the monotonic clock; frames are drawn back to back, independently of
// the ticks.
#ifndef AVIFOLD_APP_APP_H
#define AVIFOLD_APP_APP_H

#include "render/renderer.h"
#include "sim/world.h"

// Ids that the context menu passes to onMenu; kMainMenu below shows which entry gives
// which.
struct MenuCommand {
  enum {
    Separator = -1,     // both separator entries: nothing
    BirdControl = 11,   // camera behind bird 0
    SmartFollow = 12,   // camera behind the flock
    FogOn = 20,         // fog on, grey sky
    FogOff = 21,        // fog off, blue sky
    ShadowsOff = 30,    // birds without shadows
    ShadowsOn = 31,     // birds with shadows
    FrameRateOff = 40,  // no frame-rate read-out
    FrameRateOn = 41,   // frame-rate read-out
    FlatGround = 80,    // new flat ground
    HillyGround = 81,   // new random hills
    FullScreen = 100,   // switch to full-screen mode
  };
};

// One row per entry of the main menu, in the order GLUT numbers them from 1. A toggle row
// is built showing its setting on ("+ ..."): its id switches the setting off and turns the
// entry into nextLabel and nextId, which switches it on again and brings the row's own
// label and id back.
struct MenuEntry {
  const char* label;      // as the menu is built
  int id;                 // command as built; kViewSubMenu for the entry that opens View
  const char* nextLabel;  // a toggle's label while its setting is off; null for other entries
  int nextId;             // a toggle's command while its setting is off
};
const int kViewSubMenu = 0;  // not a command: GLUT opens the submenu and calls no one
const int kMainMenuEntries = 8;
extern const MenuEntry kMainMenu[kMainMenuEntries];

const unsigned int kTickMilliseconds = 33;  // one simulation step per tick, this far apart
// The value every tick is armed with. onTimer ignores it, but tests/probe/probe.cpp files each
// timer chain under its value (0 to 15) to count the ticks, so it must stay that small.
const int kTimerValue = 1;

const int kWindowWidth = 640;  // the window's first size, before any reshape
const int kWindowHeight = 480;

extern Renderer* g_renderer;  // the one Renderer; created first, lives until the process ends
extern World* g_world;        // the one World; created after GLUT is initialised
extern int g_windowId;        // GLUT id of the current (or last) top-level window
extern int g_fullScreen;      // 1 while the scene is shown full screen, 0 in the window

// The tick chain's timing (ticks.cpp). GLUT times its timers by the wall clock, which
// may be set back or forward at any moment; the chain keeps its due times on the
// monotonic clock and takes GLUT's timers only as wake-ups.
void startTicks();       // arms the chain's first timer; the first tick is due in 33 ms
int tickTimerCame();     // onTimer, every time GLUT calls it: 1 when the tick is due
int tickIsDue();         // 1 from the moment the next tick is due until it has run
void armNextTick();      // onTimer, after the tick: the next is due 33 ms on
void keepTicksComing();  // every frame: a timer in place of one that GLUT passed over

void printBanner();
void initGlut(int argc, char** argv, int doubleBuffered);
// Opens the window (with its menu) or the full-screen surface, by g_fullScreen, and
// registers the callbacks. The first call also starts the tick chain.
void createMainWindow();
// Closes the full-screen surface (game mode, or the window that stands in for it).
void leaveFullScreen();

// What the scene is shown on. The shell alone opens and closes surfaces and so owns
// this; the signal handlers read a mirror of whether game mode holds the display.
struct SurfaceKind {
  enum {
    Window = 0,            // the 640 x 480 window with its menu
    FullScreenWindow = 1,  // a window over the whole display, which cannot switch modes
    GameMode = 2,          // GLUT's game mode: the display switched to 640 x 480
  };
};
int surfaceKind();

// The process's surroundings (process.cpp), set up at the top of main before anything
// opens a file or the display: closed standard descriptors are opened onto /dev/null, a
// console that goes away is ignored, and a signal that ends or stops the program while
// game mode holds the display is only noted, for the main loop to answer. That code
// calls nothing of the shell's.
void openMissingStandardStreams();
void installSignalHandlers();
void noteGameMode(int active);        // the handlers' mirror: 1 while game mode holds the display
int pendingFatalSignal();             // a signal that is to end the program, or 0
int takePendingStop();                // a signal that is to stop the program, or 0; clears it
void endBySignal(int signalNumber);   // ends the process by the signal's own action
void stopBySignal(int signalNumber);  // stops it so, and goes on when continued

void onDisplay();
void onReshape(int width, int height);
void onMouse(int button, int state, int x, int y);
void onPassiveMotion(int x, int y);
void onSpecialUp(int key, int x, int y);
void onSpecialDown(int key, int x, int y);
void onKeyboard(unsigned char key, int x, int y);
void onTimer(int value);
void onMenu(int id);
void onClose();

#endif

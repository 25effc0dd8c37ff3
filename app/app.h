// The GLUT shell: start-up, the window or full-screen surface, the context menu and the
// callbacks through which everything after start-up happens.
//
// Key bindings (in the window or full screen):
//   arrow keys  fly bird 0, in the "Bird Control" view
//   Escape      leaves full-screen mode
// Right mouse button: the context menu (view, fog, shadows, frame rate, hills, full
// screen).
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

// One row per menu entry, in the order GLUT numbers them from 1. A toggle row is built
// showing its setting on ("+ ..."): its id switches the setting off and turns the entry
// into nextLabel and nextId, which switches it on again and brings the row's own label
// and id back.
struct MenuEntry {
  const char* label;           // as the menu is built
  int id;                      // command as built; kViewSubMenu for the entry that opens View
  const char* nextLabel;       // a toggle's label while its setting is off; null for others
  int nextId;                  // a toggle's command while its setting is off
  void (*setSetting)(int on);  // a toggle's: switches its setting on (1) or off (0)
};
const int kViewSubMenu = 0;  // not a command: GLUT opens the submenu and calls no one
const int kViewMenuEntries = 2;
const int kMainMenuEntries = 8;
extern const MenuEntry kViewMenu[kViewMenuEntries];  // the camera modes
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
extern int g_fullScreen;      // 1 while the scene is shown full screen; written by switchSurface

// Start-up and the surface (shell.cpp).
void printBanner();
void initGlut(int argc, char** argv, int doubleBuffered);
// Opens the window (with its menu) or, by g_fullScreen, the full-screen surface, and
// registers the callbacks.
void createMainWindow();
// The one way between window (0) and full screen (1): closes the open surface, opens
// the other with its GL context set up as at the start, and lets go of held keys.
void switchSurface(int fullScreen);
// Ends the program, the display's own mode put back first: by the signal's own action,
// or with status 0 for signal 0.
void endProgram(int signalNumber);
// A special key pressed (1) or released (0) on the current surface.
void setSpecialKey(int key, int down);
// Hands the memory of a surface closed since the last call back to the system.
void releaseClosedSurfaceMemory();

// The tick chain (ticks.cpp): GLUT's timers only wake it; its due times are kept on a
// clock nobody sets, since GLUT times its timers by the wall clock.
extern long long (*g_tickClock)();    // ns: the monotonic clock; tests may stand in their own
void startTickChain();                // main, once: the first tick is due in 33 ms
int tickDueAt(long long nowNs);       // 1 when the next tick is due at nowNs
void armNextTick(long long startNs);  // after the tick that started then: the next is due 33 ms on
void armMissingTimers();              // every frame: timers for ticks owed and for a lost one

// The process's surroundings (process.cpp), set up at the top of main before anything
// opens a file or the display. A signal that ends or stops the program while game mode
// holds the display is only noted, for the main loop to answer; that code calls
// nothing of the shell's.
void openMissingStandardStreams();
void installSignalHandlers();
void noteGameMode(int active);       // the handlers' mirror: 1 while game mode holds the display
int pendingFatalSignal();            // a signal that is to end the program, or 0
int takeStopInGameMode();            // 1 once a stop came in game mode, to be left first; clears it
void carryOutPendingStop();          // stops by a noted stop, unless a SIGCONT came since
void endBySignal(int signalNumber);  // ends the process by the signal's own action

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

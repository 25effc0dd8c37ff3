// The process's surroundings: the standard descriptors it is started with, a console
// that goes away, and the signals that end it while the display is in the game's mode.
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif
#include <signal.h>

#include <cstdlib>

#include "app/app.h"

// Mirrors of the main loop's state that the signal handlers may read, and what they
// leave for it.
static volatile sig_atomic_t g_inGameMode = 0;
static volatile sig_atomic_t g_pendingSignal = 0;

// Ends the process by the signal's default action, so that whoever started it sees
// which signal it was. Inside a handler the signal stays blocked, and it strikes as
// soon as the handler returns.
static void endBySignal(int signalNumber) {
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
}

#ifndef _WIN32
// How long the main loop has to restore the video mode after a fatal signal before the
// signal ends the program regardless: ticks come every 33 ms, so only a program stuck
// in X for this long misses it, and then it could not restore the mode anyway.
const unsigned int kSignalGraceSeconds = 2;

// The signals that end the program as usual but are caught in game mode first, so that
// the display is not left at the game's resolution.
const int kFatalSignals[] = {SIGTERM, SIGINT, SIGHUP};

void openMissingStandardStreams() {
  // open() takes the lowest free descriptor, so each closed one of 0, 1 and 2 is filled
  // in turn. Left closed, the X connection or a data file would take it, and the
  // console's output would go into them.
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; fd++) {
    if (fcntl(fd, F_GETFD) != -1) {
      continue;
    }
    int opened = open("/dev/null", O_RDWR);
    if (opened >= 0 && opened != fd) {
      dup2(opened, fd);
      close(opened);
    }
  }
}

// The main loop did not get round to it in time.
static void onSignalGraceOver(int) {
  endBySignal(g_pendingSignal);
}

static void onFatalSignal(int signalNumber) {
  // In a window there is nothing to put back: end at once, as without a handler.
  if (!g_inGameMode) {
    endBySignal(signalNumber);
    return;
  }
  // No GLUT or X here: the interrupted code may be inside either. The next tick
  // leaves game mode and ends the process; the alarm makes sure it ends even so.
  g_pendingSignal = signalNumber;
  signal(SIGALRM, onSignalGraceOver);
  alarm(kSignalGraceSeconds);
}

void installSignalHandlers() {
  // A console whose reader has gone makes writes fail, quietly; X's own connection
  // still reports its loss through Xlib.
  signal(SIGPIPE, SIG_IGN);

  struct sigaction action = {};
  action.sa_handler = onFatalSignal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int signalNumber : kFatalSignals) {
    // A signal ignored by whoever started the program (nohup, a background job)
    // stays ignored.
    struct sigaction previous = {};
    sigaction(signalNumber, nullptr, &previous);
    if (previous.sa_handler == SIG_IGN) {
      continue;
    }
    sigaction(signalNumber, &action, nullptr);
  }
}

#else
// On Windows the C runtime opens the three standard streams itself, a console that
// goes away raises no signal, and Windows puts the display's own mode back when the
// program ends however it ends: there is nothing to prepare.
void openMissingStandardStreams() {}

void installSignalHandlers() {}
#endif

void noteGameMode(int active) {
  g_inGameMode = active;
}

void endOnPendingSignal() {
  int signalNumber = g_pendingSignal;
  if (signalNumber == 0) {
    return;
  }
  if (g_inGameMode) {
    leaveFullScreen();
  }
  endBySignal(signalNumber);
}

void onClose() {
  // A window's close is GLUT's own: it ends the program itself.
  if (!g_inGameMode) {
    return;
  }
  // GLUT would tear the game-mode surface down twice and crash on the way out: leave
  // the game's video mode here and end as the close of a window does.
  leaveFullScreen();
  exit(0);
}

// The process's surroundings: the standard descriptors it is started with, a console
// that goes away, and the signals that end or stop it while the display is in the
// game's mode. The handlers only note a signal for the main loop, which answers it
// (callbacks.cpp); nothing here calls back into the shell.
#ifndef _WIN32
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>
#endif
#include <signal.h>

#include <cstdlib>

#include "app/app.h"

// A mirror of the main loop's state that the signal handlers may read.
static volatile sig_atomic_t g_inGameMode = 0;

#ifndef _WIN32
// What the signal handlers leave for the main loop.
static volatile sig_atomic_t g_pendingSignal = 0;  // a signal that ends the program
static volatile sig_atomic_t g_pendingStop = 0;    // a signal that stops it
static volatile sig_atomic_t g_graceArmed = 0;     // 1 while the grace alarm runs

// Ends the process by the signal's default action, so that whoever started it sees
// which signal it was. Inside a handler the signal stays blocked, and it strikes as
// soon as the handler returns.
void endBySignal(int signalNumber) {
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
}

// How long the main loop has to answer a signal in game mode before the signal takes
// effect regardless: frames come back to back, so only a program stuck in X for this
// long misses it, and then it could not restore the mode anyway.
const unsigned int kSignalGraceSeconds = 2;

// The signals whose default action ends the program and that may come at any moment
// from outside: caught in game mode, so that the display is not left at the game's
// resolution. The faults (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS) are the
// program's own failure in the middle of what failed: they cannot wait for the main
// loop and keep their default action (and the sanitizers' reports). The real-time
// signals are caught as well.
const int kFatalSignals[] = {
    SIGHUP,    SIGINT,  SIGQUIT, SIGABRT, SIGUSR1,   SIGUSR2, SIGALRM,
    SIGTERM,   SIGXCPU, SIGXFSZ, SIGIO,   SIGVTALRM, SIGPROF,
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
};
// The signals that stop the program (Ctrl-Z, a background job at the terminal): in game
// mode the program first leaves full screen, so that the display is neither left at the
// game's resolution nor grabbed by a program that cannot answer.
const int kStopSignals[] = {SIGTSTP, SIGTTIN, SIGTTOU};

// The program itself uses SIGALRM for the grace alarm; one sent from outside is the
// signal's own, and stays ignored if the program was started with it ignored.
static volatile sig_atomic_t g_alarmIgnored = 0;

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

static void catchStopSignal(int signalNumber);

// Stops the process by the signal's default action, so that the shell sees the job
// stopped by it; once continued (SIGCONT), the next one is caught again.
void stopBySignal(int signalNumber) {
  signal(signalNumber, SIG_DFL);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signalNumber);
  // Inside its handler the signal is blocked; the stop has to come now, in here.
  pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  raise(signalNumber);
  catchStopSignal(signalNumber);
}

static void armGraceAlarm() {
  if (g_graceArmed) {
    return;
  }
  g_graceArmed = 1;
  alarm(kSignalGraceSeconds);
}

// The main loop did not get round to it in time.
static void onGraceOver() {
  g_graceArmed = 0;
  if (g_pendingSignal != 0) {
    endBySignal(g_pendingSignal);
    return;
  }
  int stop = g_pendingStop;
  if (stop != 0) {
    g_pendingStop = 0;
    stopBySignal(stop);
  }
}

static void onFatalSignal(int signalNumber, siginfo_t* info, void*) {
  if (signalNumber == SIGALRM) {
    // An alarm that the kernel sends is the program's own.
    if (g_graceArmed && info->si_code == SI_KERNEL) {
      onGraceOver();
      return;
    }
    if (g_alarmIgnored) {
      return;
    }
  }
  // In a window there is nothing to put back: end at once, as without a handler.
  if (!g_inGameMode) {
    endBySignal(signalNumber);
    return;
  }
  // No GLUT or X here: the interrupted code may be inside either. The next frame or
  // tick leaves game mode and ends the process; the alarm makes sure it ends even so.
  if (g_pendingSignal == 0) {
    g_pendingSignal = signalNumber;
  }
  armGraceAlarm();
}

static void onStopSignal(int signalNumber) {
  if (!g_inGameMode) {
    stopBySignal(signalNumber);
    return;
  }
  g_pendingStop = signalNumber;
  armGraceAlarm();
}

// True when whoever started the program had the signal ignored (nohup, a background
// job): it stays ignored.
static int startedIgnored(int signalNumber) {
  struct sigaction previous = {};
  sigaction(signalNumber, nullptr, &previous);
  return previous.sa_handler == SIG_IGN;
}

static void catchFatalSignal(int signalNumber) {
  struct sigaction action = {};
  action.sa_sigaction = onFatalSignal;
  action.sa_flags = SA_RESTART | SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  sigaction(signalNumber, &action, nullptr);
}

static void catchStopSignal(int signalNumber) {
  struct sigaction action = {};
  action.sa_handler = onStopSignal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(signalNumber, &action, nullptr);
}

void installSignalHandlers() {
  // A console whose reader has gone makes writes fail, quietly; X's own connection
  // still reports its loss through Xlib.
  signal(SIGPIPE, SIG_IGN);

  for (int signalNumber : kFatalSignals) {
    if (signalNumber == SIGALRM) {
      // The grace alarm needs the handler whatever the start.
      g_alarmIgnored = startedIgnored(SIGALRM);
      catchFatalSignal(SIGALRM);
    } else if (!startedIgnored(signalNumber)) {
      catchFatalSignal(signalNumber);
    }
  }
  for (int signalNumber = SIGRTMIN; signalNumber <= SIGRTMAX; signalNumber++) {
    if (!startedIgnored(signalNumber)) {
      catchFatalSignal(signalNumber);
    }
  }
  for (int signalNumber : kStopSignals) {
    if (!startedIgnored(signalNumber)) {
      catchStopSignal(signalNumber);
    }
  }
}

int pendingFatalSignal() {
  return g_pendingSignal;
}

int takePendingStop() {
  int signalNumber = g_pendingStop;
  if (signalNumber == 0) {
    return 0;
  }
  g_pendingStop = 0;
  alarm(0);
  g_graceArmed = 0;
  return signalNumber;
}

#else
// On Windows the C runtime opens the three standard streams itself, a console that
// goes away raises no signal, Windows puts the display's own mode back when the program
// ends however it ends, and no signal is ever left for the main loop: there is nothing
// to prepare or answer.
void openMissingStandardStreams() {}

void installSignalHandlers() {}

int pendingFatalSignal() {
  return 0;
}

int takePendingStop() {
  return 0;
}

void endBySignal(int) {}

void stopBySignal(int) {}
#endif

void noteGameMode(int active) {
  g_inGameMode = active;
}

// The process's surroundings: the standard descriptors it is started with, a console
// that goes away, a CPU limit, and the signals that end or stop it while the display is
// in the game's mode. The handlers only note a signal for the main loop, which answers
// it (callbacks.cpp); nothing here calls back into the shell.
#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
#include <fcntl.h>
#include <pthread.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>
#endif
#include <signal.h>

#include "app/app.h"

// A mirror of the main loop's state that the signal handlers may read.
static volatile sig_atomic_t g_inGameMode = 0;

void noteGameMode(int active) {
  g_inGameMode = active;
}

#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
// What the signal handlers leave for the main loop.
static volatile sig_atomic_t g_pendingSignal = 0;   // a signal that ends the program
static volatile sig_atomic_t g_pendingStop = 0;     // a stop not yet carried out
static volatile sig_atomic_t g_stopInGameMode = 0;  // 1: a stop came while in game mode

// How long the main loop has to answer a signal in game mode before the signal takes
// effect regardless: frames come back to back, so only a program stuck in X for this
// long misses it, and then it could not restore the mode anyway.
const int kSignalGraceSeconds = 2;
static timer_t g_graceTimer;                    // runs onGraceOver on a thread of its own
static volatile sig_atomic_t g_graceArmed = 0;  // 1 from its arming until it has run

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

static void maskSignal(int how, int signalNumber) {
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signalNumber);
  pthread_sigmask(how, &only, nullptr);
}

static void catchSignal(int signalNumber, void (*handler)(int)) {
  struct sigaction action = {};
  action.sa_handler = handler;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(signalNumber, &action, nullptr);
}

// Ends the process by the signal's default action, so that whoever started it sees
// which signal it was. Unblocked, for inside its own handler.
void endBySignal(int signalNumber) {
  signal(signalNumber, SIG_DFL);
  maskSignal(SIG_UNBLOCK, signalNumber);
  raise(signalNumber);
}

static void onStopSignal(int signalNumber);

void carryOutPendingStop() {
  int signalNumber = g_pendingStop;
  if (signalNumber == 0) {
    return;
  }
  // The stop is raised while blocked, and so held: a SIGCONT from then on drops it, as
  // the kernel drops any stop that a continue overtakes.
  maskSignal(SIG_BLOCK, signalNumber);
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
  if (g_pendingStop == 0) {
    // A SIGCONT came before the raise: drop the held stop too.
    signal(signalNumber, SIG_IGN);
  }
  g_pendingStop = 0;
  // The shell sees the job stopped by the signal; once continued, the next is caught.
  maskSignal(SIG_UNBLOCK, signalNumber);
  catchSignal(signalNumber, onStopSignal);
}

static void armGrace() {
  if (g_graceArmed) {
    return;
  }
  g_graceArmed = 1;
  struct itimerspec grace = {};
  grace.it_value.tv_sec = kSignalGraceSeconds;
  timer_settime(g_graceTimer, 0, &grace, nullptr);
}

// The main loop did not get round to it in time.
static void onGraceOver(union sigval) {
  if (g_pendingSignal != 0) {
    endBySignal(g_pendingSignal);
  }
  g_stopInGameMode = 0;
  carryOutPendingStop();
  g_graceArmed = 0;
}

static void onFatalSignal(int signalNumber) {
  // In a window there is nothing to put back: end at once, as without a handler.
  if (!g_inGameMode) {
    endBySignal(signalNumber);
    return;
  }
  // No GLUT or X here: the interrupted code may be inside either.
  if (g_pendingSignal == 0) {
    g_pendingSignal = signalNumber;
  }
  armGrace();
}

static void onStopSignal(int signalNumber) {
  g_pendingStop = signalNumber;
  if (!g_inGameMode) {
    carryOutPendingStop();
    return;
  }
  g_stopInGameMode = 1;
  armGrace();
}

static void onContinue(int) {
  g_pendingStop = 0;
}

// True when whoever started the program had the signal ignored (nohup, a background
// job): it stays ignored.
static int startedIgnored(int signalNumber) {
  struct sigaction previous = {};
  sigaction(signalNumber, nullptr, &previous);
  return previous.sa_handler == SIG_IGN;
}

// A CPU limit whose soft and hard values are one (`ulimit -t`) ends the program by
// SIGKILL, which no handler sees. A soft limit a second below brings SIGXCPU first,
// answered like any fatal signal; the hard limit stays where it was.
static void keepCpuLimitCatchable() {
  struct rlimit cpu;
  if (getrlimit(RLIMIT_CPU, &cpu) != 0 || cpu.rlim_max == RLIM_INFINITY || cpu.rlim_max < 2 ||
      cpu.rlim_cur != cpu.rlim_max) {
    return;
  }
  cpu.rlim_cur = cpu.rlim_max - 1;
  setrlimit(RLIMIT_CPU, &cpu);
}

void installSignalHandlers() {
  // A console whose reader has gone makes writes fail, quietly; X's own connection
  // still reports its loss through Xlib.
  signal(SIGPIPE, SIG_IGN);
  keepCpuLimitCatchable();

  // The grace is timed without a signal, so that every signal keeps its meaning.
  struct sigevent onExpiry = {};
  onExpiry.sigev_notify = SIGEV_THREAD;
  onExpiry.sigev_notify_function = onGraceOver;
  timer_create(CLOCK_MONOTONIC, &onExpiry, &g_graceTimer);

  for (int signalNumber : kFatalSignals) {
    if (!startedIgnored(signalNumber)) {
      catchSignal(signalNumber, onFatalSignal);
    }
  }
  for (int signalNumber = SIGRTMIN; signalNumber <= SIGRTMAX; signalNumber++) {
    if (!startedIgnored(signalNumber)) {
      catchSignal(signalNumber, onFatalSignal);
    }
  }
  for (int signalNumber : kStopSignals) {
    if (!startedIgnored(signalNumber)) {
      catchSignal(signalNumber, onStopSignal);
    }
  }
  // Continuing needs no handler; this one only drops a stop not yet carried out.
  catchSignal(SIGCONT, onContinue);
}

int pendingFatalSignal() {
  return g_pendingSignal;
}

int takeStopInGameMode() {
  if (!g_stopInGameMode) {
    return 0;
  }
  g_stopInGameMode = 0;
  return 1;
}

#else
// On Windows the C runtime opens the three standard streams itself, a console that goes
// away raises no signal, and Windows puts the display's own mode back when the program
// ends however it ends; in the browser no signal ever comes. Nothing is ever left for
// the main loop: there is nothing to prepare or answer.
void openMissingStandardStreams() {}

void installSignalHandlers() {}

int pendingFatalSignal() {
  return 0;
}

int takeStopInGameMode() {
  return 0;
}

void carryOutPendingStop() {}

void endBySignal(int) {}
#endif

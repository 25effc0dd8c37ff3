// A measuring probe for the real program, loaded with LD_PRELOAD: it counts the
// simulation ticks (GLUT timer callbacks) and the swapped frames without changing
// what the program does, and writes the counts to the file named by AVIFOLD_PROBE.
//
// The file holds one line, rewritten on every tick and at the first swap:
//   ticks=<n> swaps=<n> first_swap_ns=<CLOCK_MONOTONIC at the first swap> timer_arms=<n>
// timer_arms counts glutTimerFunc calls: one chain re-arms once per tick, so two
// chains would show about twice as many arms per second.
// Under AddressSanitizer, run with ASAN_OPTIONS=verify_asan_link_order=0.
#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

typedef void (*TimerCallback)(int);
typedef void (*TimerFunc)(unsigned int, TimerCallback, int);
typedef void (*SwapFunc)();

const int kTimerValues = 16;  // timer values the probe can tell apart

static long long g_ticks = 0;
static long long g_swaps = 0;
static long long g_timerArms = 0;
static long long g_firstSwapNs = 0;
static TimerCallback g_callbacks[kTimerValues];

static long long monotonicNs() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000000000LL + now.tv_nsec;
}

static void writeCounts() {
  static int fd = -2;
  if (fd == -2) {
    const char* path = getenv("AVIFOLD_PROBE");
    fd = path != nullptr ? open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644) : -1;
  }
  if (fd < 0) {
    return;
  }
  // Fixed-width numbers: every line has the same length and overwrites the last whole.
  char line[160];
  int n = snprintf(line, sizeof line,
                   "ticks=%012lld swaps=%012lld first_swap_ns=%020lld timer_arms=%012lld\n",
                   g_ticks, g_swaps, g_firstSwapNs, g_timerArms);
  if (n > 0 && pwrite(fd, line, static_cast<size_t>(n), 0) != n) {
    fd = -1;
  }
}

static void countedTick(int value) {
  g_ticks++;
  writeCounts();
  g_callbacks[value](value);
}

extern "C" void glutTimerFunc(unsigned int milliseconds, TimerCallback callback, int value) {
  static TimerFunc real = reinterpret_cast<TimerFunc>(dlsym(RTLD_NEXT, "glutTimerFunc"));
  g_timerArms++;
  if (value < 0 || value >= kTimerValues) {
    real(milliseconds, callback, value);
    return;
  }
  g_callbacks[value] = callback;
  real(milliseconds, countedTick, value);
}

extern "C" void glutSwapBuffers() {
  static SwapFunc real = reinterpret_cast<SwapFunc>(dlsym(RTLD_NEXT, "glutSwapBuffers"));
  real();
  g_swaps++;
  if (g_firstSwapNs == 0) {
    g_firstSwapNs = monotonicNs();
    writeCounts();
  }
}

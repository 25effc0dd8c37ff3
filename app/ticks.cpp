// When the ticks come: one chain of GLUT timers, each tick arming the next. Its due
// times are kept on the monotonic clock, which nobody sets; GLUT's timers, timed by the
// wall clock that may be set back or forward (`date -s`, a suspend), only wake it.
#include <GL/freeglut.h>

#include <chrono>

#include "app/app.h"

const long long kNsPerMs = 1000000;
const long long kTickNs = kTickMilliseconds * kNsPerMs;
// GLUT counts whole milliseconds: its timer may come up to a millisecond before the
// monotonic time it was armed for, or that much after. Within this it is on time.
const long long kClockGrainNs = 2 * kNsPerMs;
// Ticks held back longer than this are not made up: after a stall of the whole program
// (a stop, a suspend) the flock goes on from where it was rather than rushing ahead, and
// frames slower than this get this many ticks each.
const long long kMostTicksOwed = 8;  // a quarter of a second

static long long monotonicNs() {
  std::chrono::steady_clock::duration now = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
}

long long (*g_tickClock)() = monotonicNs;

static long long g_tickDueNs = 0;   // the next tick is due then
static long long g_timerDueNs = 0;  // the newest timer should come then
static int g_timerOverdueSeen = 0;  // 1: a frame found the newest timer overdue

// A GLUT timer that wakes the chain when the next tick is due. One armed for 0 ms inside
// a timer callback can come again in the same pass of GLUT's loop, as long as GLUT's
// millisecond has not turned; a millisecond at least leaves it to the next look, where
// the ticks owed come together with the timers the frame armed for them.
static void armTimer(long long nowNs) {
  long long waitNs = g_tickDueNs - nowNs;
  long long waitMs = waitNs > kNsPerMs ? (waitNs + kNsPerMs - 1) / kNsPerMs : 1;
  g_timerDueNs = nowNs + waitMs * kNsPerMs;
  g_timerOverdueSeen = 0;
  glutTimerFunc(static_cast<unsigned int>(waitMs), onTimer, kTimerValue);
}

void startTickChain() {
  long long nowNs = g_tickClock();
  g_tickDueNs = nowNs + kTickNs;
  armTimer(nowNs);
}

// To the grain of the clocks. A timer that comes early is let go: there is never more
// than one chain of ticks.
int tickDueAt(long long nowNs) {
  return nowNs + kClockGrainNs >= g_tickDueNs;
}

void armNextTick(long long startNs) {
  long long nowNs = g_tickClock();
  // Due a tick after this one would have ended had it run on time: a tick that waited
  // for the end of a frame, or for a busy machine, does not delay the ones after it.
  g_tickDueNs += (nowNs - startNs) + kTickNs;
  long long earliestDueNs = nowNs - (kMostTicksOwed - 1) * kTickNs;
  if (g_tickDueNs < earliestDueNs) {
    g_tickDueNs = earliestDueNs;
  }
  armTimer(nowNs);
}

// Ticks due by now, the one the chain's own timer brings among them; no more than the
// chain makes up.
static long long ticksOwed(long long nowNs) {
  if (!tickDueAt(nowNs)) {
    return 0;
  }
  long long owed = (nowNs + kClockGrainNs - g_tickDueNs) / kTickNs + 1;
  return owed < kMostTicksOwed ? owed : kMostTicksOwed;
}

void armMissingTimers() {
  long long nowNs = g_tickClock();
  // GLUT looks at its timers once between frames, and a timer armed in a tick comes at
  // the next look at the soonest: after a frame longer than a tick, one timer more for
  // each tick owed beyond the chain's own, all run at the next look however soon.
  for (long long owed = ticksOwed(nowNs); owed > 1; owed--) {
    glutTimerFunc(0, onTimer, kTimerValue);
  }
  if (nowNs < g_timerDueNs + kClockGrainNs) {
    return;
  }
  // Overdue at one frame and still not come at the next, though GLUT looked at its
  // timers in between: GLUT passed over it (its wall clock was set back); one in its place.
  if (!g_timerOverdueSeen) {
    g_timerOverdueSeen = 1;
    return;
  }
  armTimer(nowNs);
}

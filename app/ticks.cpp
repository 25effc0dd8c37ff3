// When the ticks come. One chain of GLUT timers runs the simulation: each tick arms the
// timer for the next. GLUT times its timers by the wall clock, which the system may set
// back or forward while the program runs (a clock corrected after a suspend, `date -s`):
// set back, an armed timer comes only once the wall clock has made up the step, and the
// flock stands still that long; set back past the program's start, GLUT's clock counts
// from near its end and wraps, and a timer armed then may never come. So the chain keeps
// its due times on the monotonic clock, which nobody sets, and takes GLUT's timers only
// as wake-ups:
// - a tick runs only when it is due: there is never more than one chain of ticks, and a
//   timer that comes early (timed by a clock that moved, or one another has replaced)
//   is let go;
// - the frames, which come back to back, notice a timer that GLUT has passed over: one
//   that was already overdue at a frame and still has not come at the next, although
//   GLUT looked at its timers in between. They arm another in its place.
// Each tick is due 33 ms after the previous one would have ended had it run on time, so
// a tick that waited for the end of a frame, or for a busy machine, does not delay the
// ones after it, and the flock keeps its pace whatever the frame rate. GLUT looks at its
// timers once between frames, and a timer armed in a tick comes at the next look at the
// soonest: when a frame took longer than a tick, the frame after it arms a timer more
// for each tick owed beyond the one the chain's own timer brings, and GLUT runs them all
// at its next look.
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

static long long g_tickDueNs = 0;    // monotonic time the next tick is due
static long long g_tickStartNs = 0;  // monotonic time the running tick started
static long long g_timerDueNs = 0;   // monotonic time the newest timer should come
static int g_timerOverdueSeen = 0;   // 1: a frame found the newest timer overdue

static long long monotonicNs() {
  std::chrono::steady_clock::duration now = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
}

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

void startTicks() {
  long long nowNs = monotonicNs();
  g_tickDueNs = nowNs + kTickNs;
  armTimer(nowNs);
}

// 1 when the next tick is due at nowNs, to the grain of the clocks.
static int dueBy(long long nowNs) {
  return nowNs + kClockGrainNs >= g_tickDueNs;
}

int tickIsDue() {
  return dueBy(monotonicNs());
}

int tickTimerCame() {
  g_tickStartNs = monotonicNs();
  return dueBy(g_tickStartNs);
}

void armNextTick() {
  long long nowNs = monotonicNs();
  g_tickDueNs += (nowNs - g_tickStartNs) + kTickNs;
  long long earliestDueNs = nowNs - (kMostTicksOwed - 1) * kTickNs;
  if (g_tickDueNs < earliestDueNs) {
    g_tickDueNs = earliestDueNs;
  }
  armTimer(nowNs);
}

// Ticks due by now, the one the chain's own timer brings among them; no more than the
// chain makes up.
static long long ticksOwed(long long nowNs) {
  if (!dueBy(nowNs)) {
    return 0;
  }
  long long owed = (nowNs + kClockGrainNs - g_tickDueNs) / kTickNs + 1;
  return owed < kMostTicksOwed ? owed : kMostTicksOwed;
}

void keepTicksComing() {
  long long nowNs = monotonicNs();
  // A timer armed for 0 ms here comes at GLUT's next look at its timers, however soon.
  for (long long owed = ticksOwed(nowNs); owed > 1; owed--) {
    glutTimerFunc(0, onTimer, kTimerValue);
  }
  if (nowNs < g_timerDueNs + kClockGrainNs) {
    return;
  }
  // Overdue now: GLUT looks at its timers before the next frame, and by its clock, if
  // that kept time, this one is due.
  if (!g_timerOverdueSeen) {
    g_timerOverdueSeen = 1;
    return;
  }
  armTimer(nowNs);
}

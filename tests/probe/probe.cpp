// A measuring probe for the real program, loaded with LD_PRELOAD. It wraps a few GLUT
// and GL entry points, passes every call on unchanged, and reports from outside what the
// program does: how many ticks and frames it made, and what each frame asked of GL.
//
// AVIFOLD_PROBE names the counts file: one line, rewritten on every tick and at the
// first swap, of fixed width so that each write overwrites the last whole:
//   ticks=<n> swaps=<n> first_swap_ns=<CLOCK_MONOTONIC at the first swap>
// A tick is a timer callback that arms the chain's next timer; a timer the program lets
// go (one that came before the tick was due) arms none and is no tick.
//
// AVIFOLD_PROBE_LOG, when set, names the event log, one line appended per event:
//   context kind=window|gamemode               a new GL context of the program's own
//   arm ms=<ms>                                a timer armed outside a timer callback: the
//                                              chain's first, or one a frame arms (for a
//                                              timer GLUT passed over, or ticks owed)
//   tick ns=<CLOCK_MONOTONIC at its start>     a tick
//   fog start=<f> end=<f> density=<f> mode=<GL enum> colour=<r,g,b,a>
//                                              the fog a context has at its first frame:
//                                              GL's defaults but for what was set in it
//   menu id=<id>                               the program's menu callback is called
//   entry menu=<menu> n=<entry> id=<id>|sub=<menu> label=<label, '_' for ' '>
//                                              an entry added or relabelled (n from 1)
//   key kind=char|down|up code=<c>             a keyboard callback is called
//   reshape w=<w> h=<h>                        the reshape callback is called
//   terrain vertices=<n> nonzero=<n> digest=<hex>  the terrain list was compiled
//   frame birds=<n> chars=<n> fog=0|1 clear=<r,g,b,a> far=<f> cam=<yaw,pitch,x,y,z>
//         bird0=<x,y,z,heading> mean=<x,y,z>
// and every line carries tick=<ticks so far> frame=<frames swapped so far>. A frame line
// is written at a swap when a tick or an event came since the last one, or when
// anything but the camera differs from the frame before: about one per tick.
//
// Only the program's own GL contexts count: GLUT draws its menus in a context of its
// own, whose calls are passed on and not looked at.
// Under AddressSanitizer, run with ASAN_OPTIONS=verify_asan_link_order=0.
#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include <GL/freeglut.h>
#include <GL/gl.h>
#include <GL/glu.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

typedef void (*IntCallback)(int);
typedef void (*KeyCallback)(int, int, int);
typedef void (*CharCallback)(unsigned char, int, int);
typedef void (*SizeCallback)(int, int);

const int kTimerValues = 16;  // timer values the probe can tell apart

// The real entry point behind a wrapper, looked up once.
#define REAL(name) static auto real = reinterpret_cast<decltype(&name)>(dlsym(RTLD_NEXT, #name))

// --- Counts ----------------------------------------------------------------------------

static long long g_ticks = 0;
static long long g_swaps = 0;
static long long g_timerArms = 0;
static long long g_firstSwapNs = 0;
static IntCallback g_timerCallbacks[kTimerValues];

static long long monotonicNs() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000000000LL + now.tv_nsec;
}

static int openFromEnvironment(const char* variable, int flags) {
  const char* path = getenv(variable);
  return path != nullptr ? open(path, O_WRONLY | O_CREAT | flags, 0644) : -1;
}

static void writeCounts() {
  static int fd = openFromEnvironment("AVIFOLD_PROBE", O_TRUNC);
  if (fd < 0) {
    return;
  }
  char line[160];
  int n = snprintf(line, sizeof line, "ticks=%012lld swaps=%012lld first_swap_ns=%020lld\n",
                   g_ticks, g_swaps, g_firstSwapNs);
  if (n > 0 && pwrite(fd, line, static_cast<size_t>(n), 0) != n) {
    fd = -1;
  }
}

// --- Event log -------------------------------------------------------------------------

static int g_eventSinceFrame = 1;  // an event or tick since the last frame line

static void logLine(const char* format, ...) {
  static int fd = openFromEnvironment("AVIFOLD_PROBE_LOG", O_TRUNC | O_APPEND);
  if (fd < 0) {
    return;
  }
  char line[512];
  va_list args;
  va_start(args, format);
  int n = vsnprintf(line, sizeof line - 64, format, args);
  va_end(args);
  if (n < 0) {
    return;
  }
  n = static_cast<int>(strlen(line));
  n += snprintf(line + n, sizeof line - static_cast<size_t>(n), " tick=%lld frame=%lld\n", g_ticks,
                g_swaps);
  if (write(fd, line, static_cast<size_t>(n)) != n) {
    fd = -1;
  }
}

static void logEvent(const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  logLine("%s", text);
  g_eventSinceFrame = 1;
}

// --- The program's contexts --------------------------------------------------------------

static void* g_programContext = nullptr;

// The fog parameters of the program's context, from GL's defaults for a new one on.
struct FogRecord {
  float start;
  float end;
  float density;
  float mode;
  float colour[4];
};
const FogRecord kDefaultFog = {0.0f, 1.0f, 1.0f, static_cast<float>(GL_EXP), {0, 0, 0, 0}};
static FogRecord g_fog = kDefaultFog;
static int g_fogUnreported = 0;  // 1 until the context's first frame reports its fog

static void* currentContext() {
  typedef void* (*CurrentFunc)();
  static CurrentFunc real =
      reinterpret_cast<CurrentFunc>(dlsym(RTLD_DEFAULT, "glXGetCurrentContext"));
  return real != nullptr ? real() : nullptr;
}

static int inProgramContext() {
  return g_programContext != nullptr && currentContext() == g_programContext;
}

// Called after GLUT opened a surface: its context is current now.
static void noteSurface(const char* kind) {
  void* context = currentContext();
  if (context == nullptr || context == g_programContext) {
    return;
  }
  g_programContext = context;
  g_fog = kDefaultFog;
  g_fogUnreported = 1;
  logEvent("context kind=%s", kind);
}

// --- What a frame asks of GL -------------------------------------------------------------

struct FrameRecord {
  int birdCalls;      // calls of the bird list
  int characters;     // bitmap characters drawn
  int fog;            // GL_FOG enabled at the swap
  float clear[4];     // clear colour at the frame's colour clear
  double farPlane;    // of the last perspective projection
  float camera[5];    // yaw, pitch, then the translation after the first identity
  float bird0[4];     // x, y, z and heading of the first bird drawn
  double birdSum[3];  // sums of every bird's x, y, z
  int birds;          // birds placed
};

static FrameRecord g_frame;
static FrameRecord g_lastLogged;
static float g_clearColour[4] = {0, 0, 0, 0};
static int g_fogOn = 0;
static double g_farPlane = 0;
static int g_cameraStep = -1;  // -1 before the frame's first identity, then 0..3
static int g_pushDepth = 0;
static int g_birdStep = 0;  // 1: the next translation places a bird, 2: its heading next
static unsigned int g_birdList = 0;

// The terrain list being compiled: its vertex heights, folded into a digest.
static unsigned int g_compiling = 0;
static GLenum g_compileMode = 0;
static int g_compileHasStrips = 0;
static int g_compileHasTriangles = 0;
static long g_heightCount = 0;
static long g_heightNonZero = 0;
static unsigned long long g_heightDigest = 0;

static void startFrame() {
  memset(&g_frame, 0, sizeof g_frame);
  memcpy(g_frame.clear, g_clearColour, sizeof g_clearColour);
  g_cameraStep = -1;
  g_pushDepth = 0;
  g_birdStep = 0;
}

static int sameSettings(const FrameRecord& a, const FrameRecord& b) {
  return a.birdCalls == b.birdCalls && a.characters == b.characters && a.fog == b.fog &&
         memcmp(a.clear, b.clear, sizeof a.clear) == 0 && a.farPlane == b.farPlane;
}

static void finishFrame() {
  g_frame.fog = g_fogOn;
  g_frame.farPlane = g_farPlane;
  if (!g_eventSinceFrame && sameSettings(g_frame, g_lastLogged)) {
    return;
  }
  const FrameRecord& f = g_frame;
  int n = f.birds > 0 ? f.birds : 1;
  logLine(
      "frame birds=%d chars=%d fog=%d clear=%.9g,%.9g,%.9g,%.9g far=%.9g "
      "cam=%.9g,%.9g,%.9g,%.9g,%.9g bird0=%.9g,%.9g,%.9g,%.9g mean=%.9g,%.9g,%.9g",
      f.birdCalls, f.characters, f.fog, f.clear[0], f.clear[1], f.clear[2], f.clear[3], f.farPlane,
      f.camera[0], f.camera[1], f.camera[2], f.camera[3], f.camera[4], f.bird0[0], f.bird0[1],
      f.bird0[2], f.bird0[3], f.birdSum[0] / n, f.birdSum[1] / n, f.birdSum[2] / n);
  g_lastLogged = g_frame;
  g_eventSinceFrame = 0;
}

// --- GLUT wrappers ---------------------------------------------------------------------

static int g_inTick = 0;

static void countedTick(int value) {
  long long startNs = monotonicNs();
  long long armsBefore = g_timerArms;
  g_inTick = 1;
  g_timerCallbacks[value](value);
  g_inTick = 0;
  if (g_timerArms == armsBefore) {
    return;
  }
  g_ticks++;
  g_eventSinceFrame = 1;
  writeCounts();
  logLine("tick ns=%lld", startNs);
}

extern "C" void glutTimerFunc(unsigned int milliseconds, IntCallback callback, int value) {
  REAL(glutTimerFunc);
  g_timerArms++;
  // A tick re-arms its own chain; an arm from anywhere else is worth a line.
  if (!g_inTick) {
    logEvent("arm ms=%u", milliseconds);
  }
  if (value < 0 || value >= kTimerValues) {
    real(milliseconds, callback, value);
    return;
  }
  g_timerCallbacks[value] = callback;
  real(milliseconds, countedTick, value);
}

extern "C" void glutSwapBuffers() {
  REAL(glutSwapBuffers);
  real();
  if (!inProgramContext()) {
    return;
  }
  g_swaps++;
  finishFrame();
  if (g_fogUnreported) {
    const FogRecord& f = g_fog;
    logLine("fog start=%.9g end=%.9g density=%.9g mode=%.9g colour=%.9g,%.9g,%.9g,%.9g", f.start,
            f.end, f.density, f.mode, f.colour[0], f.colour[1], f.colour[2], f.colour[3]);
    g_fogUnreported = 0;
  }
  if (g_firstSwapNs == 0) {
    g_firstSwapNs = monotonicNs();
    writeCounts();
  }
}

extern "C" int glutCreateWindow(const char* title) {
  REAL(glutCreateWindow);
  int id = real(title);
  noteSurface("window");
  return id;
}

extern "C" int glutEnterGameMode() {
  REAL(glutEnterGameMode);
  int result = real();
  noteSurface("gamemode");
  return result;
}

static IntCallback g_menuCallback = nullptr;

static void loggedMenu(int id) {
  logEvent("menu id=%d", id);
  g_menuCallback(id);
}

extern "C" int glutCreateMenu(IntCallback callback) {
  REAL(glutCreateMenu);
  g_menuCallback = callback;
  return real(callback != nullptr ? loggedMenu : nullptr);
}

// Entry n of the current menu (0: the one just added) as the program labels it, spaces
// written as '_'. The probe reaches GLUT through dlsym only: it is preloaded into programs
// without GLUT too.
static void logEntry(int n, const char* what, int value, const char* label) {
  static auto menu = reinterpret_cast<int (*)()>(dlsym(RTLD_NEXT, "glutGetMenu"));
  static auto get = reinterpret_cast<int (*)(GLenum)>(dlsym(RTLD_NEXT, "glutGet"));
  char text[64];
  snprintf(text, sizeof text, "%s", label);
  std::replace(text, text + strlen(text), ' ', '_');
  n = n > 0 ? n : get(GLUT_MENU_NUM_ITEMS);
  logEvent("entry menu=%d n=%d %s=%d label=%s", menu(), n, what, value, text);
}

extern "C" void glutAddMenuEntry(const char* label, int value) {
  REAL(glutAddMenuEntry);
  real(label, value);
  logEntry(0, "id", value, label);
}

extern "C" void glutAddSubMenu(const char* label, int submenu) {
  REAL(glutAddSubMenu);
  real(label, submenu);
  logEntry(0, "sub", submenu, label);
}

extern "C" void glutChangeToMenuEntry(int n, const char* label, int value) {
  REAL(glutChangeToMenuEntry);
  real(n, label, value);
  logEntry(n, "id", value, label);
}

static KeyCallback g_specialKeys[2] = {nullptr, nullptr};  // pressed, released
static CharCallback g_keyboard = nullptr;
static SizeCallback g_reshape = nullptr;

static void loggedSpecialDown(int key, int x, int y) {
  logEvent("key kind=down code=%d", key);
  g_specialKeys[0](key, x, y);
}

static void loggedSpecialUp(int key, int x, int y) {
  logEvent("key kind=up code=%d", key);
  g_specialKeys[1](key, x, y);
}

static void loggedKeyboard(unsigned char key, int x, int y) {
  logEvent("key kind=char code=%d", key);
  g_keyboard(key, x, y);
}

static void loggedReshape(int width, int height) {
  logEvent("reshape w=%d h=%d", width, height);
  g_reshape(width, height);
}

extern "C" void glutSpecialFunc(KeyCallback callback) {
  REAL(glutSpecialFunc);
  g_specialKeys[0] = callback;
  real(callback != nullptr ? loggedSpecialDown : nullptr);
}

extern "C" void glutSpecialUpFunc(KeyCallback callback) {
  REAL(glutSpecialUpFunc);
  g_specialKeys[1] = callback;
  real(callback != nullptr ? loggedSpecialUp : nullptr);
}

extern "C" void glutKeyboardFunc(CharCallback callback) {
  REAL(glutKeyboardFunc);
  g_keyboard = callback;
  real(callback != nullptr ? loggedKeyboard : nullptr);
}

extern "C" void glutReshapeFunc(SizeCallback callback) {
  REAL(glutReshapeFunc);
  g_reshape = callback;
  real(callback != nullptr ? loggedReshape : nullptr);
}

extern "C" void glutBitmapCharacter(void* font, int character) {
  REAL(glutBitmapCharacter);
  real(font, character);
  if (inProgramContext()) {
    g_frame.characters++;
  }
}

// --- GL wrappers -----------------------------------------------------------------------

extern "C" void glClear(GLbitfield mask) {
  REAL(glClear);
  real(mask);
  if ((mask & GL_COLOR_BUFFER_BIT) && inProgramContext()) {
    startFrame();
  }
}

extern "C" void glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha) {
  REAL(glClearColor);
  real(red, green, blue, alpha);
  if (inProgramContext()) {
    g_clearColour[0] = red;
    g_clearColour[1] = green;
    g_clearColour[2] = blue;
    g_clearColour[3] = alpha;
  }
}

static void noteFog(GLenum capability, int on) {
  if (capability == GL_FOG && inProgramContext()) {
    g_fogOn = on;
  }
}

extern "C" void glEnable(GLenum capability) {
  REAL(glEnable);
  real(capability);
  noteFog(capability, 1);
}

extern "C" void glDisable(GLenum capability) {
  REAL(glDisable);
  real(capability);
  noteFog(capability, 0);
}

// Records a fog parameter of the program's context: one value, or the colour's four.
static void noteFogParameter(GLenum name, const GLfloat* values) {
  struct FogField {
    GLenum name;
    float* field;
    size_t count;
  };
  const FogField fields[] = {
      {GL_FOG_START, &g_fog.start, 1},     {GL_FOG_END, &g_fog.end, 1},
      {GL_FOG_DENSITY, &g_fog.density, 1}, {GL_FOG_MODE, &g_fog.mode, 1},
      {GL_FOG_COLOR, g_fog.colour, 4},
  };
  if (!inProgramContext()) {
    return;
  }
  for (const FogField& f : fields) {
    if (f.name == name) {
      memcpy(f.field, values, f.count * sizeof(float));
    }
  }
}

extern "C" void glFogf(GLenum name, GLfloat value) {
  REAL(glFogf);
  real(name, value);
  if (name != GL_FOG_COLOR) {  // which takes four values, and glFogf gives one
    noteFogParameter(name, &value);
  }
}

extern "C" void glFogfv(GLenum name, const GLfloat* values) {
  REAL(glFogfv);
  real(name, values);
  noteFogParameter(name, values);
}

extern "C" void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
  REAL(gluPerspective);
  real(fovy, aspect, zNear, zFar);
  if (inProgramContext()) {
    g_farPlane = zFar;
  }
}

extern "C" void glLoadIdentity() {
  REAL(glLoadIdentity);
  real();
  if (g_cameraStep == -1 && inProgramContext()) {
    g_cameraStep = 0;
  }
}

extern "C" void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
  REAL(glRotatef);
  real(angle, x, y, z);
  if (!inProgramContext()) {
    return;
  }
  if (g_cameraStep == 0 || g_cameraStep == 1) {
    g_frame.camera[g_cameraStep++] = angle;
  }
  // A bird is turned to its heading about the vertical right after it is placed.
  if (g_birdStep == 2 && x == 0 && y == 1 && z == 0 && g_frame.birds == 1) {
    g_frame.bird0[3] = angle;
  }
  g_birdStep = 0;
}

extern "C" void glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
  REAL(glTranslatef);
  real(x, y, z);
  if (!inProgramContext()) {
    return;
  }
  const float place[3] = {x, y, z};
  if (g_cameraStep == 2) {
    memcpy(g_frame.camera + 2, place, sizeof place);
    g_cameraStep = 3;
  }
  // Each bird is drawn in a matrix of its own, placed by the first translation in it.
  if (g_birdStep == 1) {
    if (g_frame.birds == 0) {
      memcpy(g_frame.bird0, place, sizeof place);
    }
    g_frame.birdSum[0] += x;
    g_frame.birdSum[1] += y;
    g_frame.birdSum[2] += z;
    g_frame.birds++;
    g_birdStep = 2;
    return;
  }
  g_birdStep = 0;
}

extern "C" void glPushMatrix() {
  REAL(glPushMatrix);
  real();
  if (inProgramContext()) {
    g_pushDepth++;
    g_birdStep = g_pushDepth == 1 ? 1 : 0;
  }
}

extern "C" void glPopMatrix() {
  REAL(glPopMatrix);
  real();
  if (inProgramContext() && g_pushDepth > 0) {
    g_pushDepth--;
  }
}

extern "C" void glCallList(GLuint list) {
  REAL(glCallList);
  real(list);
  if (list == g_birdList && list != 0 && inProgramContext()) {
    g_frame.birdCalls++;
  }
}

extern "C" void glNewList(GLuint list, GLenum mode) {
  REAL(glNewList);
  real(list, mode);
  if (!inProgramContext()) {
    return;
  }
  g_compiling = list;
  g_compileHasStrips = 0;
  g_compileHasTriangles = 0;
  g_heightCount = 0;
  g_heightNonZero = 0;
  g_heightDigest = 1469598103934665603ULL;  // FNV-1a offset basis
}

extern "C" void glBegin(GLenum mode) {
  REAL(glBegin);
  real(mode);
  if (g_compiling != 0 && inProgramContext()) {
    g_compileMode = mode;
    g_compileHasStrips |= mode == GL_TRIANGLE_STRIP;
    g_compileHasTriangles |= mode == GL_TRIANGLES;
  }
}

extern "C" void glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
  REAL(glVertex3f);
  real(x, y, z);
  if (g_compiling == 0 || g_compileMode != GL_TRIANGLE_STRIP || !inProgramContext()) {
    return;
  }
  unsigned int bits;
  memcpy(&bits, &y, sizeof bits);
  for (int i = 0; i < 4; i++) {
    g_heightDigest = (g_heightDigest ^ ((bits >> (8 * i)) & 0xff)) * 1099511628211ULL;
  }
  g_heightCount++;
  g_heightNonZero += y != 0.0f;
}

extern "C" void glEndList() {
  REAL(glEndList);
  real();
  if (g_compiling == 0 || !inProgramContext()) {
    return;
  }
  // The bird model is one list of triangles, the terrain one of strips.
  if (g_compileHasTriangles) {
    g_birdList = g_compiling;
  }
  if (g_compileHasStrips) {
    logEvent("terrain vertices=%ld nonzero=%ld digest=%016llx", g_heightCount, g_heightNonZero,
             g_heightDigest);
  }
  g_compiling = 0;
}

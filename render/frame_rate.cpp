// The frame-rate read-out: "FPS-" and the number of read-out frames drawn between the
// last two changes of the local-time seconds field.
#include <GL/freeglut.h>
#include <GL/gl.h>

#include <cstdio>
#include <ctime>

#include "render/renderer.h"

// The counter starts at 42, so the very first read-out frame usually shows 43.
int g_frameCount = 42;
int g_shownFrameRate = 42;
int g_lastSecond = 0;
char g_frameRateText[16] = "";

void countReadOutFrame(int second) {
  g_frameCount++;
  // Only a change is tested: the count covers whatever time passed since the last one.
  if (second != g_lastSecond) {
    g_lastSecond = second;
    g_shownFrameRate = g_frameCount;
    g_frameCount = 0;
  }
  snprintf(g_frameRateText, sizeof g_frameRateText, "%d", g_shownFrameRate);
}

static int localSeconds() {
  time_t now = time(nullptr);
  const struct tm* local = localtime(&now);
  return local != nullptr ? local->tm_sec : g_lastSecond;
}

void Renderer::drawFrameRate() {
  countReadOutFrame(localSeconds());
  glColor4f(1, 0, 0, 1);
  glRasterPos3f(0, 0, 0);
  const char* prefix = "FPS-";
  for (const char* c = prefix; *c != '\0'; c++) {
    glutBitmapCharacter(GLUT_BITMAP_HELVETICA_18, *c);
  }
  for (const char* c = g_frameRateText; *c != '\0'; c++) {
    glutBitmapCharacter(GLUT_BITMAP_HELVETICA_18, *c);
  }
}

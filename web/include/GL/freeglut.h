// freeglut's header for the browser build: emscripten's GLUT header declares the standard
// calls (web/glut_compat.js supplies the ones it lacks); this adds freeglut's own that
// the program uses.
#ifndef AVIFOLD_WEB_GL_FREEGLUT_H
#define AVIFOLD_WEB_GL_FREEGLUT_H

#include <GL/glut.h>

#ifdef __cplusplus
extern "C" {
#endif

void glutCloseFunc(void (*callback)(void));

#ifdef __cplusplus
}
#endif

#endif

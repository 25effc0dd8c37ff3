// The least a GLUT program of Avifold's shape can do: a 640 x 480 double-buffered
// window whose frames only clear, finish and swap, back to back, and a 33 ms timer chain
// that only re-arms itself. It goes through the same glutSwapBuffers and glutTimerFunc
// as avifold, so the same probe measures both, and the benchmarks report avifold's
// start-up, frame rate and tick rate beside this floor.
#include <GL/freeglut.h>
#include <GL/gl.h>

const int kWindowWidth = 640;
const int kWindowHeight = 480;
const unsigned int kTickMilliseconds = 33;  // as avifold's simulation tick
const int kTimerValue = 1;

static void onDisplay() {
  glClear(GL_COLOR_BUFFER_BIT);
  glFinish();
  glutSwapBuffers();
  glutPostRedisplay();
}

static void onTimer(int) {
  glutTimerFunc(kTickMilliseconds, onTimer, kTimerValue);
}

int main(int argc, char** argv) {
  glutInit(&argc, argv);
  glutInitWindowSize(kWindowWidth, kWindowHeight);
  glutInitDisplayMode(GLUT_DOUBLE | GLUT_DEPTH);
  glutCreateWindow("bare loop");
  glutDisplayFunc(onDisplay);
  glutTimerFunc(kTickMilliseconds, onTimer, kTimerValue);
  glutMainLoop();
  return 0;
}

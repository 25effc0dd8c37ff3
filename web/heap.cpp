// The program's heap as the page's instruments (the tests and the benchmark) read it:
// a browser shows only how much memory the module has reserved, which never shrinks.
#include <emscripten.h>
#include <malloc.h>

extern "C" EMSCRIPTEN_KEEPALIVE int avifoldHeapInUse() {
  struct mallinfo info = mallinfo();
  return static_cast<int>(info.uordblks);
}

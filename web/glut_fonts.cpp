// GLUT's font handles, which the GLUT header names by the addresses of these objects.
// Each holds the number freeglut gives the font where handles are numbers, so that
// web/glut_compat.js can tell the fonts apart by what a handle points to.
extern "C" {
void* glutStrokeRoman = reinterpret_cast<void*>(0);
void* glutStrokeMonoRoman = reinterpret_cast<void*>(1);
void* glutBitmap9By15 = reinterpret_cast<void*>(2);
void* glutBitmap8By13 = reinterpret_cast<void*>(3);
void* glutBitmapTimesRoman10 = reinterpret_cast<void*>(4);
void* glutBitmapTimesRoman24 = reinterpret_cast<void*>(5);
void* glutBitmapHelvetica10 = reinterpret_cast<void*>(6);
void* glutBitmapHelvetica12 = reinterpret_cast<void*>(7);
void* glutBitmapHelvetica18 = reinterpret_cast<void*>(8);
}

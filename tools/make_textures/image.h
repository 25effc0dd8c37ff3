// Colours and images as the painters make them, the small arithmetic they share, and the one
// way an image or the icon reaches its file.
//
// The arithmetic uses only +, -, *, /, floor and sqrt, which IEEE doubles round the same way on
// every machine (tools/CMakeLists.txt switches off fused multiply-add contraction), so the
// images come out byte-identical everywhere.
#ifndef AVIFOLD_TOOLS_MAKE_TEXTURES_IMAGE_H
#define AVIFOLD_TOOLS_MAKE_TEXTURES_IMAGE_H

#include <filesystem>
#include <vector>

struct Color {
  double r;  // red, 0..255
  double g;  // green, 0..255
  double b;  // blue, 0..255
};

struct Image {
  int width;                         // pixels per row
  int height;                        // rows
  std::vector<unsigned char> bytes;  // RGB, top row first, width * height * 3 bytes
};

double clamp01(double x);
// 0 below edge0, 1 above edge1, and a smooth S-curve between.
double smoothStep(double edge0, double edge1, double x);
double lerp(double a, double b, double t);
Color mixColor(Color a, Color b, double t);
Color scaleColor(Color c, double k);

// Sine of an angle given in turns (1 turn = 360 degrees), from a corrected parabola: close enough
// for ripples and free of the C library's sin, whose last bit differs between platforms.
double turnSine(double turns);

// Barycentric weights of the point (x, y) in the triangle with these corners: the skin maps a
// pixel to the model through them, the icon a point of the model seen from above to the skin.
// False when the triangle is degenerate or the point lies outside it.
bool triangleWeights(const double corner[3][2], double x, double y, double weight[3]);

// A black image of width x height pixels.
Image makeImage(int width, int height);

// A channel value rounded and clamped to lowest..255.
unsigned char toByte(double value, int lowest);

// Stores a colour at (column, row), row 0 being the top row. Channels are rounded and clamped to
// lowest..255; a lowest of 1 keeps the pixel from turning transparent.
void setPixel(Image& image, int column, int row, Color c, int lowest);

// Writes the bytes to the file as they are; says on stderr when it cannot.
bool writeFile(const std::vector<unsigned char>& bytes, const std::filesystem::path& path);

#endif

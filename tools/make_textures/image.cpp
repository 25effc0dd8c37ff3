// Colours, images, the arithmetic the painters share, and the write tail.
#include "tools/make_textures/image.h"

#include <cmath>
#include <cstdio>
#include <fstream>

double clamp01(double x) {
  if (x < 0.0) {
    return 0.0;
  }
  if (x > 1.0) {
    return 1.0;
  }
  return x;
}

double smoothStep(double edge0, double edge1, double x) {
  double t = clamp01((x - edge0) / (edge1 - edge0));
  return t * t * (3.0 - 2.0 * t);
}

double lerp(double a, double b, double t) {
  return a + (b - a) * t;
}

Color mixColor(Color a, Color b, double t) {
  return Color{lerp(a.r, b.r, t), lerp(a.g, b.g, t), lerp(a.b, b.b, t)};
}

Color scaleColor(Color c, double k) {
  return Color{c.r * k, c.g * k, c.b * k};
}

double turnSine(double turns) {
  double t = turns - std::floor(turns);
  double sign = 1.0;
  if (t >= 0.5) {
    t -= 0.5;
    sign = -1.0;
  }
  double y = 16.0 * t * (0.5 - t);
  y = 0.225 * (y * y - y) + y;
  return sign * y;
}

bool triangleWeights(const double corner[3][2], double x, double y, double weight[3]) {
  double area = (corner[1][0] - corner[0][0]) * (corner[2][1] - corner[0][1]) -
                (corner[2][0] - corner[0][0]) * (corner[1][1] - corner[0][1]);
  if (std::fabs(area) < 1e-12) {
    return false;
  }
  weight[1] = ((x - corner[0][0]) * (corner[2][1] - corner[0][1]) -
               (corner[2][0] - corner[0][0]) * (y - corner[0][1])) /
              area;
  weight[2] = ((corner[1][0] - corner[0][0]) * (y - corner[0][1]) -
               (x - corner[0][0]) * (corner[1][1] - corner[0][1])) /
              area;
  weight[0] = 1.0 - weight[1] - weight[2];
  return weight[0] >= 0.0 && weight[1] >= 0.0 && weight[2] >= 0.0;
}

Image makeImage(int width, int height) {
  Image image;
  image.width = width;
  image.height = height;
  image.bytes.assign(static_cast<size_t>(width) * height * 3, 0);
  return image;
}

unsigned char toByte(double value, int lowest) {
  long rounded = std::lround(value);
  if (rounded < lowest) {
    rounded = lowest;
  }
  if (rounded > 255) {
    rounded = 255;
  }
  return static_cast<unsigned char>(rounded);
}

void setPixel(Image& image, int column, int row, Color c, int lowest) {
  size_t at = (static_cast<size_t>(row) * image.width + column) * 3;
  image.bytes[at + 0] = toByte(c.r, lowest);
  image.bytes[at + 1] = toByte(c.g, lowest);
  image.bytes[at + 2] = toByte(c.b, lowest);
}

bool writeFile(const std::vector<unsigned char>& bytes, const std::filesystem::path& path) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "make_textures: cannot write %s\n", path.string().c_str());
    return false;
  }
  return true;
}

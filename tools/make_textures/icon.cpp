// Icon: the bird seen from above, wearing its own skin, on a round patch of sky. Desktop menus
// show it beside the program's name; the program itself never reads it.
#include "tools/make_textures/icon.h"

#include <algorithm>
#include <cmath>

#include "tools/make_textures/painters.h"

constexpr int kIconSamples = 4;        // samples per pixel along each axis, for smooth edges
constexpr double kIconRadius = 31.5;   // radius of the sky disc, pixels
constexpr double kIconScale = 4.3;     // pixels per model unit: the 13-unit wingspan fits the disc
constexpr double kIconMiddleZ = -0.5;  // model z drawn at the icon's centre: between tail and beak
constexpr double kShadowShift = 0.7;   // model units the shadow falls down and right of the bird

// The skin table leaves the beak out; seen from above its three triangles cover this outline.
const double kBeakOutline[3][2] = {{0.3, 1.0}, {-0.3, 1.0}, {0.0, 2.0}};

struct IconSample {
  Color c;       // colour, 0..255 a channel
  double alpha;  // coverage, 0 (outside the disc) or 1
};

// The skin's texel at (u, v), v = 0 being the image's bottom row.
static Color skinTexel(const Image& skin, double u, double v) {
  int column = std::clamp(static_cast<int>(u * skin.width), 0, skin.width - 1);
  int row = std::clamp(static_cast<int>((1.0 - v) * skin.height), 0, skin.height - 1);
  size_t at = (static_cast<size_t>(row) * skin.width + column) * 3;
  return Color{static_cast<double>(skin.bytes[at]), static_cast<double>(skin.bytes[at + 1]),
               static_cast<double>(skin.bytes[at + 2])};
}

// The colour of the bird's uppermost surface above the model point (x, z); false where no part
// of the bird is.
static bool birdFromAbove(const Image& skin, double x, double z, Color& c) {
  double top = -1e9;
  for (const SkinTriangle& t : kSkinTriangles) {
    double corner[3][2];
    for (int k = 0; k < 3; ++k) {
      corner[k][0] = t.corner[k].x;
      corner[k][1] = t.corner[k].z;
    }
    double weight[3];
    if (!triangleWeights(corner, x, z, weight)) {
      continue;
    }
    double y = 0.0;
    double u = 0.0;
    double v = 0.0;
    for (int k = 0; k < 3; ++k) {
      y += weight[k] * t.corner[k].y;
      u += weight[k] * t.corner[k].u;
      v += weight[k] * t.corner[k].v;
    }
    if (y > top) {
      top = y;
      c = skinTexel(skin, u, v);
    }
  }
  if (top > -1e9) {
    return true;
  }
  double weight[3];
  if (triangleWeights(kBeakOutline, x, z, weight)) {
    c = skinBackground(1.0, 0.0, 0.5);  // the beak's horn colour
    return true;
  }
  return false;
}

// One sample of the icon at (px, py) in pixels from its top left corner.
static IconSample iconSample(const Image& skin, double px, double py) {
  const Color skyHigh{150, 198, 240};
  const Color skyLow{54, 110, 192};
  const Color rim{36, 74, 140};

  double dx = px - 0.5 * kIconSize;
  double dy = py - 0.5 * kIconSize;
  double distance = std::sqrt(dx * dx + dy * dy);
  if (distance > kIconRadius) {
    return IconSample{Color{0, 0, 0}, 0.0};
  }
  double x = dx / kIconScale;
  double z = kIconMiddleZ - dy / kIconScale;
  Color c;
  if (birdFromAbove(skin, x, z, c)) {
    return IconSample{c, 1.0};
  }
  c = mixColor(skyHigh, skyLow, clamp01(0.5 + dy / (2.0 * kIconRadius)));
  c = mixColor(c, rim, smoothStep(kIconRadius - 2.5, kIconRadius - 1.0, distance));
  Color unused;
  if (birdFromAbove(skin, x - kShadowShift, z + kShadowShift, unused)) {
    c = scaleColor(c, 0.7);
  }
  return IconSample{c, 1.0};
}

// The icon as RGBA bytes, top row first; each pixel averages kIconSamples^2 samples.
std::vector<unsigned char> makeIcon() {
  Image skin = makeBirdSkin();
  std::vector<unsigned char> rgba(static_cast<size_t>(kIconSize) * kIconSize * 4, 0);
  const double step = 1.0 / kIconSamples;
  for (int row = 0; row < kIconSize; ++row) {
    for (int column = 0; column < kIconSize; ++column) {
      Color sum{0, 0, 0};
      double coverage = 0.0;
      for (int sy = 0; sy < kIconSamples; ++sy) {
        for (int sx = 0; sx < kIconSamples; ++sx) {
          IconSample s = iconSample(skin, column + (sx + 0.5) * step, row + (sy + 0.5) * step);
          sum = Color{sum.r + s.c.r * s.alpha, sum.g + s.c.g * s.alpha, sum.b + s.c.b * s.alpha};
          coverage += s.alpha;
        }
      }
      size_t at = (static_cast<size_t>(row) * kIconSize + column) * 4;
      if (coverage > 0.0) {
        rgba[at + 0] = toByte(sum.r / coverage, 0);
        rgba[at + 1] = toByte(sum.g / coverage, 0);
        rgba[at + 2] = toByte(sum.b / coverage, 0);
      }
      rgba[at + 3] = toByte(255.0 * coverage / (kIconSamples * kIconSamples), 0);
    }
  }
  return rgba;
}

// Trees: cut-outs on pure black, which turns transparent. Coordinates here are in pixels with
// `height` counted up from the bottom row, where the trunk stands on the ground.
#include <algorithm>
#include <cmath>

#include "tools/make_textures/noise.h"
#include "tools/make_textures/painters.h"

constexpr int kTreeSize = imageSize(TextureSlot::Tree0);  // both tree cut-outs
static_assert(imageSize(TextureSlot::Tree0 + 1) == kTreeSize, "both trees share one layout");
// The shapes below are laid out in pixels of a 128-pixel cut-out.
static_assert(kTreeSize == 128, "the tree shapes are drawn for 128 x 128 pixels");
constexpr int kTreeMiddle = kTreeSize / 2;  // column of the trunk's centre

// Noise for the trees; they are not tiled, so any period larger than the image will do.
static double treeNoise(double column, double height, double cellSize, uint32_t seed) {
  return valueNoise(column / cellSize, height / cellSize, 1024, seed);
}

// Bark: brown with vertical grooves, darker on the shaded right side.
static Color barkColor(double column, double height, double halfWidth) {
  const Color bark{92, 66, 44};
  double across = (column - kTreeMiddle) / (halfWidth + 0.5);  // -1 .. 1
  double grooves = treeNoise(column * 3.0, height * 0.4, 2.0, kSeedTree + 1);
  Color c = scaleColor(bark, 1.05 - 0.35 * smoothStep(-0.6, 1.0, across));
  return scaleColor(c, 0.8 + 0.4 * grooves);
}

struct Blob {
  double column;  // centre, pixels from the left
  double height;  // centre, pixels up from the bottom
  double radius;  // pixels
};

// The round tree's crown: overlapping clumps of leaves.
const Blob kCrownBlobs[] = {
    {64, 84, 30},  {38, 72, 22},  {90, 72, 22}, {46, 100, 22},
    {82, 100, 22}, {64, 104, 20}, {54, 60, 16}, {76, 60, 16},
};

Image makeRoundTree() {
  const Color leafDark{26, 62, 22};
  const Color leafLight{104, 152, 52};
  const double trunkTop = 70.0;  // the trunk disappears into the crown here

  Image image = makeImage(kTreeSize, kTreeSize);
  for (int row = 0; row < kTreeSize; ++row) {
    for (int column = 0; column < kTreeSize; ++column) {
      double h = kTreeSize - 1 - row;
      double x = column;
      // Leaf clumps: the edge is ragged where the noise eats into it.
      double ragged = 6.0 * (treeNoise(x, h, 4.0, kSeedTree + 2) - 0.5);
      double depth = -1e9;  // how far inside the nearest clump, pixels
      double lightSide = 0.0;
      for (const Blob& b : kCrownBlobs) {
        double dx = x - b.column;
        double dh = h - b.height;
        double inside = b.radius - std::sqrt(dx * dx + dh * dh) + ragged;
        if (inside > depth) {
          depth = inside;
          // Light from the upper left: how far this point faces it, -1 .. 1.
          lightSide = (-0.6 * dx + 0.8 * dh) / b.radius;
        }
      }
      bool inCrown = depth > 0.0 && x >= 3 && x <= kTreeSize - 4 && h <= kTreeSize - 4;
      if (inCrown) {
        double leaves = treeNoise(x, h, 2.0, kSeedTree + 3);
        // Each clump is lit on its upper left and dark where it meets the next one.
        double rim = smoothStep(0.0, 6.0, depth);
        double light = clamp01(0.4 + 0.55 * lightSide + 0.7 * (leaves - 0.5));
        light *= 0.55 + 0.45 * rim;
        light *= 0.6 + 0.4 * smoothStep(40.0, 80.0, h);  // the underside is in shade
        setPixel(image, column, row, mixColor(leafDark, leafLight, light), 1);
        continue;
      }
      // Trunk, with a little flare of roots at the foot and a slight bend.
      double halfWidth = 4.0 + 4.0 * (1.0 - smoothStep(0.0, 8.0, h));
      double centre = kTreeMiddle + 1.5 * turnSine(h / 90.0);
      if (h <= trunkTop && std::fabs(x - centre) <= halfWidth) {
        setPixel(image, column, row, barkColor(x, h, halfWidth), 1);
      }
    }
  }
  return image;
}

// One tier of the conifer's branches: a drooping triangle of needles.
struct Tier {
  double bottom;     // height of the tier's lower edge at the trunk, pixels
  double top;        // height of its tip
  double halfWidth;  // half its width at the lower edge
};

const Tier kConiferTiers[] = {
    {14, 62, 40},
    {34, 82, 33},
    {54, 102, 26},
    {74, 124, 19},
};

Image makeConifer() {
  const Color needleDark{14, 46, 30};
  const Color needleLight{64, 112, 60};

  Image image = makeImage(kTreeSize, kTreeSize);
  for (int row = 0; row < kTreeSize; ++row) {
    for (int column = 0; column < kTreeSize; ++column) {
      double h = kTreeSize - 1 - row;
      double x = column;
      double dx = x - kTreeMiddle;
      double tips = 3.0 * (treeNoise(x, h, 1.5, kSeedTree + 4) - 0.5);
      bool inNeedles = false;
      double light = 0.0;
      for (const Tier& t : kConiferTiers) {
        double rise = (h - t.bottom) / (t.top - t.bottom);
        // Branch ends droop: the lower edge sags toward the sides.
        double droop = 6.0 * (std::fabs(dx) / t.halfWidth);
        double reach = t.halfWidth * (1.0 - rise) + tips;
        if (h >= t.bottom - droop && h <= t.top && std::fabs(dx) <= reach) {
          inNeedles = true;
          // The sun catches the branch ends at the bottom of each tier; higher up the
          // tier lies in the shade of the one above. The left is the sunny side.
          light = 0.8 - 1.1 * std::min(clamp01(rise), 0.42) - 0.3 * dx / t.halfWidth;
        }
      }
      if (inNeedles && x >= 3 && x <= kTreeSize - 4) {
        double needles = treeNoise(x, h, 1.2, kSeedTree + 5);
        light = clamp01(light + 0.5 * (needles - 0.5));
        setPixel(image, column, row, mixColor(needleDark, needleLight, light), 1);
        continue;
      }
      double halfWidth = 3.0 + 2.0 * (1.0 - smoothStep(0.0, 6.0, h));
      if (h <= 80.0 && std::fabs(dx) <= halfWidth) {
        setPixel(image, column, row, barkColor(x, h, halfWidth), 1);
      }
    }
  }
  return image;
}

// Bird skin. The feathers are painted in the model's own space: every pixel inside a triangle of
// the bird's texture layout is mapped back to the model point it covers, so the streaks on both
// wings run from the leading edge to the trailing edge however the wing lies in the image.
#include <cmath>

#include "tools/make_textures/noise.h"
#include "tools/make_textures/painters.h"

constexpr int kSkinSize = imageSize(TextureSlot::Bird);  // the bird skin
constexpr int kSkinPadding = 6;  // pixels of bird skin painted past each triangle's edge, so
                                 // linear filtering at a seam never reaches the background

// The bird model's triangles with their texture coordinates. The three beak triangles are left
// out: they take the image's corners (0, 0), (1, 0), (1, 1), so the beak shows the whole lower
// right half of the image, which the background paints horn-coloured.
static std::vector<SkinTriangle> skinTriangles() {
  std::vector<SkinTriangle> triangles;
  for (int t = 0; t < kBirdTriangles; ++t) {
    if (t >= kBirdBeakFirst && t < kBirdBackFirst) {
      continue;
    }
    BirdPart part = BirdPart::Wing;
    if (t >= kBirdTailFirst && t < kBirdBeakFirst) {
      part = BirdPart::Tail;
    } else if (t >= kBirdBackFirst && t < kBirdOtherWingFirst) {
      part = BirdPart::Back;
    }
    triangles.push_back({part, {kBirdMesh[3 * t], kBirdMesh[3 * t + 1], kBirdMesh[3 * t + 2]}});
  }
  return triangles;
}

const std::vector<SkinTriangle> kSkinTriangles = skinTriangles();

// Where a pixel of the skin lands on the model.
struct SkinPoint {
  BirdPart part;  // which part of the bird
  double x;       // model position along the wings
  double z;       // model position toward the beak
};

// Distance in texture units from (u, v) to the nearest point of a triangle, and the model point
// there; 0 inside the triangle.
static double nearestSkinPoint(const SkinTriangle& t, double u, double v, double& x, double& z) {
  const double texture[3][2] = {{t.corner[0].u, t.corner[0].v},
                                {t.corner[1].u, t.corner[1].v},
                                {t.corner[2].u, t.corner[2].v}};
  double weight[3];
  if (triangleWeights(texture, u, v, weight)) {
    x = 0.0;
    z = 0.0;
    for (int k = 0; k < 3; ++k) {
      x += weight[k] * t.corner[k].x;
      z += weight[k] * t.corner[k].z;
    }
    return 0.0;
  }
  double best = 1e9;
  for (int k = 0; k < 3; ++k) {
    const SkinVertex& a = t.corner[k];
    const SkinVertex& b = t.corner[(k + 1) % 3];
    double eu = b.u - a.u;
    double ev = b.v - a.v;
    double length2 = eu * eu + ev * ev;
    double s = length2 > 0.0 ? clamp01(((u - a.u) * eu + (v - a.v) * ev) / length2) : 0.0;
    double du = a.u + s * eu - u;
    double dv = a.v + s * ev - v;
    double distance = std::sqrt(du * du + dv * dv);
    if (distance < best) {
      best = distance;
      x = lerp(a.x, b.x, s);
      z = lerp(a.z, b.z, s);
    }
  }
  return best;
}

// Finds the model point under (u, v): inside a triangle, or on the edge of the nearest one when
// that lies within the padding. False in the background.
static bool findSkinPoint(double u, double v, SkinPoint& point) {
  double best = static_cast<double>(kSkinPadding) / kSkinSize;
  bool found = false;
  for (const SkinTriangle& t : kSkinTriangles) {
    double x = 0.0;
    double z = 0.0;
    double distance = nearestSkinPoint(t, u, v, x, z);
    if (distance > best || (found && distance == best)) {
      continue;
    }
    point.part = t.part;
    point.x = x;
    point.z = z;
    best = distance;
    found = true;
    if (distance == 0.0) {
      return true;
    }
  }
  return found;
}

// Front edge of the wing at distance `span` from the body, from the model's leading vertices.
static double wingFrontZ(double span) {
  if (span < 1.0) {
    return 1.0;
  }
  if (span < 3.5) {
    return lerp(1.0, 1.8, (span - 1.0) / 2.5);
  }
  if (span < 5.3) {
    return lerp(1.8, 1.0, (span - 3.5) / 1.8);
  }
  return lerp(1.0, 0.0, clamp01((span - 5.3) / 1.2));
}

// Back edge of the wing at distance `span` from the body.
static double wingBackZ(double span) {
  if (span < 2.0) {
    return lerp(-1.3, -0.8, clamp01((span - 0.5) / 1.5));
  }
  if (span < 3.5) {
    return lerp(-0.8, 0.1, (span - 2.0) / 1.5);
  }
  return lerp(0.1, 0.0, clamp01((span - 3.5) / 3.0));
}

// Dark line between two neighbouring feathers: 1 on the line, 0 between lines.
static double featherLine(double across, double spacing) {
  double f = across / spacing - std::floor(across / spacing);
  return 1.0 - smoothStep(0.0, 0.18, f) * smoothStep(1.0, 0.82, f);
}

// Small covert feathers lie in overlapping rows like roof tiles: each has a dark centre and a
// pale fringe at its back end. 0 on the pale fringe, 1 on the dark centre.
static double covertPattern(double span, double chord) {
  const double rows = 7.0;     // rows of coverts from the front edge back
  const double perUnit = 3.2;  // coverts per model unit along the wing
  double row = std::floor(chord * rows);
  double along = span * perUnit + 0.5 * row;  // each row is offset by half a feather
  double fa = along - std::floor(along);
  double fb = chord * rows - row;
  double centre = 1.0 - smoothStep(0.1, 0.3, std::fabs(fa - 0.5));
  return centre * smoothStep(0.0, 0.35, fb);
}

static Color wingColor(double x, double z, double mottle) {
  const Color covert{132, 100, 70};    // small feathers along the leading edge
  const Color flight{78, 60, 46};      // long flight feathers behind them
  const Color tip{52, 46, 44};         // dark grey-brown wing tips
  const Color body{168, 136, 98};      // where the wing joins the body
  const double featherSpacing = 0.42;  // width of a flight feather, model units

  double span = std::fabs(x);
  double front = wingFrontZ(span);
  double back = wingBackZ(span);
  double chord = (z - back) / (front - back + 0.01);  // 0 at the back edge, 1 at the front

  Color c = mixColor(flight, tip, smoothStep(3.8, 5.8, span));
  // Coverts overlap the front third of the wing, with a pale bar where they end.
  double coverts = smoothStep(0.55, 0.7, chord);
  c = mixColor(c, scaleColor(covert, 1.0 - 0.25 * covertPattern(span, chord)), coverts);
  double bar = smoothStep(0.45, 0.55, chord) * (1.0 - smoothStep(0.55, 0.65, chord));
  c = mixColor(c, Color{190, 170, 132}, 0.5 * bar);

  // Flight feathers: dark gaps between them, a pale shaft down each, pale tips at the back.
  double lines = featherLine(span, featherSpacing) * (1.0 - coverts);
  double shaft =
      1.0 - smoothStep(0.0, 0.06,
                       std::fabs(featherLine(span + featherSpacing * 0.5, featherSpacing) - 1.0));
  c = scaleColor(c, 1.0 - 0.35 * lines);
  c = mixColor(c, Color{150, 130, 104}, 0.2 * shaft * (1.0 - coverts));
  c = mixColor(c, Color{176, 160, 132}, 0.4 * (1.0 - smoothStep(0.0, 0.12, chord)));

  c = mixColor(c, body, 1.0 - smoothStep(0.6, 1.4, span));
  return scaleColor(c, 0.85 + 0.3 * mottle);
}

static Color tailColor(double x, double z, double mottle) {
  const Color tail{104, 86, 66};       // grey-brown tail feathers
  const Color band{58, 48, 42};        // dark band near the tip
  const Color tipEdge{182, 168, 140};  // pale fringe on the tip

  // Tail feathers fan out from the rump at z = -1: the streaks follow the fan.
  double length = -(z + 0.7);
  double fan = x / (length + 0.2);
  double lines = featherLine(fan + 4.0, 0.28);
  Color c = scaleColor(tail, 1.0 - 0.3 * lines);
  double tipness = smoothStep(1.2, 1.9, length);
  c = mixColor(c, band, tipness);
  c = mixColor(c, tipEdge, smoothStep(2.05, 2.25, length));
  return scaleColor(c, 0.88 + 0.24 * mottle);
}

static Color backColor(double x, double z, double mottle) {
  const Color back{150, 118, 84};   // warm brown of the back
  const Color nape{186, 156, 112};  // lighter nape toward the head

  double streaks = featherLine(x + 2.0, 0.16);
  Color c = mixColor(back, nape, smoothStep(0.0, 1.0, z));
  c = scaleColor(c, 1.0 - 0.22 * streaks);
  return scaleColor(c, 0.88 + 0.24 * mottle);
}

// Background: the lower right half (u > v) is the beak's, a dull horn yellow; the rest a pale
// body buff, so whatever a filtered sample catches still looks like bird.
Color skinBackground(double u, double v, double mottle) {
  const Color horn{184, 150, 78};
  const Color buff{176, 148, 110};
  Color c = u > v ? horn : buff;
  return scaleColor(c, 0.9 + 0.2 * mottle);
}

Image makeBirdSkin() {
  Image image = makeImage(kSkinSize, kSkinSize);
  for (int row = 0; row < image.height; ++row) {
    for (int column = 0; column < image.width; ++column) {
      // File row 0 is the top of the image, where v = 1.
      double u = (column + 0.5) / image.width;
      double v = 1.0 - (row + 0.5) / image.height;
      double mottle = tileNoise(u, v, 64, 2, kSeedSkin);
      SkinPoint p;
      Color c;
      if (!findSkinPoint(u, v, p)) {
        c = skinBackground(u, v, mottle);
      } else if (p.part == BirdPart::Wing) {
        c = wingColor(p.x, p.z, mottle);
      } else if (p.part == BirdPart::Tail) {
        c = tailColor(p.x, p.z, mottle);
      } else {
        c = backColor(p.x, p.z, mottle);
      }
      // Pure black would turn the bird transparent.
      setPixel(image, column, row, c, 8);
    }
  }
  return image;
}

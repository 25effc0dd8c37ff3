// make_textures: paints the seven images Avifold reads from data/ at start-up, each under the
// file name and at the size the texture set (render/texture_set.h) gives it.
//
// Usage: make_textures <outdir>      e.g. build/tools/make_textures data
//        make_textures --icon <png>  paints only the desktop icon, the bird in its skin seen from
//                                    above: build/tools/make_textures --icon packaging/avifold.png
//
// Every image is a headerless raw RGB file, 3 bytes a pixel, 8 bits per channel, with the top row
// of the image (texture coordinate t = 1) first in the file; the program flips it on load. Pure
// black (0, 0, 0) turns fully transparent on load, so only the tree cut-outs use it.
//
// The output is byte-identical on every machine: all randomness is an integer hash with fixed
// seeds, and the arithmetic uses only +, -, *, /, floor and sqrt, which IEEE doubles round the same
// way everywhere (tools/CMakeLists.txt switches off fused multiply-add contraction).

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "render/bird_mesh.h"
#include "render/texture_set.h"

namespace {

// The side of a slot's image in pixels, as the texture set gives it.
constexpr int imageSize(int slot) {
  for (const TextureFile& file : kTextureSet) {
    if (file.slot == slot) {
      return file.size;
    }
  }
  return 0;
}

constexpr int kGroundSize = imageSize(TextureSlot::Ground);  // the ground image
constexpr int kCloudSize = imageSize(TextureSlot::Cloud);    // the cloud image
constexpr int kSkinSize = imageSize(TextureSlot::Bird);      // the bird skin
constexpr int kWaterSize = imageSize(TextureSlot::Water1);   // both water images
constexpr int kTreeSize = imageSize(TextureSlot::Tree0);     // both tree cut-outs
static_assert(imageSize(TextureSlot::Water0) == kWaterSize, "both waters are painted alike");
static_assert(imageSize(TextureSlot::Tree0 + 1) == kTreeSize, "both trees share one layout");

constexpr int kSkinPadding = 6;  // pixels of bird skin painted past each triangle's edge, so
                                 // linear filtering at a seam never reaches the background

// Seeds: one per noise layer, so layers never repeat one another.
constexpr uint32_t kSeedGroundPatches = 11;  // where bare earth shows through the grass
constexpr uint32_t kSeedGroundTone = 12;     // light and dark swathes of grass
constexpr uint32_t kSeedGroundGrain = 13;    // fine tufts and clods
constexpr uint32_t kSeedGroundEarth = 14;    // damp and dry earth
constexpr uint32_t kSeedCloud = 21;          // cloud cover
constexpr uint32_t kSeedSky = 22;            // faint variation of the blue sky
constexpr uint32_t kSeedWater = 31;          // first of the water layers (uses a few seeds)
constexpr uint32_t kSeedSkin = 41;           // mottling of the bird's feathers
constexpr uint32_t kSeedTree = 51;           // leaves, needles and bark

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

// ---------------------------------------------------------------------------------------------
// Small arithmetic helpers

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

// Sine of an angle given in turns (1 turn = 360 degrees), from a corrected parabola: close enough
// for ripples and free of the C library's sin, whose last bit differs between platforms.
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

// Barycentric weights of the point (x, y) in the triangle with these corners: the skin maps a
// pixel to the model through them, the icon a point of the model seen from above to the skin.
// False when the triangle is degenerate or the point lies outside it.
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

// ---------------------------------------------------------------------------------------------
// Deterministic noise. Lattice values come from an integer hash; every lattice wraps at its
// period, so noise sampled over [0, 1) of a tile joins up with itself at the tile's edges.

uint32_t mixBits(uint32_t h) {
  h ^= h >> 16;
  h *= 0x7FEB352Du;
  h ^= h >> 15;
  h *= 0x846CA68Bu;
  h ^= h >> 16;
  return h;
}

// Hash of a lattice point to [0, 1).
double hashUnit(int ix, int iy, uint32_t seed) {
  uint32_t h = mixBits(seed * 0x9E3779B9u + 0x632BE5ABu);
  h = mixBits(h ^ static_cast<uint32_t>(ix));
  h = mixBits(h + static_cast<uint32_t>(iy) * 0x85EBCA6Bu);
  return static_cast<double>(h >> 8) / 16777216.0;
}

int wrapIndex(int i, int period) {
  int m = i % period;
  return m < 0 ? m + period : m;
}

// Value noise at (x, y) in lattice units, repeating every `period` cells in both directions.
double valueNoise(double x, double y, int period, uint32_t seed) {
  double fx = std::floor(x);
  double fy = std::floor(y);
  int x0 = wrapIndex(static_cast<int>(fx), period);
  int y0 = wrapIndex(static_cast<int>(fy), period);
  int x1 = wrapIndex(x0 + 1, period);
  int y1 = wrapIndex(y0 + 1, period);
  double tx = smoothStep(0.0, 1.0, x - fx);
  double ty = smoothStep(0.0, 1.0, y - fy);
  double top = lerp(hashUnit(x0, y0, seed), hashUnit(x1, y0, seed), tx);
  double bottom = lerp(hashUnit(x0, y1, seed), hashUnit(x1, y1, seed), tx);
  return lerp(top, bottom, ty);
}

// Fractal noise over a tile: (u, v) in [0, 1), the coarsest octave has `cells` cells across the
// tile and each further octave twice as many at half the weight. Result in [0, 1].
double tileNoise(double u, double v, int cells, int octaves, uint32_t seed) {
  double sum = 0.0;
  double weight = 1.0;
  double total = 0.0;
  for (int octave = 0; octave < octaves; ++octave) {
    int n = cells << octave;
    sum += weight * valueNoise(u * n, v * n, n, seed + static_cast<uint32_t>(octave) * 101u);
    total += weight;
    weight *= 0.5;
  }
  return sum / total;
}

// ---------------------------------------------------------------------------------------------
// Images

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

// Stores a colour at (column, row), row 0 being the top row. Channels are rounded and clamped to
// lowest..255; a lowest of 1 keeps the pixel from turning transparent.
void setPixel(Image& image, int column, int row, Color c, int lowest) {
  size_t at = (static_cast<size_t>(row) * image.width + column) * 3;
  image.bytes[at + 0] = toByte(c.r, lowest);
  image.bytes[at + 1] = toByte(c.g, lowest);
  image.bytes[at + 2] = toByte(c.b, lowest);
}

// Writes the bytes to the file as they are; says on stderr when it cannot.
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

// ---------------------------------------------------------------------------------------------
// Ground: grass with bare patches of earth, seen from above. The terrain repeats this tile many
// times over the hills, so every layer is tile noise.

Color groundTexel(double u, double v) {
  const Color darkGrass{50, 84, 34};
  const Color lightGrass{100, 138, 54};
  const Color dryGrass{138, 134, 66};
  const Color dampEarth{88, 62, 40};
  const Color dryEarth{134, 100, 64};

  double patches = tileNoise(u, v, 4, 5, kSeedGroundPatches);
  double tone = tileNoise(u, v, 8, 3, kSeedGroundTone);
  double grain = tileNoise(u, v, 128, 2, kSeedGroundGrain);
  double earthTone = tileNoise(u, v, 16, 3, kSeedGroundEarth);

  Color grass = mixColor(darkGrass, lightGrass, smoothStep(0.3, 0.7, tone));
  grass = scaleColor(grass, 0.75 + 0.5 * grain);

  Color earth = mixColor(dampEarth, dryEarth, smoothStep(0.35, 0.65, earthTone));
  earth = scaleColor(earth, 0.8 + 0.4 * grain);

  // Grass thins out toward the earth: a ring of dry, sparse grass around every patch.
  double bare = smoothStep(0.58, 0.66, patches + 0.12 * (grain - 0.5));
  double dry = smoothStep(0.50, 0.60, patches) * (1.0 - bare);
  Color ground = mixColor(grass, dryGrass, 0.6 * dry);
  return mixColor(ground, earth, bare);
}

// A square image whose every pixel is texel(u, v) at its top-left corner, in 0..1.
Image paintImage(int size, Color (*texel)(double u, double v)) {
  Image image = makeImage(size, size);
  for (int row = 0; row < image.height; ++row) {
    for (int column = 0; column < image.width; ++column) {
      double u = static_cast<double>(column) / image.width;
      double v = static_cast<double>(row) / image.height;
      setPixel(image, column, row, texel(u, v), 0);
    }
  }
  return image;
}

Image makeGround() {
  return paintImage(kGroundSize, groundTexel);
}

// ---------------------------------------------------------------------------------------------
// Clouds: white heaps on a blue sky, lit from one side so they look rounded.

Color cloudTexel(double u, double v) {
  const Color skyDeep{62, 116, 196};
  const Color skyPale{112, 160, 222};
  const Color cloudShade{176, 186, 204};
  const Color cloudLit{252, 252, 252};
  const double lightStep = 3.0 / kCloudSize;  // how far toward the light the shading looks

  double cover = tileNoise(u, v, 6, 5, kSeedCloud);
  double towardLight = tileNoise(u - lightStep, v - lightStep, 6, 5, kSeedCloud);
  double haze = tileNoise(u, v, 2, 2, kSeedSky);

  Color sky = mixColor(skyDeep, skyPale, haze);
  double density = smoothStep(0.45, 0.65, cover);
  double lit = clamp01(0.6 + 8.0 * (towardLight - cover));
  Color cloud = mixColor(cloudShade, cloudLit, lit);
  return mixColor(sky, cloud, density);
}

Image makeClouds() {
  return paintImage(kCloudSize, cloudTexel);
}

// ---------------------------------------------------------------------------------------------
// Water: a height field of wave trains and noise, shaded by its slope. A wave train has a whole
// number of crests across the tile in each direction, so the tile stays seamless.

struct WaveTrain {
  int crestsU;       // crests across the tile along u
  int crestsV;       // crests across the tile along v
  double amplitude;  // relative height
  double phase;      // turns
};

struct WaterLook {
  const WaveTrain* waves;  // wave trains summed into the surface
  int waveCount;           // entries in `waves`
  double warp;             // how far noise bends the crests, in turns
  double chop;             // weight of fine noise ripples on top of the waves
  double slopeGain;        // how strongly a slope turns a face light or dark
  double glint;            // strength of sun glints on the faces turned most to the light
  Color deep;              // colour of the faces turned away from the light
  Color shallow;           // colour of the faces turned toward it
  Color tint;              // colour of the patches where the water looks greener
};

double waterHeight(const WaterLook& look, double u, double v) {
  double bend = look.warp * (tileNoise(u, v, 4, 3, kSeedWater) - 0.5);
  double height = 0.0;
  for (int i = 0; i < look.waveCount; ++i) {
    const WaveTrain& w = look.waves[i];
    height += w.amplitude * turnSine(w.crestsU * u + w.crestsV * v + w.phase + bend);
  }
  // Wind gusts: some stretches of water are rougher than others.
  double roughness = 0.5 + tileNoise(u, v, 3, 2, kSeedWater + 3);
  height *= roughness;
  height += look.chop * (tileNoise(u, v, 32, 3, kSeedWater + 7) - 0.5);
  return height;
}

Color waterTexel(const WaterLook& look, double u, double v, double pixel) {
  double du = waterHeight(look, u + pixel, v) - waterHeight(look, u - pixel, v);
  double dv = waterHeight(look, u, v + pixel) - waterHeight(look, u, v - pixel);
  // Light comes from up the image and a little to the left: faces tilted toward it are lit.
  double facing = clamp01(0.5 - look.slopeGain * (0.4 * du + 0.9 * dv));
  double greenish = smoothStep(0.35, 0.75, tileNoise(u, v, 2, 3, kSeedWater + 5));
  Color deep = mixColor(look.deep, look.tint, 0.5 * greenish);
  Color water = mixColor(deep, look.shallow, facing);
  double glint = look.glint * smoothStep(0.85, 1.0, facing);
  return mixColor(water, Color{222, 240, 244}, glint);
}

Image makeWater(const WaterLook& look) {
  Image image = makeImage(kWaterSize, kWaterSize);
  double pixel = 1.0 / kWaterSize;
  for (int row = 0; row < image.height; ++row) {
    for (int column = 0; column < image.width; ++column) {
      double u = column * pixel;
      double v = row * pixel;
      setPixel(image, column, row, waterTexel(look, u, v, pixel), 0);
    }
  }
  return image;
}

// The unused water: a calm sea of long, even swells.
const WaveTrain kCalmWaves[] = {
    {0, 9, 1.0, 0.0},
    {3, 14, 0.5, 0.3},
    {-5, 11, 0.35, 0.7},
};

// The water round the land: crossing wave trains, bent by noise, with glints.
const WaveTrain kLivelyWaves[] = {
    {2, 18, 1.0, 0.0},   {-7, 23, 0.6, 0.25}, {11, 29, 0.45, 0.6},
    {-17, 37, 0.3, 0.1}, {23, 41, 0.2, 0.8},  {-31, 53, 0.15, 0.45},
};

// The unused water: a calm sea of long, even swells without glints.
// Fields as WaterLook lists them: waves, their count, warp, chop, slope gain, glint, then the
// deep, shallow and tint colours.
const WaterLook kCalmWater = {kCalmWaves,    sizeof(kCalmWaves) / sizeof(kCalmWaves[0]),
                              0.6,           0.25,
                              1.6,           0.0,
                              {30, 84, 118}, {66, 130, 156},
                              {30, 96, 104}};

// The water round the land: crossing, bent wave trains that catch the sun.
const WaterLook kLivelyWater = {kLivelyWaves, sizeof(kLivelyWaves) / sizeof(kLivelyWaves[0]),
                                1.2,          0.5,
                                0.6,          0.6,
                                {18, 64, 92}, {62, 142, 156},
                                {22, 88, 84}};

// ---------------------------------------------------------------------------------------------
// Bird skin. The feathers are painted in the model's own space: every pixel inside a triangle of
// the bird's texture layout is mapped back to the model point it covers, so the streaks on both
// wings run from the leading edge to the trailing edge however the wing lies in the image.

enum class BirdPart { Wing, Tail, Back };

using SkinVertex = BirdVertex;

struct SkinTriangle {
  BirdPart part;         // how the triangle is coloured
  SkinVertex corner[3];  // as the bird model sends them
};

// The bird model's triangles with their texture coordinates. The three beak triangles are left
// out: they take the image's corners (0, 0), (1, 0), (1, 1), so the beak shows the whole lower
// right half of the image, which the background paints horn-coloured.
std::vector<SkinTriangle> skinTriangles() {
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

const std::vector<SkinTriangle> kSkinTriangles = skinTriangles();  // 27

// Where a pixel of the skin lands on the model.
struct SkinPoint {
  BirdPart part;  // which part of the bird
  double x;       // model position along the wings
  double z;       // model position toward the beak
};

// Distance in texture units from (u, v) to the nearest point of a triangle, and the model point
// there; 0 inside the triangle.
double nearestSkinPoint(const SkinTriangle& t, double u, double v, double& x, double& z) {
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
bool findSkinPoint(double u, double v, SkinPoint& point) {
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
double wingFrontZ(double span) {
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
double wingBackZ(double span) {
  if (span < 2.0) {
    return lerp(-1.3, -0.8, clamp01((span - 0.5) / 1.5));
  }
  if (span < 3.5) {
    return lerp(-0.8, 0.1, (span - 2.0) / 1.5);
  }
  return lerp(0.1, 0.0, clamp01((span - 3.5) / 3.0));
}

// Dark line between two neighbouring feathers: 1 on the line, 0 between lines.
double featherLine(double across, double spacing) {
  double f = across / spacing - std::floor(across / spacing);
  return 1.0 - smoothStep(0.0, 0.18, f) * smoothStep(1.0, 0.82, f);
}

// Small covert feathers lie in overlapping rows like roof tiles: each has a dark centre and a
// pale fringe at its back end. 0 on the pale fringe, 1 on the dark centre.
double covertPattern(double span, double chord) {
  const double rows = 7.0;     // rows of coverts from the front edge back
  const double perUnit = 3.2;  // coverts per model unit along the wing
  double row = std::floor(chord * rows);
  double along = span * perUnit + 0.5 * row;  // each row is offset by half a feather
  double fa = along - std::floor(along);
  double fb = chord * rows - row;
  double centre = 1.0 - smoothStep(0.1, 0.3, std::fabs(fa - 0.5));
  return centre * smoothStep(0.0, 0.35, fb);
}

Color wingColor(double x, double z, double mottle) {
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

Color tailColor(double x, double z, double mottle) {
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

Color backColor(double x, double z, double mottle) {
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

// ---------------------------------------------------------------------------------------------
// Trees: cut-outs on pure black, which turns transparent. Coordinates here are in pixels with
// `height` counted up from the bottom row, where the trunk stands on the ground.

// The shapes below are laid out in pixels of a 128-pixel cut-out.
static_assert(kTreeSize == 128, "the tree shapes are drawn for 128 x 128 pixels");
constexpr int kTreeMiddle = kTreeSize / 2;  // column of the trunk's centre

// Noise for the trees; they are not tiled, so any period larger than the image will do.
double treeNoise(double column, double height, double cellSize, uint32_t seed) {
  return valueNoise(column / cellSize, height / cellSize, 1024, seed);
}

// Bark: brown with vertical grooves, darker on the shaded right side.
Color barkColor(double column, double height, double halfWidth) {
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

// ---------------------------------------------------------------------------------------------
// Icon: the bird seen from above, wearing its own skin, on a round patch of sky. Desktop menus
// show it beside the program's name; the program itself never reads it. It is a PNG made of
// stored (uncompressed) deflate blocks, which every PNG reader accepts and which needs no
// compression library.

constexpr int kIconSize = 64;          // pixels across and down; installed as the 64x64 icon
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
Color skinTexel(const Image& skin, double u, double v) {
  int column = std::clamp(static_cast<int>(u * skin.width), 0, skin.width - 1);
  int row = std::clamp(static_cast<int>((1.0 - v) * skin.height), 0, skin.height - 1);
  size_t at = (static_cast<size_t>(row) * skin.width + column) * 3;
  return Color{static_cast<double>(skin.bytes[at]), static_cast<double>(skin.bytes[at + 1]),
               static_cast<double>(skin.bytes[at + 2])};
}

// The colour of the bird's uppermost surface above the model point (x, z); false where no part
// of the bird is.
bool birdFromAbove(const Image& skin, double x, double z, Color& c) {
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
IconSample iconSample(const Image& skin, double px, double py) {
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

// The CRC-32 that PNG puts after every chunk, over bytes [from, end) of `bytes`.
uint32_t pngCrc(const std::vector<unsigned char>& bytes, size_t from) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = from; i < bytes.size(); ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1u) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
  }
  return crc ^ 0xFFFFFFFFu;
}

void appendBigEndian(std::vector<unsigned char>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    out.push_back(static_cast<unsigned char>(value >> shift));
  }
}

void appendChunk(std::vector<unsigned char>& out, const char* type,
                 const std::vector<unsigned char>& data) {
  appendBigEndian(out, static_cast<uint32_t>(data.size()));
  size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  appendBigEndian(out, pngCrc(out, start));
}

// A zlib stream that stores `raw` in deflate blocks of at most 65535 bytes, without compressing.
std::vector<unsigned char> zlibStored(const std::vector<unsigned char>& raw) {
  const size_t blockLimit = 65535;
  std::vector<unsigned char> out = {0x78, 0x01};
  size_t at = 0;
  do {
    size_t length = std::min(blockLimit, raw.size() - at);
    bool last = at + length == raw.size();
    out.push_back(last ? 1 : 0);
    out.push_back(static_cast<unsigned char>(length & 0xFF));
    out.push_back(static_cast<unsigned char>(length >> 8));
    out.push_back(static_cast<unsigned char>(~length & 0xFF));
    out.push_back(static_cast<unsigned char>((~length >> 8) & 0xFF));
    out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
               raw.begin() + static_cast<std::ptrdiff_t>(at + length));
    at += length;
  } while (at < raw.size());
  uint32_t a = 1;
  uint32_t b = 0;
  for (unsigned char byte : raw) {
    a = (a + byte) % 65521u;
    b = (b + a) % 65521u;
  }
  appendBigEndian(out, (b << 16) | a);
  return out;
}

// The PNG file of an RGBA image, top row first.
std::vector<unsigned char> encodePng(const std::vector<unsigned char>& rgba, int width,
                                     int height) {
  // Every scanline starts with filter type 0: the bytes are stored as they are.
  std::vector<unsigned char> raw;
  size_t rowBytes = static_cast<size_t>(width) * 4;
  for (int row = 0; row < height; ++row) {
    raw.push_back(0);
    auto start = rgba.begin() + static_cast<std::ptrdiff_t>(row * rowBytes);
    raw.insert(raw.end(), start, start + static_cast<std::ptrdiff_t>(rowBytes));
  }
  std::vector<unsigned char> header;
  appendBigEndian(header, static_cast<uint32_t>(width));
  appendBigEndian(header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits a channel, RGBA, no interlace

  std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  appendChunk(png, "IHDR", header);
  appendChunk(png, "IDAT", zlibStored(raw));
  appendChunk(png, "IEND", {});
  return png;
}

// The painter of each slot of the texture set.
Image paintTexture(int slot) {
  switch (slot) {
    case TextureSlot::Ground:
      return makeGround();
    case TextureSlot::Cloud:
      return makeClouds();
    case TextureSlot::Bird:
      return makeBirdSkin();
    case TextureSlot::Water0:
      return makeWater(kCalmWater);
    case TextureSlot::Water1:
      return makeWater(kLivelyWater);
    case TextureSlot::Tree0:
      return makeRoundTree();
    default:
      return makeConifer();  // TextureSlot::Tree0 + 1
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--icon") {
    return writeFile(encodePng(makeIcon(), kIconSize, kIconSize), argv[2]) ? 0 : 1;
  }
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_textures <outdir>\n       make_textures --icon <file.png>\n");
    return 1;
  }
  std::filesystem::path outdir = argv[1];
  std::error_code error;
  std::filesystem::create_directories(outdir, error);

  // Every file of the texture set, under the name the program reads it by.
  bool ok = true;
  for (const TextureFile& file : kTextureSet) {
    std::filesystem::path name = std::filesystem::path(file.path).filename();
    ok = writeFile(paintTexture(file.slot).bytes, outdir / name) && ok;
  }
  return ok ? 0 : 1;
}

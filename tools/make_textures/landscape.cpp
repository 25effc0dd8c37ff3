// The landscape's images: the ground under the hills, the clouds, and the two waters.
#include <cmath>

#include "tools/make_textures/noise.h"
#include "tools/make_textures/painters.h"

constexpr int kGroundSize = imageSize(TextureSlot::Ground);  // the ground image
constexpr int kCloudSize = imageSize(TextureSlot::Cloud);    // the cloud image
constexpr int kWaterSize = imageSize(TextureSlot::Water1);   // both water images
static_assert(imageSize(TextureSlot::Water0) == kWaterSize, "both waters are painted alike");

// Ground: grass with bare patches of earth, seen from above. The terrain repeats this tile many
// times over the hills, so every layer is tile noise.

static Color groundTexel(double u, double v) {
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
static Image paintImage(int size, Color (*texel)(double u, double v)) {
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

// Clouds: white heaps on a blue sky, lit from one side so they look rounded.

static Color cloudTexel(double u, double v) {
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

static double waterHeight(const WaterLook& look, double u, double v) {
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

static Color waterTexel(const WaterLook& look, double u, double v, double pixel) {
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

static Image makeWater(const WaterLook& look) {
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

Image makeCalmWater() {
  return makeWater(kCalmWater);
}

Image makeLivelyWater() {
  return makeWater(kLivelyWater);
}

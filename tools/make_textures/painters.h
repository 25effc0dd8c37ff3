// The painters of the texture set's seven images, one function an image, each painting at the
// size the texture set gives its slot; and the bird skin's layout, which the icon paints again
// as seen from above.
#ifndef AVIFOLD_TOOLS_MAKE_TEXTURES_PAINTERS_H
#define AVIFOLD_TOOLS_MAKE_TEXTURES_PAINTERS_H

#include <vector>

#include "render/bird_mesh.h"
#include "render/texture_set.h"
#include "tools/make_textures/image.h"

// The side of a slot's image in pixels, as the texture set gives it.
constexpr int imageSize(int slot) {
  for (const TextureFile& file : kTextureSet) {
    if (file.slot == slot) {
      return file.size;
    }
  }
  return 0;
}

Image makeGround();       // grass with bare patches of earth, seen from above
Image makeClouds();       // white heaps on a blue sky
Image makeCalmWater();    // the unused water: long, even swells
Image makeLivelyWater();  // the water round the land: crossing waves that catch the sun
Image makeBirdSkin();     // feathers laid out to fit the bird model's texture coordinates
Image makeRoundTree();    // a broad-leaved tree cut out on black
Image makeConifer();      // a conifer cut out on black

enum class BirdPart { Wing, Tail, Back };

using SkinVertex = BirdVertex;

struct SkinTriangle {
  BirdPart part;         // how the triangle is coloured
  SkinVertex corner[3];  // as the bird model sends them
};

// The bird model's triangles with their texture coordinates, all but the beak's: 27.
extern const std::vector<SkinTriangle> kSkinTriangles;

// The skin's colour at (u, v) outside every triangle, mottled by mottle in 0..1; the icon
// paints the beak with it.
Color skinBackground(double u, double v, double mottle);

#endif

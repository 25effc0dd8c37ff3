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
// seeds (noise.h), and the arithmetic is what image.h says rounds the same way everywhere.
//
// The painters live one file a kind: landscape.cpp (ground, clouds, water), skin.cpp (the bird),
// trees.cpp, and icon.cpp with its file format in png.cpp.
#include <cstdio>
#include <filesystem>
#include <string>

#include "tools/make_textures/icon.h"
#include "tools/make_textures/painters.h"
#include "tools/make_textures/png.h"

// Which painter paints the image of each slot of the texture set, one row a slot.
struct SlotPainter {
  int slot;          // a TextureSlot
  Image (*paint)();  // paints that slot's image at the size the texture set gives it
};
const SlotPainter kPainters[kTextureFiles] = {
    {TextureSlot::Ground, makeGround},      {TextureSlot::Cloud, makeClouds},
    {TextureSlot::Bird, makeBirdSkin},      {TextureSlot::Water0, makeCalmWater},
    {TextureSlot::Water1, makeLivelyWater}, {TextureSlot::Tree0, makeRoundTree},
    {TextureSlot::Tree0 + 1, makeConifer},
};

// The image of one slot of the texture set; an empty one for a slot without a painter.
static Image paintTexture(int slot) {
  for (const SlotPainter& painter : kPainters) {
    if (painter.slot == slot) {
      return painter.paint();
    }
  }
  return makeImage(0, 0);
}

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
    Image image = paintTexture(file.slot);
    if (image.width != file.size) {
      std::fprintf(stderr, "make_textures: nothing paints %s\n", file.path);
      ok = false;
      continue;
    }
    std::filesystem::path name = std::filesystem::path(file.path).filename();
    ok = writeFile(image.bytes, outdir / name) && ok;
  }
  return ok ? 0 : 1;
}

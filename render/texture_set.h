// The texture set: the seven raw images the Renderer loads, one row per file, with the
// field each one goes to and its size.
//
// Plain data, no GL: the Renderer loads the set in its order, and the image generator in
// tools/ paints each file at the size given here, so a file and the size it is read at
// are written down once.
#ifndef AVIFOLD_RENDER_TEXTURE_SET_H
#define AVIFOLD_RENDER_TEXTURE_SET_H

#include "terrain/terrain.h"

// Where the Renderer keeps each of its textures. Slots below kSceneTextures are entries of
// Renderer::textures, which the tree pass indexes with a tree site's texture index.
struct TextureSlot {
  enum {
    Tree0 = 0,                   // the trees: slots 0 .. kTreeTextures - 1
    Water0 = kTreeTextures,      // loaded, not drawn
    Water1 = kTreeTextures + 1,  // the water surface
    Ground = kTreeTextures + 2,  // groundTexture: the terrain list
    Cloud = kTreeTextures + 3,   // cloudTexture: loaded, not drawn
    Bird = kTreeTextures + 4,    // birdTexture: the bird list
  };
};
const int kSceneTextures = TextureSlot::Water1 + 1;  // entries of Renderer::textures
const int kTextureFiles = TextureSlot::Bird + 1;     // textures in all

// One row of the texture set: where the Renderer keeps the texture, its file and size.
struct TextureFile {
  int slot;          // a TextureSlot
  const char* path;  // relative to the working directory
  int size;          // width and height in pixels
};

// In the order the Renderer loads them, which is also the order of any missing-file
// messages. What each texture is drawn by is in its row's comment.
inline constexpr TextureFile kTextureSet[kTextureFiles] = {
    {TextureSlot::Ground, "data/ground512.raw", 512},  // the terrain list
    {TextureSlot::Cloud, "data/cloud0.raw", 256},      // nothing
    {TextureSlot::Bird, "data/good1.raw", 512},        // the bird list
    {TextureSlot::Water0, "data/water0.raw", 512},     // nothing
    {TextureSlot::Water1, "data/water1.raw", 512},     // the water
    {TextureSlot::Tree0, "data/tree0.raw", 128},       // trees of texture index 0
    {TextureSlot::Tree0 + 1, "data/tree1.raw", 128},   // trees of texture index 1
};

#endif

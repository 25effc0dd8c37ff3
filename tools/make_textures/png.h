// The icon's file format: a PNG written without a compression library.
#ifndef AVIFOLD_TOOLS_MAKE_TEXTURES_PNG_H
#define AVIFOLD_TOOLS_MAKE_TEXTURES_PNG_H

#include <vector>

// The PNG file of an RGBA image of width x height pixels, 8 bits a channel, top row first.
std::vector<unsigned char> encodePng(const std::vector<unsigned char>& rgba, int width, int height);

#endif

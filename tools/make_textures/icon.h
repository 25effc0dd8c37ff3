// The desktop icon: the bird seen from above, wearing its own skin, on a round patch of sky.
#ifndef AVIFOLD_TOOLS_MAKE_TEXTURES_ICON_H
#define AVIFOLD_TOOLS_MAKE_TEXTURES_ICON_H

#include <vector>

constexpr int kIconSize = 64;  // pixels across and down; installed as the 64x64 icon

// The icon as RGBA bytes, top row first, kIconSize x kIconSize pixels.
std::vector<unsigned char> makeIcon();

#endif

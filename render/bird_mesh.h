// The bird model: 30 triangles, one row per vertex in the order the vertices are sent.
//
// render/birds.cpp compiles it into the bird display list; tools/make_textures/skin.cpp
// paints the bird skin so that its feathers fit these texture coordinates. Model space:
// the nose points along +z, the wings lie along x and up is +y, at scale 1. Plain data,
// no GL: the values are doubles so that the image tool reads them exactly as written;
// GL receives each as the nearest float.
#ifndef AVIFOLD_RENDER_BIRD_MESH_H
#define AVIFOLD_RENDER_BIRD_MESH_H

// One vertex: texture coordinate (u, v) in the bird skin, then the model position.
struct BirdVertex {
  double u;  // across the skin, 0..1
  double v;  // up the skin, 0..1 (0 is the image's bottom row)
  double x;  // along the wings, -6.5..6.5
  double y;  // up, -0.5..1.5
  double z;  // toward the beak, -3..2
};

const int kBirdVertices = 90;
const int kBirdTriangles = kBirdVertices / 3;

// The parts, by triangle number from 0: the +x wing and shoulder come first, then the
// tail, the beak (which takes the skin's corners), the back, and the -x shoulder and wing
// up to the last triangle.
const int kBirdTailFirst = 10;
const int kBirdBeakFirst = 13;
const int kBirdBackFirst = 16;
const int kBirdOtherWingFirst = 20;

// Some positions carry different texture coordinates in different triangles; each row
// keeps its own.
const BirdVertex kBirdMesh[kBirdVertices] = {
    {0.662, 0.211, 5.0, 1.5, 0.0},    // 1, triangle 1
    {0.733, 0.243, 6.0, 1.5, 0.5},    // 2, triangle 1
    {0.778, 0.207, 6.5, 1.5, 0.0},    // 3, triangle 1
    {0.662, 0.211, 5.0, 1.5, 0.0},    // 4, triangle 2
    {0.694, 0.278, 5.3, 1.5, 1.0},    // 5, triangle 2
    {0.733, 0.243, 6.0, 1.5, 0.5},    // 6, triangle 2
    {0.662, 0.211, 5.0, 1.5, 0.0},    // 7, triangle 3
    {0.533, 0.252, 3.5, 1.2, 0.1},    // 8, triangle 3
    {0.694, 0.278, 5.3, 1.5, 1.0},    // 9, triangle 3
    {0.645, 0.325, 3.7, 1.5, 1.8},    // 10, triangle 4
    {0.533, 0.252, 3.5, 1.2, 0.1},    // 11, triangle 4
    {0.694, 0.278, 5.3, 1.5, 1.0},    // 12, triangle 4
    {0.645, 0.325, 3.7, 1.5, 1.8},    // 13, triangle 5
    {0.627, 0.325, 3.2, 1.5, 1.8},    // 14, triangle 5
    {0.533, 0.252, 3.5, 1.2, 0.1},    // 15, triangle 5
    {0.596, 0.345, 2.0, 1.2, 1.3},    // 16, triangle 6
    {0.533, 0.252, 3.5, 1.2, 0.1},    // 17, triangle 6
    {0.627, 0.325, 3.2, 1.5, 1.8},    // 18, triangle 6
    {0.596, 0.345, 2.0, 1.2, 1.3},    // 19, triangle 7
    {0.533, 0.252, 3.5, 1.2, 0.1},    // 20, triangle 7
    {0.462, 0.298, 2.0, 0.9, -0.8},   // 21, triangle 7
    {0.596, 0.345, 2.0, 1.2, 1.3},    // 22, triangle 8
    {0.556, 0.368, 1.0, 0.8, 1.0},    // 23, triangle 8
    {0.462, 0.298, 2.0, 0.9, -0.8},   // 24, triangle 8
    {0.384, 0.352, 0.5, 0.5, -1.3},   // 25, triangle 9
    {0.556, 0.368, 1.0, 0.8, 1.0},    // 26, triangle 9
    {0.462, 0.298, 2.0, 0.9, -0.8},   // 27, triangle 9
    {0.384, 0.352, 0.5, 0.5, -1.3},   // 28, triangle 10
    {0.556, 0.368, 1.0, 0.8, 1.0},    // 29, triangle 10
    {0.521, 0.384, 0.5, 0.6, 1.0},    // 30, triangle 10
    {0.34, 0.36, 0.5, 0.5, -1.0},     // 31, triangle 11
    {0.188, 0.329, 0.0, -0.5, -3.0},  // 32, triangle 11
    {0.333, 0.262, 1.7, -0.5, -2.1},  // 33, triangle 11
    {0.286, 0.423, -0.5, 0.5, -1.0},  // 34, triangle 12
    {0.188, 0.329, 0.0, -0.5, -3.0},  // 35, triangle 12
    {0.34, 0.36, 0.5, 0.5, -1.0},     // 36, triangle 12
    {0.196, 0.46, -1.7, -0.5, -2.1},  // 37, triangle 13
    {0.188, 0.329, 0.0, -0.5, -3.0},  // 38, triangle 13
    {0.286, 0.423, -0.5, 0.5, -1.0},  // 39, triangle 13
    {0.0, 0.0, 0.3, 0.6, 1.0},        // 40, triangle 14
    {1.0, 0.0, 0.2, 0.5, 1.7},        // 41, triangle 14
    {1.0, 1.0, 0.0, 0.5, 1.8},        // 42, triangle 14
    {0.0, 0.0, -0.3, 0.6, 1.0},       // 43, triangle 15
    {1.0, 0.0, -0.2, 0.5, 1.7},       // 44, triangle 15
    {1.0, 1.0, 0.0, 0.5, 1.8},        // 45, triangle 15
    {0.0, 0.0, 0.3, 0.6, 1.0},        // 46, triangle 16
    {1.0, 0.0, -0.3, 0.6, 1.0},       // 47, triangle 16
    {1.0, 1.0, 0.0, 0.5, 2.0},        // 48, triangle 16
    {0.411, 0.415, 0.0, 0.7, 0.0},    // 49, triangle 17
    {0.521, 0.384, 0.5, 0.6, 1.0},    // 50, triangle 17
    {0.384, 0.352, 0.5, 0.5, -1.0},   // 51, triangle 17
    {0.411, 0.415, 0.0, 0.7, 0.0},    // 52, triangle 18
    {0.3, 0.456, -0.5, 0.5, -1.3},    // 53, triangle 18
    {0.384, 0.352, 0.5, 0.5, -1.0},   // 54, triangle 18
    {0.411, 0.415, 0.0, 0.7, 0.0},    // 55, triangle 19
    {0.435, 0.488, 0.5, 0.6, 1.0},    // 56, triangle 19
    {0.521, 0.384, -0.5, 0.6, 1.0},   // 57, triangle 19
    {0.411, 0.415, 0.0, 0.7, 0.0},    // 58, triangle 20
    {0.435, 0.488, -0.5, 0.6, 1.0},   // 59, triangle 20
    {0.3, 0.456, -0.5, 0.5, -1.3},    // 60, triangle 20
    {0.3, 0.456, -0.5, 0.5, -1.3},    // 61, triangle 21
    {0.407, 0.567, -1.0, 0.8, 1.0},   // 62, triangle 21
    {0.435, 0.488, -0.5, 0.6, 1.0},   // 63, triangle 21
    {0.3, 0.456, -0.5, 0.5, -1.3},    // 64, triangle 22
    {0.407, 0.576, -1.0, 0.8, 1.0},   // 65, triangle 22
    {0.243, 0.607, -2.0, 0.9, -0.8},  // 66, triangle 22
    {0.392, 0.647, -2.0, 1.2, 1.3},   // 67, triangle 23
    {0.407, 0.576, -1.0, 0.8, 1.0},   // 68, triangle 23
    {0.243, 0.607, -2.0, 0.9, -0.8},  // 69, triangle 23
    {0.392, 0.647, -2.0, 1.2, 1.3},   // 70, triangle 24
    {0.235, 0.678, -3.5, 1.2, 0.1},   // 71, triangle 24
    {0.243, 0.607, -2.0, 0.9, -0.8},  // 72, triangle 24
    {0.392, 0.647, -2.0, 1.2, 1.3},   // 73, triangle 25
    {0.235, 0.678, -3.5, 1.2, 0.1},   // 74, triangle 25
    {0.37, 0.69, -3.2, 1.5, 1.8},     // 75, triangle 25
    {0.329, 0.741, -3.7, 1.5, 1.8},   // 76, triangle 26
    {0.235, 0.678, -3.5, 1.2, 0.1},   // 77, triangle 26
    {0.37, 0.69, -3.2, 1.5, 1.8},     // 78, triangle 26
    {0.329, 0.741, -3.7, 1.5, 1.8},   // 79, triangle 27
    {0.235, 0.678, -3.5, 1.2, 0.1},   // 80, triangle 27
    {0.282, 0.819, -5.3, 1.5, 1.0},   // 81, triangle 27
    {0.2, 0.827, -5.0, 1.5, 0.0},     // 82, triangle 28
    {0.235, 0.678, -3.5, 1.2, 0.1},   // 83, triangle 28
    {0.282, 0.819, -5.3, 1.5, 1.0},   // 84, triangle 28
    {0.2, 0.827, -5.0, 1.5, 0.0},     // 85, triangle 29
    {0.239, 0.9, -6.0, 1.5, 0.5},     // 86, triangle 29
    {0.282, 0.819, -5.3, 1.5, 1.0},   // 87, triangle 29
    {0.2, 0.827, -5.0, 1.5, 0.0},     // 88, triangle 30
    {0.239, 0.9, -6.0, 1.5, 0.5},     // 89, triangle 30
    {0.2, 0.958, -6.5, 1.5, 0.0},     // 90, triangle 30
};

#endif

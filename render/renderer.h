// The one Renderer: display switches, the scene's seven textures, its two display
// lists, and the World it draws.
//
// init() puts a fresh GL context into the program's fixed state, loads the textures
// and compiles the lists; it runs again for every new context (window or full screen).
// drawFrame() draws one whole frame from the World's current state: camera, terrain,
// water, trees, birds with their shadows, and the frame-rate read-out. Frames never
// clear the depth buffer: each uses the half of the depth range the previous one did
// not, and its depths pass against everything the previous frame wrote.
#ifndef AVIFOLD_RENDER_RENDERER_H
#define AVIFOLD_RENDER_RENDERER_H

#include "render/texture.h"
#include "render/texture_set.h"
#include "sim/world.h"

class Renderer {
 public:
  int fogEnabled;            // 1: fog, grey sky, far plane 300; 0: blue sky, far plane 1000. Menu
  int texturesEnabled;       // 1: the compiled lists texture the terrain and birds; fixed
  int doubleBuffered;        // 1: double-buffered display, swapped each frame; fixed
  int treesEnabled;          // 1: draw the tree quads; fixed
  int frameRateEnabled;      // 1: draw the red frame-rate read-out. Menu
  int shadowsEnabled;        // 1: draw the birds' shadows. Menu
  float cellSize;            // world units between terrain samples: 20
  int depthPhase;            // 1: the next frame uses depths 0..0.5, 0: 1..0.5; init() sets 1
  Texture* groundTexture;    // drawn by the terrain list; owned
  World* world;              // the scene; not owned, set by setWorld()
  unsigned int terrainList;  // GL display list of the terrain mesh
  unsigned int birdList;     // GL display list of the bird model
  Texture* cloudTexture;     // loaded, not drawn; owned
  Texture* birdTexture;      // skin of the bird model; owned
  Texture* textures[kSceneTextures];  // tree 0, tree 1, water 0 (not drawn), water 1; owned

  Renderer();

  void setWorld(World* sceneWorld);
  // GL state, textures and display lists for the current (new) GL context.
  void init();
  // The texture field of a TextureSlot.
  Texture*& texture(int slot);
  // Frees every Texture and leaves its field null. Their GL objects are not touched:
  // they belong to the context that made them and die with it.
  void releaseTextures();
  void drawFrame();
  void drawFrameRate();

  // Landscape: the terrain list (recompiled when the hills change), water, trees.
  void buildTerrainList();
  void drawWater();
  void drawTrees();

  // Birds: the model list, and every bird with its shadow.
  void buildBirdList();
  void drawBirds();

  Renderer(const Renderer&) = delete;  // one Renderer for the whole run
  Renderer& operator=(const Renderer&) = delete;
};

// Where the fog has faded the scene wholly into the grey sky, in eye units. The fogged
// view's far plane lies there too: nothing past it would show.
const float kFogEnd = 300.0f;

// Sets the clear colour that goes with the fog switch: grey like the fog, or blue.
void applyClearColour(int fogEnabled);

// Debug builds: reports every pending GL error to stderr, naming where it was noticed.
// Release builds compile it away and make no GL call.
#ifdef NDEBUG
inline void checkGlErrors(const char*) {}
#else
void checkGlErrors(const char* label);
#endif

// Frame-rate read-out, one for the whole process: frames counted since the last latch,
// the number shown, the local-time seconds field at the last latch, its text.
extern int g_frameCount;
extern int g_shownFrameRate;
extern int g_lastSecond;
extern char g_frameRateText[16];

// Counts one read-out frame seen at the local-time seconds field second, latching the
// count whenever that field differs from the last latch's.
void countReadOutFrame(int second);

// The water's texture offset and the sign of its next change: one pair for the whole
// process, moved once per drawn frame.
extern float waterScroll;
extern float waterScrollDirection;

#endif

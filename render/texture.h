// One image from a headerless raw RGB file, uploaded as a mipmapped RGBA GL texture.
//
// Pure black pixels become fully transparent and every other pixel fully opaque, so
// the same files serve as colour-keyed cut-outs (the trees). The file's first row is
// the top of the image; the buffer holds the bottom row first, as GL expects. A file
// that ends early reads as white from there on, and so does a path with nothing to
// give at once (a directory, a FIFO without data): the reader never waits. A missing
// file prints "ERROR LOADING FILE!!!" and leaves the texture without a GL object
// (glName 0), which draws its geometry in plain colour; so does a buffer that cannot be
// allocated.
#ifndef AVIFOLD_RENDER_TEXTURE_H
#define AVIFOLD_RENDER_TEXTURE_H

#include <cstddef>

class Texture {
 public:
  char* path;             // copy of the file path, owned; null until prepare()
  unsigned int glName;    // GL texture object; 0 until a successful load()
  int width;              // pixels per row, as passed to load()
  int height;             // rows, as passed to load()
  unsigned char* pixels;  // RGBA, 4 bytes a pixel, bottom row first, owned; null until prepare()

  Texture();
  // Frees the path and pixel copies. The GL object belongs to its context and is
  // not touched: it dies with that context.
  ~Texture();

  // Bytes of the pixel buffer of a width x height image: one spare row and column.
  static size_t bufferBytes(int width, int height);

  // Reads the file and uploads it to the current GL context: prepare(), readPixels()
  // and upload(), in that order. False, with no GL object made and "ERROR LOADING
  // FILE!!!" on the console, when the buffer cannot be allocated or the file cannot be
  // opened.
  bool load(const char* path, int width, int height);
  // Allocates the pixel buffer (bufferBytes, unfilled) and keeps copies of the path and
  // the size; false, with pixels null, when the buffer cannot be allocated.
  bool prepare(const char* path, int width, int height);
  // Fills pixels from the file at path; false when the file cannot be opened.
  bool readPixels();
  // Makes the GL texture object from pixels, bound to GL_TEXTURE_2D, with every mipmap level.
  void upload();

  Texture(const Texture&) = delete;  // owns its buffers; never copied
  Texture& operator=(const Texture&) = delete;
};

#endif

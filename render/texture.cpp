// Raw RGB files to GL textures.
#include "render/texture.h"

#include <GL/gl.h>
#include <GL/glu.h>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstring>
#include <new>

const int kBytesPerPixel = 4;  // RGBA in the buffer
const unsigned char kOpaque = 255;

Texture::Texture() {
  path = nullptr;
  glName = 0;
  width = 0;
  height = 0;
  pixels = nullptr;
}

Texture::~Texture() {
  delete[] path;
  delete[] pixels;
}

size_t Texture::bufferBytes(int imageWidth, int imageHeight) {
  // One spare row and column, as the buffer has always been laid out; only the first
  // width x height pixels are written and uploaded.
  return static_cast<size_t>(imageWidth + 1) * static_cast<size_t>(imageHeight + 1) *
         kBytesPerPixel;
}

bool Texture::load(const char* filePath, int imageWidth, int imageHeight) {
  // No memory for the buffer (at start-up, or at a switch of surface, which loads every
  // image again) leaves the texture as bare as a missing file does. The one message of
  // the program, whatever the reason; no line break, so several run together on one line.
  if (!prepare(filePath, imageWidth, imageHeight) || !readPixels()) {
    printf("ERROR LOADING FILE!!!");
    return false;
  }
  upload();
  return true;
}

bool Texture::prepare(const char* filePath, int imageWidth, int imageHeight) {
  // A Texture prepared again drops what it held.
  delete[] pixels;
  delete[] path;
  path = nullptr;
  pixels = new (std::nothrow) unsigned char[bufferBytes(imageWidth, imageHeight)];
  if (pixels == nullptr) {
    return false;
  }
  size_t pathBytes = strlen(filePath) + 1;
  path = new char[pathBytes];
  memcpy(path, filePath, pathBytes);
  width = imageWidth;
  height = imageHeight;
  return true;
}

void Texture::upload() {
  glGenTextures(1, &glName);
  glBindTexture(GL_TEXTURE_2D, glName);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
}

// Opens the file for reading without ever waiting: a FIFO in place of an image would
// otherwise hold start-up until some writer comes, and a FIFO, device or directory
// reads only what it has at once. Null when the path cannot be opened.
static FILE* openRaw(const char* filePath) {
#ifdef _WIN32
  // Windows has no FIFOs among files: a plain open never waits there.
  return fopen(filePath, "rb");
#else
  int fd = open(filePath, O_RDONLY | O_NONBLOCK);
  if (fd < 0) {
    return nullptr;
  }
  FILE* file = fdopen(fd, "rb");
  if (file == nullptr) {
    close(fd);
  }
  return file;
#endif
}

// The next byte of the file; past its end fgetc's EOF (-1) keeps its low 8 bits, 255.
// Once fgetc has reported the end (or an error) it is not asked again: a directory
// fails every read, and would be asked three times a pixel.
static unsigned char nextByte(FILE* file, int* ended) {
  if (*ended) {
    return 0xFF;
  }
  int byte = fgetc(file);
  if (byte == EOF) {
    *ended = 1;
  }
  return static_cast<unsigned char>(byte & 0xFF);
}

bool Texture::readPixels() {
  FILE* file = openRaw(path);
  if (file == nullptr) {
    return false;
  }
  // The file runs from the top row down; the buffer from the bottom row up.
  int ended = 0;
  for (int row = 0; row < height; row++) {
    for (int column = 0; column < width; column++) {
      size_t offset =
          (static_cast<size_t>(height - 1 - row) * static_cast<size_t>(width) + column) *
          kBytesPerPixel;
      unsigned char* pixel = pixels + offset;
      pixel[0] = nextByte(file, &ended);
      pixel[1] = nextByte(file, &ended);
      pixel[2] = nextByte(file, &ended);
      int black = pixel[0] == 0 && pixel[1] == 0 && pixel[2] == 0;
      pixel[3] = black ? 0 : kOpaque;
    }
  }
  fclose(file);
  return true;
}

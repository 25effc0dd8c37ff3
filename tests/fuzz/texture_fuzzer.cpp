// Coverage-guided fuzzing of the raw texture reader (clang's libFuzzer). The first two
// input bytes pick the image size, 1 to 16 pixels each way; the rest is the file. Any
// access outside the pixel buffer stops the run through the sanitizers; a write into
// the spare bytes past the image, or an alpha that does not follow the colour, aborts.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "render/texture.h"

const int kLargestSide = 16;  // pixels; small images reach every length quickly

static unsigned char canary(size_t offset) {
  return static_cast<unsigned char>(0x5A ^ (offset * 13));
}

static const std::string& inputPath() {
  static const std::string path =
      "/tmp/avifold_texture_fuzzer_" + std::to_string(getpid()) + ".raw";
  return path;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) {
    return 0;
  }
  int width = data[0] % kLargestSide + 1;
  int height = data[1] % kLargestSide + 1;
  FILE* file = fopen(inputPath().c_str(), "wb");
  if (file == nullptr) {
    return 0;
  }
  fwrite(data + 2, 1, size - 2, file);
  fclose(file);

  Texture texture;
  if (!texture.prepare(inputPath().c_str(), width, height)) {
    abort();
  }
  size_t bytes = Texture::bufferBytes(width, height);
  for (size_t i = 0; i < bytes; i++) {
    texture.pixels[i] = canary(i);
  }
  if (!texture.readPixels()) {
    abort();
  }

  size_t imageBytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
  for (size_t i = imageBytes; i < bytes; i++) {
    if (texture.pixels[i] != canary(i)) {
      abort();
    }
  }
  for (size_t p = 0; p < imageBytes; p += 4) {
    const unsigned char* pixel = texture.pixels + p;
    int black = pixel[0] == 0 && pixel[1] == 0 && pixel[2] == 0;
    if (pixel[3] != (black ? 0 : 255)) {
      abort();
    }
  }
  return 0;
}

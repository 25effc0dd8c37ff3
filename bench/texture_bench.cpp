// Cost of reading one 512 x 512 raw image into a texture's pixel buffer, the step of
// start-up and of every full-screen switch that runs three fgetc calls a pixel.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "render/texture.h"

const int kSide = 512;  // as the ground, bird and water images

// A file of the size readPixels expects, with random colours, written once.
static std::string writeImageFile() {
  std::string path = "/tmp/avifold_texture_bench_" + std::to_string(getpid()) + ".raw";
  std::vector<unsigned char> bytes(static_cast<size_t>(kSide) * kSide * 3);
  std::mt19937 rng(1);
  for (unsigned char& b : bytes) {
    b = static_cast<unsigned char>(rng() % 256);
  }
  FILE* file = fopen(path.c_str(), "wb");
  if (file != nullptr) {
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
  }
  return path;
}

static void textureReadPixels(benchmark::State& state) {
  std::string path = writeImageFile();
  Texture texture;
  texture.path = new char[path.size() + 1];
  memcpy(texture.path, path.c_str(), path.size() + 1);
  texture.width = kSide;
  texture.height = kSide;
  // The buffer as Texture::load allocates it: one spare row and column.
  texture.pixels = new unsigned char[static_cast<size_t>(kSide + 1) * (kSide + 1) * 4];
  for (auto _ : state) {
    if (!texture.readPixels()) {
      state.SkipWithError("cannot open the image file");
      break;
    }
    benchmark::DoNotOptimize(texture.pixels);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kSide) * kSide * 3);
  remove(path.c_str());
}
BENCHMARK(textureReadPixels)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

// Cost of reading one 512 x 512 raw image into a texture's pixel buffer, the step of
// start-up and of every full-screen switch that runs three fgetc calls a pixel.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
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
  if (!texture.prepare(path.c_str(), kSide, kSide)) {
    state.SkipWithError("cannot allocate the pixel buffer");
    return;
  }
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

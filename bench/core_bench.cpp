// Costs of the simulation's two hot operations: one flock tick and one new landscape.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "sim/angles.h"
#include "sim/world.h"

static void worldStep(benchmark::State& state) {
  initAngleTables();
  srand(1);
  World world;
  for (auto _ : state) {
    world.step();
  }
}
BENCHMARK(worldStep);

static void terrainRegenerate(benchmark::State& state) {
  srand(1);
  Terrain terrain;
  terrain.flat = static_cast<int>(state.range(0));
  for (auto _ : state) {
    terrain.regenerate();
    benchmark::DoNotOptimize(terrain.heights);
  }
}
BENCHMARK(terrainRegenerate)->Arg(0)->Arg(1)->ArgName("flat");

BENCHMARK_MAIN();

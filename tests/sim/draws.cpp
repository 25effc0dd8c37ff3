// A 64-bit linear congruential generator whose upper bits give 0..RAND_MAX, as rand() does.
#include "tests/sim/draws.h"

#include <cstdint>
#include <cstdlib>

static uint64_t g_state = 1;
static int g_draws = 0;
static std::vector<int> g_script;
static int g_scriptFrom = 0;  // the draw that returns the script's first value

void srand(unsigned seed) noexcept {
  g_state = seed;
  g_draws = 0;
  scriptDraws({});
}

int rand() noexcept {
  int k = g_draws++ - g_scriptFrom;
  if (k >= 0 && k < static_cast<int>(g_script.size())) {
    return g_script[static_cast<size_t>(k)];
  }
  g_state = g_state * 6364136223846793005u + 1442695040888963407u;
  return static_cast<int>((g_state >> 33) & RAND_MAX);
}

int drawsSoFar() {
  return g_draws;
}

void scriptDraws(const std::vector<int>& values, int after) {
  g_script = values;
  g_scriptFrom = g_draws + after;
}

// A 64-bit linear congruential generator in place of the C library's; its upper bits
// give numbers in 0..RAND_MAX like rand()'s. Definitions in the test program take the
// place of the C library's for every object linked into it.
#include "tests/sim/draws.h"

#include <cstdint>
#include <cstdlib>

static uint64_t g_state = 1;
static int g_draws = 0;
static std::vector<int> g_script;
static size_t g_scriptNext = 0;

void srand(unsigned seed) noexcept {
  g_state = seed;
  g_draws = 0;
  g_script.clear();
  g_scriptNext = 0;
}

int rand() noexcept {
  g_draws++;
  if (g_scriptNext < g_script.size()) {
    return g_script[g_scriptNext++];
  }
  g_state = g_state * 6364136223846793005u + 1442695040888963407u;
  return static_cast<int>((g_state >> 33) & RAND_MAX);
}

int drawsSoFar() {
  return g_draws;
}

void scriptDraws(const std::vector<int>& values) {
  g_script = values;
  g_scriptNext = 0;
}

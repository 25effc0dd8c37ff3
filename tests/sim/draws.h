// The core tests' rand() and srand(): the test program defines its own, which take the
// C library's place for the simulation and the terrain too. A test counts the draws a
// step takes and scripts some of them, to put a bump, a bird or a goal where it wants.
#ifndef AVIFOLD_TESTS_SIM_DRAWS_H
#define AVIFOLD_TESTS_SIM_DRAWS_H

#include <vector>

int drawsSoFar();  // rand() calls since the last srand()
// After `after` more draws from the generator, rand() returns these values in order; the
// generator goes on after them.
void scriptDraws(const std::vector<int>& values, int after = 0);

#endif

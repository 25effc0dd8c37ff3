// The core tests' random generator. The test program defines rand() and srand() itself, so
// the simulation and the terrain draw from this generator: a test counts the draws a step
// takes, and scripts the next draws to put a bump, a bird or a goal where it wants, instead
// of repeating the expressions the code draws with.
#ifndef AVIFOLD_TESTS_SIM_DRAWS_H
#define AVIFOLD_TESTS_SIM_DRAWS_H

#include <vector>

// rand() calls since the last srand().
int drawsSoFar();

// The next rand() calls return these values in order; after them the generator goes on.
void scriptDraws(const std::vector<int>& values);

#endif

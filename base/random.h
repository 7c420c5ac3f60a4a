#pragma once
// The process-wide pseudo-random generator (a linear congruential generator
// shared by the opening book and the choice of work targets).
#include <cstdint>

void random_seed(uint32_t seed);
// Next value in 0..32767.
int random_next();

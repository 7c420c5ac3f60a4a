#include "base/random.h"

namespace {
uint32_t State = 1;
}

void random_seed(uint32_t seed) { State = seed; }

int random_next() {
  State = State * 214013u + 2531011u;
  return static_cast<int>((State >> 16) & 32767u);
}

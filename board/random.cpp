#include "board/random.h"

namespace {
uint32_t randomState = 1;
}

void gameSrand(uint32_t seed) { randomState = seed; }

int gameRand() {
  randomState = randomState * 214013u + 2531011u;
  return static_cast<int>((randomState >> 16) & 0x7FFFu);
}

int randomInt(int n) {
  const int r = gameRand();
  const int value = static_cast<int>(r / static_cast<double>(gameRandMax) * n);
  return value >= n ? n - 1 : value;
}

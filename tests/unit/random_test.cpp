#include "board/random.h"

#include <gtest/gtest.h>

TEST(Random, SeedingGivesTheClassicSequence) {
  gameSrand(1);
  // state = 1 * 214013 + 2531011 = 2745024 -> 2745024 >> 16 = 41
  EXPECT_EQ(gameRand(), 41);
  EXPECT_EQ(gameRand(), 18467);
  EXPECT_EQ(gameRand(), 6334);
  gameSrand(1);
  EXPECT_EQ(gameRand(), 41);
}

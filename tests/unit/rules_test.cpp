// The rules the approved traces meet too seldom to pin down: burnout at its
// edges and the generator's top draw. Worked out by hand.
#include <gtest/gtest.h>

#include <vector>

#include "board/cascade.h"
#include "board/random.h"
#include "tests/unit/support.h"

using namespace revision;

TEST(Burnout, TheEighthFiringBurnsOutAndTheFourthPassBringsItBack) {
  resetGame();
  fillBoard(Blue, North);
  Node* node = put(5, 5, Blue, East);
  put(6, 5, Red, South);
  for (int firing = 1; firing <= 7; ++firing) node->fire();
  EXPECT_FALSE(node->isBurnt());
  EXPECT_EQ(node->owner, Blue);
  put(6, 5, Red, South);
  node->fire();
  EXPECT_EQ(board[6][5]->owner, Blue);  // the eighth firing still captures
  EXPECT_EQ(settleCountdown, 10);
  if constexpr (!burnoutEnabled) {
    EXPECT_EQ(node->owner, Blue);  // no burnout: it fires forever
    return;
  }
  EXPECT_TRUE(node->isBurnt());
  EXPECT_EQ(node->owner, Nobody);
  put(5, 4, Red, South)->fire();  // a burnt node is never captured
  EXPECT_EQ(node->owner, Nobody);
  EXPECT_EQ(node->fuse, -1);

  put(6, 5, Blue, North);
  put(5, 6, Blue, East);
  for (int pass = 1; pass <= 3; ++pass) {
    burnoutPass();
    EXPECT_EQ(settleCountdown, 2);
    EXPECT_TRUE(node->isBurnt()) << "pass " << pass;
  }
  burnoutPass();  // back, firing as nobody's
  EXPECT_FALSE(node->isBurnt());
  EXPECT_EQ(settleCountdown, 10);
  EXPECT_EQ(board[6][5]->owner, Nobody);  // pointed at
  EXPECT_EQ(board[6][5]->fuse, 1);
  EXPECT_EQ(board[5][4]->owner, Nobody);  // points at it
  EXPECT_EQ(board[5][6]->owner, Blue);    // not linked
  node->withBurnout([](auto& n) { EXPECT_EQ(n.fireCount, 1); });
}

TEST(Deal, TheTopDrawOfTheGeneratorStaysInRange) {
  uint32_t seed = 1;  // a seed whose first draw is the largest value
  for (gameSrand(seed); gameRand() != gameRandMax; gameSrand(++seed)) {
  }
  gameSrand(seed);
  EXPECT_EQ(randomInt(4), 3);
}

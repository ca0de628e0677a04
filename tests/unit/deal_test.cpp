// The new-game deal: random directions in the two- or four-player symmetry,
// the starting nodes fired, the counters reset.
#include <gtest/gtest.h>

#include "board/cascade.h"
#include "board/random.h"
#include "game/game_state.h"
#include "tests/unit/test_support.h"

using namespace revision;

namespace {
constexpr int last = lastIndex;
// The worked example's node (3, 7), moved into the top-left quadrant where
// the board is too small for row 7.
constexpr int exampleColumn = 3;
constexpr int exampleRow = 7 < halfBoard ? 7 : halfBoard - 1;

Direction dir(int c, int r) { return board[c][r]->direction; }
Direction turned(Direction d, int quarter) { return (d + quarter) % 4; }

// A seed under which the deal gives the example node North: the deal draws
// the directions in board order, so that node takes draw column * N + row.
uint32_t seedDealingNorthAtExample() {
  for (uint32_t seed = 1;; ++seed) {
    gameSrand(seed);
    for (int i = 0; i < exampleColumn * boardSize + exampleRow; ++i) gameRand();
    if (randomInt(4) == North) return seed;
  }
}

// Deals under a seed and returns the currentPlayer the deal should draw:
// 576 (N x N) directions first, then one number for the player.
int dealWithSeed(uint32_t seed, bool fourPlayers) {
  resetGame();
  gameState->fourPlayers = fourPlayers;
  gameSrand(seed);
  for (int i = 0; i < nodeCount; ++i) gameRand();
  const int expectedPlayer = randomInt(4) + 1;
  gameSrand(seed);
  gameState->newGame();
  return expectedPlayer;
}

// The starting node, the node it points at and the neighbour that points at
// it (when one does) belong to the player; the captures wait with fuse 1.
void expectCorner(PlayerId player, int c, int r, Direction start, int tc, int tr, int oc, int orow,
                  Direction pointingBack) {
  EXPECT_EQ(board[c][r]->owner, player);
  EXPECT_EQ(dir(c, r), start);
  EXPECT_EQ(board[c][r]->fuse, -1);
#if SPINDREL_BURNOUT_ENABLED
  EXPECT_EQ(board[c][r]->fireCount, 1);
#endif
  EXPECT_EQ(board[tc][tr]->owner, player);
  EXPECT_EQ(board[tc][tr]->fuse, 1);
  const bool back = dir(oc, orow) == pointingBack;
  EXPECT_EQ(board[oc][orow]->owner, back ? player : Nobody);
  EXPECT_EQ(gameState->nodeCounts[player], back ? 3 : 2);
}

void expectCountsAddUp() {
  int sum = 0;
  for (PlayerId p = 0; p < playerIdCount; ++p) {
    EXPECT_EQ(gameState->nodeCounts[p], countNodes(p));
    sum += gameState->nodeCounts[p];
  }
  EXPECT_EQ(sum, nodeCount);
}
}  // namespace

TEST(Deal, TwoPlayersGetTheLeftHalfTurnedAboutTheCentre) {
  const uint32_t seed = seedDealingNorthAtExample();
  const int expectedPlayer = dealWithSeed(seed, false);

  gameSrand(seed);
  for (int c = 0; c < boardSize; ++c)
    for (int r = 0; r < boardSize; ++r) {
      const Direction dealt = randomInt(4);
      if (c < halfBoard && (c | r) != 0) {
        EXPECT_EQ(dir(c, r), dealt) << c << "," << r;
      }
      EXPECT_EQ(dir(last - c, last - r), turned(dir(c, r), 2)) << c << "," << r;
    }
  EXPECT_EQ(dir(exampleColumn, exampleRow), North);
  EXPECT_EQ(dir(last - exampleColumn, last - exampleRow), South);
  if (boardSize == 24) {
    EXPECT_EQ(dir(20, 16), South);
  }

  expectCorner(Blue, 0, 0, South, 0, 1, 1, 0, West);
  expectCorner(Red, last, last, North, last, last - 1, last - 1, last, East);
  EXPECT_EQ(gameState->nodeCounts[Green] + gameState->nodeCounts[Yellow], 0);
  expectCountsAddUp();
  EXPECT_EQ(settleCountdown, 10);
  EXPECT_EQ(gameState->currentPlayer, expectedPlayer);
  EXPECT_EQ(winner, 0);
  EXPECT_EQ(gameState->moveCount, 0);
  EXPECT_EQ(gameState->turnCount, 0);
}

TEST(Deal, FourPlayersGetTheTopLeftQuadrantInQuarterTurns) {
  const uint32_t seed = seedDealingNorthAtExample();
  const int expectedPlayer = dealWithSeed(seed, true);

  for (int k = 0; k < halfBoard; ++k)
    for (int m = 0; m < halfBoard; ++m) {
      const Direction d = dir(k, m);
      EXPECT_EQ(dir(last - k, last - m), turned(d, 2)) << k << "," << m;
      EXPECT_EQ(dir(m, last - k), turned(d, 1)) << k << "," << m;
      EXPECT_EQ(dir(last - m, k), turned(d, 3)) << k << "," << m;
    }
  const int k = exampleColumn, m = exampleRow;
  EXPECT_EQ(dir(k, m), North);
  EXPECT_EQ(dir(last - k, last - m), South);
  EXPECT_EQ(dir(m, last - k), West);
  EXPECT_EQ(dir(last - m, k), East);
  if (boardSize == 24) {
    EXPECT_EQ(dir(20, 16), South);
    EXPECT_EQ(dir(7, 20), West);
    EXPECT_EQ(dir(16, 3), East);
  }

  expectCorner(Blue, 0, 0, South, 0, 1, 1, 0, West);
  expectCorner(Red, last, last, North, last, last - 1, last - 1, last, East);
  expectCorner(Green, 0, last, East, 1, last, 0, last - 1, South);
  expectCorner(Yellow, last, 0, West, last - 1, 0, last, 1, North);
  expectCountsAddUp();
  EXPECT_EQ(gameState->currentPlayer, expectedPlayer);
}

TEST(Deal, NothingOfThePreviousGameSurvives) {
  dealWithSeed(99, true);
  for (int c = 0; c < boardSize; ++c)
    for (int r = 0; r < boardSize; ++r) {
      board[c][r]->owner = Green;
      board[c][r]->fuse = 0;
#if SPINDREL_BURNOUT_ENABLED
      board[c][r]->owner = Nobody;
      board[c][r]->burnt = true;
      board[c][r]->fireCount = 3;
#endif
    }
  winner = Green;
  gameState->moveCount = 40;
  gameState->turnCount = 9;
  gameState->fourPlayers = false;
  gameState->newGame();

  int waiting = 0;
  for (int c = 0; c < boardSize; ++c)
    for (int r = 0; r < boardSize; ++r) {
      const Node& node = *board[c][r];
      EXPECT_NE(node.owner, Green);
      if (node.fuse != -1) {
        EXPECT_EQ(node.fuse, 1);
        ++waiting;
      }
#if SPINDREL_BURNOUT_ENABLED
      EXPECT_FALSE(node.burnt);
      EXPECT_EQ(node.fireCount, node.owner != Nobody && node.fuse == -1 ? 1 : 0);
#endif
    }
  // Everything the two starting nodes captured, and nothing else, waits.
  EXPECT_EQ(waiting, gameState->nodeCounts[Blue] + gameState->nodeCounts[Red] - 2);
  EXPECT_EQ(winner, 0);
  EXPECT_EQ(gameState->moveCount, 0);
  EXPECT_EQ(gameState->turnCount, 0);
  expectCountsAddUp();
}

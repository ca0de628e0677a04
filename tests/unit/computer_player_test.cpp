// The computer player: turn slots, scores, tie-breaks, strengths, no move.
#include "ai/computer_player.h"

#include <gtest/gtest.h>

#include <string>

#include "board/cascade.h"
#include "game/game_state.h"
#include "tests/unit/test_support.h"

using namespace revision;

namespace {
// The whole board is Blue's, so Blue finds nothing to aim at but what a
// test puts there.
void blueBoard(Direction direction = North) {
  resetGame();
  gameState->firstDealDone = true;
  for (int c = 0; c < boardSize; ++c)
    for (int r = 0; r < boardSize; ++r) {
      board[c][r]->owner = Blue;
      board[c][r]->direction = direction;
    }
}

// A target node whose Blue neighbours all point at it already (slot 0, no
// score); a test then turns one neighbour away to make it the candidate.
void target(int c, int r, PlayerId owner) {
  board[c][r]->owner = owner;
  if (Node* n = nodeAt(c - 1, r)) n->direction = East;
  if (Node* n = nodeAt(c + 1, r)) n->direction = West;
  if (Node* n = nodeAt(c, r - 1)) n->direction = South;
  if (Node* n = nodeAt(c, r + 1)) n->direction = North;
}

struct Found {
  int score, column, row;
};
Found find(MoveTarget what = AnyForeign) {
  Found f{0, 99, 99};  // untouched when there is no candidate
  f.score = findMove(Blue, what, f.column, f.row);
  return f;
}

std::string moveOutput(PlayerId player, int aiMode) {
  testing::internal::CaptureStdout();
  gameState->takeComputerTurn(player, aiMode);
  return testing::internal::GetCapturedStdout();
}
}  // namespace

TEST(ComputerPlayer, ScoreIsTheFirstTurnSlotHoldingATarget) {
  // A node pointing North at (5, 5); the target sits East, South, West or
  // North of it. Turn sense -1: slots East, South, West; +1: West, South, East.
  const int dc[4] = {1, 0, -1, 0}, dr[4] = {0, 1, 0, -1};
  const int scoreClockwise[4] = {1, 2, 3, 0}, scoreCounterClockwise[4] = {3, 2, 1, 0};
  for (int sense : {-1, +1}) {
    for (int side = 0; side < 4; ++side) {
      blueBoard();
      gameState->turnSense = sense;
      target(5 + dc[side], 5 + dr[side], Nobody);
      board[5][5]->direction = North;
      const Found f = find();
      const int expected = sense < 0 ? scoreClockwise[side] : scoreCounterClockwise[side];
      EXPECT_EQ(f.score, expected) << "sense " << sense << " side " << side;
      EXPECT_EQ(f.column, expected ? 5 : 99);
      EXPECT_EQ(f.row, expected ? 5 : 99);
    }
  }
  // The corner (0, 0) pointing South: with +1 slot 1 is East, with -1 East is
  // slot 3 (West and North lie off the board).
  for (int sense : {+1, -1}) {
    blueBoard();
    gameState->turnSense = sense;
    target(1, 0, Red);
    board[0][0]->direction = South;
    EXPECT_EQ(find().score, sense > 0 ? 1 : 3);
  }
}

TEST(ComputerPlayer, EqualScoresGoToTheFirstNodeInBoardOrder) {
  // West of each target, pointing North: score 1 with turn sense -1.
  blueBoard();
  target(8, 3, Nobody);
  target(4, 10, Nobody);
  board[7][3]->direction = North;
  board[3][10]->direction = North;
  Found f = find();
  EXPECT_EQ(f.score, 1);
  EXPECT_EQ(f.column * 100 + f.row, 310);  // lower column

  blueBoard();
  target(4, 3, Nobody);
  target(4, 10, Nobody);
  board[3][3]->direction = North;
  board[3][10]->direction = North;
  f = find();
  EXPECT_EQ(f.column * 100 + f.row, 303);  // same column: lower row

  board[3][3]->direction = West;  // score 2 now: the later node's 1 wins
  f = find();
  EXPECT_EQ(f.score, 1);
  EXPECT_EQ(f.column * 100 + f.row, 310);
}

TEST(ComputerPlayer, ToughPrefersAnOpponentAsNearAsTheNearestNeutral) {
  for (int aiMode : {AiEasy, AiNormal, AiTough}) {
    for (int opponentTurns : {1, 2}) {
      blueBoard();
      target(3, 5, Nobody);
      target(10, 1, Red);
      board[2][5]->direction = North;                              // neutral one turn away
      board[9][1]->direction = opponentTurns == 1 ? North : West;  // opponent 1 or 2 turns
      EXPECT_EQ(find(OpponentOnly).score, opponentTurns);
      moveOutput(Blue, aiMode);
      const bool opponent = aiMode == AiTough && opponentTurns == 1;
      EXPECT_EQ(board[9][1]->direction, opponent ? East : (opponentTurns == 1 ? North : West));
      EXPECT_EQ(board[10][1]->owner, opponent ? Blue : Red);
      EXPECT_EQ(board[2][5]->direction, opponent ? North : East);
      EXPECT_EQ(board[3][5]->owner, opponent ? Nobody : Blue);
      EXPECT_EQ(settleCountdown, 10);
    }
  }
  // A score of 3 still turns the node only once.
  blueBoard();
  target(10, 1, Red);
  board[9][1]->direction = South;
  moveOutput(Blue, AiTough);
  EXPECT_EQ(board[9][1]->direction, West);
  EXPECT_EQ(board[10][1]->owner, Red);
  EXPECT_EQ(settleCountdown, 10);
}

TEST(ComputerPlayer, NeutralNodesAreNoOpponentsAndBurntNodesNoTargets) {
  blueBoard();
  target(3, 5, Nobody);
  board[2][5]->direction = North;
  EXPECT_EQ(find(AnyForeign).score, 1);
  EXPECT_EQ(find(OpponentOnly).score, 0);
#if SPINDREL_BURNOUT_ENABLED
  board[3][5]->burnt = true;
  EXPECT_EQ(find(AnyForeign).score, 0);
#endif
}

TEST(ComputerPlayer, NoMoveLeavesTheBoardAloneWithItsMessage) {
  const std::string normal = diagnosticsEnabled ? "Player 1 didn't take a turn!!!\n" : "";
  const std::string tough = diagnosticsEnabled ? "could not find move!!!\n" : "";
  blueBoard();
  EXPECT_EQ(moveOutput(Blue, AiEasy), normal);
  EXPECT_EQ(moveOutput(Blue, AiNormal), normal);
  EXPECT_EQ(moveOutput(Blue, AiTough), tough);
  EXPECT_EQ(settleCountdown, -1);
  EXPECT_EQ(countNodes(Blue), nodeCount);
  for (int c = 0; c < boardSize; ++c)
    for (int r = 0; r < boardSize; ++r) ASSERT_EQ(board[c][r]->direction, North);

  // An unknown strength makes no move, even with one at hand, and says nothing.
  target(3, 5, Nobody);
  board[2][5]->direction = North;
  EXPECT_EQ(moveOutput(Blue, 7), "");
  EXPECT_EQ(board[2][5]->direction, North);
  EXPECT_EQ(settleCountdown, -1);
}

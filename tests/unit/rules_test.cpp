// The rules without a window: firing and capture, the timing a cascade takes
// from board order, burnout, the deal and the computer player. Every case is
// worked out by hand.
#include <gtest/gtest.h>

#include <vector>

#include "ai/computer_player.h"
#include "board/cascade.h"
#include "board/random.h"
#include "tests/unit/support.h"

using namespace revision;

namespace {
Direction dir(int c, int r) { return board[c][r]->direction; }

// Blue at (5, 5) pointing East; (4, 5) neutral East, (6, 5) Red North,
// (5, 4) Red South, (5, 6) neutral East; everything else Blue, North.
Node* workedExample() {
  resetGame();
  fillBoard(Blue, North);
  Node* centre = put(5, 5, Blue, East);
  put(4, 5, Nobody, East);
  put(6, 5, Red, North);
  put(5, 4, Red, South);
  put(5, 6, Nobody, East);
  return centre;
}
std::vector<int> exampleFuses() {
  return {board[4][5]->fuse, board[6][5]->fuse, board[5][4]->fuse, board[5][6]->fuse};
}
}  // namespace

TEST(Cascade, WorkedExampleFromAClickAndFromAFuseTick) {
  Node* centre = workedExample();
  centre->direction = North;
  centre->turnAndFire(-1);  // a click comes before the frame's fuse ticks
  EXPECT_EQ(centre->direction, East);
  EXPECT_EQ(settleCountdown, 10);
  EXPECT_EQ(board[6][5]->direction, North);  // a capture never turns a node
  EXPECT_EQ(board[5][6]->owner, Nobody);     // points away, not pointed at
  EXPECT_EQ(exampleFuses(), (std::vector<int>{1, 1, 1, -1}));
  for (int c : {4, 6}) EXPECT_EQ(board[c][5]->owner, Blue);
  tickAllFuses();
  EXPECT_EQ(exampleFuses(), (std::vector<int>{0, 0, 0, -1}));
  EXPECT_EQ(centre->fuse, -1);
  tickAllFuses();
  EXPECT_EQ(exampleFuses(), (std::vector<int>{-1, -1, -1, -1}));
  centre->withBurnout([](auto& n) { EXPECT_EQ(n.fireCount, 1); });

  // Fired from its own fuse tick, (5, 5) fires after (4, 5) and (5, 4) were
  // ticked in board order, so they fire a frame later than (6, 5).
  centre = workedExample();
  centre->fuse = 0;
  tickAllFuses();
  EXPECT_EQ(exampleFuses(), (std::vector<int>{1, 0, 1, -1}));
  tickAllFuses();
  EXPECT_EQ(exampleFuses(), (std::vector<int>{0, -1, 0, -1}));
  tickAllFuses();
  EXPECT_EQ(exampleFuses(), (std::vector<int>{-1, -1, -1, -1}));
}

TEST(Cascade, CapturesNeedALinkAndAForeignOwnerAndStopAtTheEdges) {
  resetGame();
  fillBoard(Blue, North);
  Node* left = put(3, 9, Blue, East);
  Node* right = put(4, 9, Red, West);
  left->fire();  // points at its neighbour
  EXPECT_EQ(right->owner, Blue);
  EXPECT_EQ(right->fuse, 1);
  right->fuse = -1;
  put(3, 9, Red, North)->fire();  // pointed at by its neighbour
  EXPECT_EQ(right->owner, Red);
  right->fire();  // own nodes are never captured
  EXPECT_EQ(left->fuse, -1);

  Node* edge = put(0, 9, Red, West);  // nothing lies West of column 0
  put(1, 9, Nobody, North);
  put(0, 10, Nobody, North);
  edge->fire();
  EXPECT_EQ(board[1][9]->owner, Nobody);
  EXPECT_EQ(board[0][10]->owner, Red);
  EXPECT_EQ(board[0][8]->owner, Blue);
  edge->turnAndFire(+1);  // West, South, then past the last direction to East
  edge->turnAndFire(+1);
  EXPECT_EQ(edge->direction, East);
  edge->turnAndFire(-1);  // and below the first to South
  EXPECT_EQ(edge->direction, South);

  // Two owners firing in one frame at the same node: the later in board
  // order (column, then row) takes it.
  resetGame();
  put(4, 9, Red, East)->fuse = 0;
  put(5, 8, Blue, South)->fuse = 0;
  tickAllFuses();
  EXPECT_EQ(board[5][9]->owner, Blue);
}

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

TEST(Deal, SymmetriesCornersDrawOrderAndCounters) {
  // The example node (3, 7), moved into the top-left quadrant on boards too
  // small for row 7. Find a seed that deals it North: directions are drawn
  // in board order, so it takes draw column * N + row.
  const int k = 3, m = 7 < halfBoard ? 7 : halfBoard - 1, last = lastIndex;
  uint32_t seed = 1;
  for (;; ++seed) {
    gameSrand(seed);
    for (int i = 0; i < k * boardSize + m; ++i) gameRand();
    if (randomInt(4) == North) break;
  }
  for (bool four : {false, true}) {
    GameState& g = resetGame();
    g.fourPlayers = four;
    g.moveCount = 40;
    winner = Green;
    board[9][9]->fuse = 0;
    board[9][9]->withBurnout([](auto& n) { n.burnt = true; });
    gameSrand(seed);
    g.newGame();

    // The example node took its draw in board order; after all N x N
    // directions comes the draw of the first player.
    gameSrand(seed);
    for (int i = 0; i < nodeCount; ++i) gameRand();
    EXPECT_EQ(g.currentPlayer, randomInt(4) + 1);
    // The two-player half turned about the centre; the four-player quadrant
    // turned a half, a quarter each way.
    EXPECT_EQ(dir(k, m) * 10 + dir(last - k, last - m), North * 10 + South);
    EXPECT_TRUE(!four || (dir(m, last - k) == West && dir(last - m, k) == East));
    EXPECT_TRUE(boardSize != 24 || !four || (dir(7, 20) == West && dir(16, 3) == East));

    // The corners, started and fired: player, corner, start, the node it points at.
    const int corners[4][6] = {{Blue, 0, 0, South, 0, 1},
                               {Red, last, last, North, last, last - 1},
                               {Green, 0, last, East, 1, last},
                               {Yellow, last, 0, West, last - 1, 0}};
    for (const auto& [player, c, r, start, tc, tr] : corners) {
      const bool playing = four || player <= Red;
      EXPECT_EQ(board[c][r]->owner, playing ? player : Nobody);
      if (!playing) continue;
      EXPECT_EQ(dir(c, r), start);
      EXPECT_EQ(board[tc][tr]->owner * 10 + board[tc][tr]->fuse, player * 10 + 1);
    }
    int sum = 0;
    for (PlayerId p = 0; p < playerIdCount; ++p)
      sum += g.nodeCounts[p] == countNodes(p) ? g.nodeCounts[p] : -999;
    EXPECT_EQ(sum, nodeCount);
    EXPECT_TRUE(board[9][9]->fuse == -1 && !board[9][9]->isBurnt());
    EXPECT_EQ(settleCountdown, 10);
    EXPECT_EQ(winner * 100 + g.moveCount, 0);
  }
}

namespace {
// Blue owns the whole board pointing North; a target's Blue neighbours
// already point at it, so only the node a test turns away is a candidate.
void target(int c, int r, PlayerId owner) {
  board[c][r]->owner = owner;
  if (Node* n = nodeAt(c - 1, r)) n->direction = East;
  if (Node* n = nodeAt(c + 1, r)) n->direction = West;
  if (Node* n = nodeAt(c, r - 1)) n->direction = South;
  if (Node* n = nodeAt(c, r + 1)) n->direction = North;
}
void blueBoard() {
  resetGame();
  fillBoard(Blue, North);
}
int findAt(MoveTarget what = AnyForeign) {
  int column = 99, row = 99;
  const int score = findMove(Blue, what, column, row);
  return score * 10000 + column * 100 + row;  // score, column, row at a glance
}
std::string move(int aiMode) {
  testing::internal::CaptureStdout();
  gameState->takeComputerTurn(Blue, aiMode);
  return testing::internal::GetCapturedStdout();
}
}  // namespace

TEST(ComputerPlayer, TurnSlotsForBothSensesAndTieBreaks) {
  // A node pointing North at (5, 5), the target East, South, West or North
  // of it. Sense -1 tries East, South, West; +1 West, South, East.
  const int dc[4] = {1, 0, -1, 0}, dr[4] = {0, 1, 0, -1};
  const int clockwise[4] = {1, 2, 3, 0}, counterClockwise[4] = {3, 2, 1, 0};
  for (int sense : {-1, +1})
    for (int side = 0; side < 4; ++side) {
      blueBoard();
      gameState->turnSense = sense;
      target(5 + dc[side], 5 + dr[side], Nobody);
      board[5][5]->direction = North;
      const int score = sense < 0 ? clockwise[side] : counterClockwise[side];
      EXPECT_EQ(findAt(), score ? score * 10000 + 505 : 9999) << sense << " " << side;
    }
  // Equal scores: the lower column, then the lower row; a better score later wins.
  blueBoard();
  target(8, 3, Nobody);
  target(4, 10, Nobody);
  board[7][3]->direction = North;
  board[3][10]->direction = North;
  EXPECT_EQ(findAt(), 10310);
  target(4, 3, Nobody);
  board[3][3]->direction = North;
  EXPECT_EQ(findAt(), 10303);
  board[3][3]->direction = West;
  EXPECT_EQ(findAt(), 10310);
  // Neutral nodes are no opponents; burnt nodes are no targets.
  EXPECT_EQ(findAt(OpponentOnly), 9999);
  board[4][10]->withBurnout([](auto& n) { n.burnt = true; });
  if constexpr (burnoutEnabled) {
    EXPECT_EQ(findAt(), 10703);
  }
}

TEST(ComputerPlayer, ToughPrefersAnOpponentAsNearAsTheNearestNeutral) {
  for (int aiMode : {AiEasy, AiNormal, AiTough})
    for (int opponentTurns : {1, 2}) {
      blueBoard();
      target(3, 5, Nobody);
      target(10, 1, Red);
      board[2][5]->direction = North;                              // neutral one turn away
      board[9][1]->direction = opponentTurns == 1 ? North : West;  // Red one or two away
      EXPECT_EQ(move(aiMode), "");
      const bool opponent = aiMode == AiTough && opponentTurns == 1;
      EXPECT_EQ(board[10][1]->owner, opponent ? Blue : Red) << aiMode << " " << opponentTurns;
      EXPECT_EQ(board[3][5]->owner, opponent ? Nobody : Blue);
      EXPECT_EQ(settleCountdown, 10);
    }
  blueBoard();  // a score of 3 still turns the node only once
  target(10, 1, Red);
  board[9][1]->direction = South;
  move(AiTough);
  EXPECT_EQ(board[9][1]->direction, West);

  blueBoard();  // no move at all: the board stays, the message says so
  const std::string normal = said("Player 1 didn't take a turn!!!\n");
  EXPECT_EQ(move(AiEasy), normal);
  EXPECT_EQ(move(AiNormal), normal);
  EXPECT_EQ(move(AiTough), said("could not find move!!!\n"));
  EXPECT_EQ(settleCountdown, -1);
  EXPECT_EQ(countNodes(Blue), nodeCount);
}

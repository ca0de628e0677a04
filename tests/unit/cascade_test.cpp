// Firing, capture, timing in board order, burnout and the comeback.
#include "board/cascade.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/unit/test_support.h"

using namespace revision;

namespace {
// Every node owned by one player and pointing one way: a firing of that
// player's captures nothing but the nodes a test sets up.
void fillBoard(PlayerId owner, Direction direction) {
  resetGame();
  for (int c = 0; c < boardSize; ++c)
    for (int r = 0; r < boardSize; ++r) {
      board[c][r]->owner = owner;
      board[c][r]->direction = direction;
    }
}

Node* put(int column, int row, PlayerId owner, Direction direction) {
  Node* node = board[column][row];
  node->owner = owner;
  node->direction = direction;
  return node;
}

// The worked example: Blue at (5, 5) pointing East; (4, 5) neutral East,
// (6, 5) Red North, (5, 4) Red South, (5, 6) neutral East.
Node* workedExample() {
  fillBoard(Blue, North);
  Node* centre = put(5, 5, Blue, East);
  put(4, 5, Nobody, East);
  put(6, 5, Red, North);
  put(5, 4, Red, South);
  put(5, 6, Nobody, East);
  return centre;
}

// Fuses of (4, 5), (6, 5), (5, 4), (5, 6).
std::vector<int> exampleFuses() {
  return {board[4][5]->fuse, board[6][5]->fuse, board[5][4]->fuse, board[5][6]->fuse};
}

// Ticks whole frames and returns the frame (1, 2, ...) in which each node of
// the row fired: its fuse went from 0 to idle.
std::vector<int> firingFramesOfRow(int row, int frames) {
  std::vector<int> fired(boardSize, 0);
  for (int frame = 1; frame <= frames; ++frame) {
    std::vector<int> before(boardSize);
    for (int c = 0; c < boardSize; ++c) before[c] = board[c][row]->fuse;
    tickAllFuses();
    for (int c = 0; c < boardSize; ++c)
      if (before[c] == 0 && board[c][row]->fuse == -1 && !fired[c]) fired[c] = frame;
  }
  return fired;
}
}  // namespace

TEST(Cascade, WorkedExampleAfterAClickFiresEveryCaptureInTheNextFrame) {
  Node* centre = workedExample();
  centre->direction = North;
  centre->turnAndFire(-1);  // a click, before the frame's fuse ticks
  EXPECT_EQ(centre->direction, East);
  EXPECT_EQ(settleCountdown, 10);
  EXPECT_EQ(board[4][5]->owner, Blue);
  EXPECT_EQ(board[6][5]->owner, Blue);
  EXPECT_EQ(board[5][4]->owner, Blue);
  EXPECT_EQ(board[5][6]->owner, Nobody);  // points away and is not pointed at
  EXPECT_EQ(exampleFuses(), (std::vector<int>{1, 1, 1, -1}));
  EXPECT_EQ(board[6][5]->direction, North);  // a capture never turns a node

  tickAllFuses();
  EXPECT_EQ(exampleFuses(), (std::vector<int>{0, 0, 0, -1}));
  EXPECT_EQ(centre->fuse, -1);  // firing leaves its own fuse alone
  tickAllFuses();
  EXPECT_EQ(exampleFuses(), (std::vector<int>{-1, -1, -1, -1}));
#if SPINDREL_BURNOUT_ENABLED
  EXPECT_EQ(centre->fireCount, 1);
  EXPECT_EQ(board[6][5]->fireCount, 1);
  EXPECT_EQ(board[4][5]->fireCount, 1);
#endif
}

TEST(Cascade, WorkedExampleFromAFuseTickFiresEastSoonerThanWestAndNorth) {
  Node* centre = workedExample();
  centre->fuse = 0;
  tickAllFuses();  // (5, 5) fires after (4, 5) and (5, 4) have been ticked
  EXPECT_EQ(exampleFuses(), (std::vector<int>{1, 0, 1, -1}));
  tickAllFuses();
  EXPECT_EQ(exampleFuses(), (std::vector<int>{0, -1, 0, -1}));
  tickAllFuses();
  EXPECT_EQ(exampleFuses(), (std::vector<int>{-1, -1, -1, -1}));
  tickAllFuses();  // idle fuses stay idle
  EXPECT_EQ(exampleFuses(), (std::vector<int>{-1, -1, -1, -1}));
}

TEST(Cascade, RowsRunEastOneNodePerFrameAndWestOneEveryTwoFrames) {
  const int row = 3;
  fillBoard(Blue, North);
  for (int c = 1; c < boardSize; ++c) put(c, row, Nobody, East);
  put(0, row, Blue, East)->fuse = 0;
  std::vector<int> fired = firingFramesOfRow(row, boardSize + 2);
  for (int c = 0; c < boardSize; ++c) {
    EXPECT_EQ(fired[c], c + 1) << "column " << c;
    EXPECT_EQ(board[c][row]->owner, Blue);
  }

  fillBoard(Red, South);
  for (int c = 0; c < lastIndex; ++c) put(c, row, Nobody, West);
  put(lastIndex, row, Red, West)->fuse = 0;
  fired = firingFramesOfRow(row, 2 * boardSize + 2);
  for (int j = 0; j < boardSize; ++j) EXPECT_EQ(fired[lastIndex - j], 2 * j + 1) << "step " << j;
  EXPECT_EQ(board[0][row]->owner, Red);
}

TEST(Cascade, CapturesNeedALinkAForeignOwnerAndStopAtTheEdges) {
  fillBoard(Blue, North);
  // Facing nodes of different owners: one capture, no capture back.
  Node* left = put(3, 9, Blue, East);
  Node* right = put(4, 9, Red, West);
  left->fire();
  EXPECT_EQ(right->owner, Blue);
  EXPECT_EQ(right->fuse, 1);
  right->fuse = -1;
  right->fire();
  EXPECT_EQ(left->owner, Blue);
  EXPECT_EQ(left->fuse, -1);  // same owner: no new fuse

  // A node in column 0 pointing West captures nothing through its direction
  // but still captures the neighbour that points at it.
  Node* edge = put(0, 9, Red, West);
  put(1, 9, Nobody, North);
  put(0, 10, Nobody, North);
  edge->fire();
  EXPECT_EQ(board[1][9]->owner, Nobody);
  EXPECT_EQ(board[0][10]->owner, Red);
  EXPECT_EQ(board[0][8]->owner, Blue);  // points North, away: not linked

  // Turning wraps: +1 from South is East, -1 from East is South.
  edge->turnAndFire(+1);
  EXPECT_EQ(edge->direction, South);
  edge->turnAndFire(+1);
  EXPECT_EQ(edge->direction, East);
  edge->turnAndFire(-1);
  EXPECT_EQ(edge->direction, South);
}

TEST(Cascade, ANodeWaitingToFireThatIsRecapturedFiresAFrameLater) {
  fillBoard(Blue, North);
  Node* waiting = put(6, 2, Red, East);  // east of the capturer, so ticked after it
  waiting->fuse = 0;
  Node* capturer = put(5, 2, Blue, East);
  capturer->fuse = 0;
  tickAllFuses();  // (5, 2) fires first and recaptures (6, 2) with a fuse of 1
  EXPECT_EQ(waiting->owner, Blue);
  EXPECT_EQ(waiting->fuse, 0);
  tickAllFuses();
  EXPECT_EQ(waiting->fuse, -1);
}

#if SPINDREL_BURNOUT_ENABLED
TEST(Burnout, TheEighthFiringCapturesThenBurnsOut) {
  fillBoard(Blue, North);
  Node* node = put(5, 5, Blue, East);
  Node* target = put(6, 5, Red, South);
  for (int firing = 1; firing <= 7; ++firing) node->fire();
  EXPECT_FALSE(node->burnt);
  EXPECT_EQ(node->owner, Blue);
  EXPECT_EQ(node->fireCount, 7);
  target->owner = Red;
  node->fire();
  EXPECT_EQ(target->owner, Blue);
  EXPECT_EQ(target->fuse, 1);
  EXPECT_EQ(node->owner, Nobody);
  EXPECT_TRUE(node->burnt);
  EXPECT_EQ(node->fireCount, 4);
  EXPECT_EQ(settleCountdown, 10);

  // A burnt node is never captured, even when it points at the firing node.
  Node* red = put(5, 4, Red, South);
  node->direction = North;
  red->fire();
  EXPECT_EQ(node->owner, Nobody);
  EXPECT_EQ(node->fuse, -1);
}

TEST(Burnout, ComesBackInTheFourthPassFiringAsNobodys) {
  fillBoard(Blue, North);
  Node* node = put(5, 5, Nobody, East);
  node->burnt = true;
  node->fireCount = 4;
  Node* live = put(9, 9, Red, East);
  live->fireCount = 5;  // not burnt: untouched by the passes

  for (int pass = 1; pass <= 3; ++pass) {
    burnoutPass();
    EXPECT_EQ(settleCountdown, 2) << "pass " << pass;
    EXPECT_TRUE(node->burnt);
    EXPECT_EQ(node->fireCount, 4 - pass);
    EXPECT_EQ(board[6][5]->owner, Blue);
  }
  burnoutPass();
  EXPECT_EQ(settleCountdown, 10);
  EXPECT_FALSE(node->burnt);
  EXPECT_EQ(node->owner, Nobody);
  EXPECT_EQ(node->fireCount, 1);          // the comeback counts towards the next burnout
  EXPECT_EQ(board[6][5]->owner, Nobody);  // it points there: neutralised
  EXPECT_EQ(board[6][5]->fuse, 1);
  EXPECT_EQ(board[5][6]->owner, Nobody);  // points at it: neutralised
  EXPECT_EQ(board[5][4]->owner, Blue);    // points North, away from it
  EXPECT_EQ(live->fireCount, 5);
  EXPECT_EQ(live->owner, Red);
}
#else
TEST(Burnout, ANodeFiresAnyNumberOfTimesAndKeepsItsOwner) {
  fillBoard(Blue, North);
  Node* node = put(5, 5, Red, East);
  for (int i = 0; i < 20; ++i) {
    put(6, 5, Blue, North);
    node->fire();
    EXPECT_EQ(board[6][5]->owner, Red) << "firing " << i + 1;
  }
  EXPECT_EQ(node->owner, Red);
}
#endif

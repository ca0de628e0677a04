// The background and the board: tiling, connectors, node pictures and the
// order in which a frame lays them over one another.
#include "render/board_view.h"

#include <gtest/gtest.h>

#include "app/shell.h"
#include "board/node.h"
#include "game/game_state.h"
#include "render/sprites.h"
#include "tests/unit/render_check.h"
#include "tests/unit/test_support.h"

using namespace render_check;
using namespace revision;

namespace {

// Sheet positions in the node strip, one picture every 25 pixels.
int bodyX(int owner) { return 25 * owner; }
int arrowX(int direction) { return 125 + 25 * direction; }
constexpr int horizontalBarX = 225, verticalBarX = 250, firingMarkX = 275, burntMarkX = 300;

int cellX(int column) { return boardOriginX + 24 * column; }
int cellY(int row) { return boardOriginY + 24 * row; }

// The bar of a node pointing in a direction: half on its cell, half on the
// neighbour's.
void overlayConnector(Image& canvas, int column, int row, int direction) {
  const int x = cellX(column), y = cellY(row);
  switch (direction) {
    case East: overlay(canvas, Nodes, horizontalBarX, 0, 23, 23, x + 12, y); break;
    case North: overlay(canvas, Nodes, verticalBarX, 0, 23, 23, x, y - 12); break;
    case West: overlay(canvas, Nodes, horizontalBarX, 0, 23, 23, x - 12, y); break;
    case South: overlay(canvas, Nodes, verticalBarX, 0, 23, 23, x, y + 12); break;
  }
}

// Body, then the arrow (or the burnt mark), then the firing mark on top.
void overlayNode(Image& canvas, int column, int row, int owner, int arrow, bool burnt,
                 bool firing) {
  const int x = cellX(column), y = cellY(row);
  overlay(canvas, Nodes, bodyX(owner), 0, 23, 23, x, y);
  if (burnt)
    overlay(canvas, Nodes, burntMarkX, 0, 25, 25, x, y);
  else
    overlay(canvas, Nodes, arrowX(arrow), 0, 23, 23, x, y);
  if (firing) overlay(canvas, Nodes, firingMarkX, 0, 25, 25, x, y);
}

// The arrow a node shows: where it will point after a click under the
// running game's turn sense, or where it points now without the preview.
int shownArrow(int direction, int turnSense) {
  return previewArrows ? ((direction + turnSense) % 4 + 4) % 4 : direction;
}

class BoardView : public ::testing::Test {
 protected:
  void SetUp() override {
    loadTestSheets();
    resetGame();
  }
};

TEST_F(BoardView, BackgroundTilesTheWholeWindow) {
  ASSERT_GT(inkCount(SlotBackground), 0);
  Image expected = clearedScreen();
  const SheetImage& ui = sheetImage(Ui);
  for (int y = 0; y < screen->h; ++y) {
    for (int x = 0; x < screen->w; ++x) {
      const uint32_t tile = ui.image.at(x % 64, 53 + y % 64);
      if (tile != ui.key) expected.at(x, y) = tile;
    }
  }
  drawBackground();
  EXPECT_TRUE(same(grabScreen(), expected));
}

TEST_F(BoardView, ConnectorSitsHalfACellTowardTheNeighbour) {
  ASSERT_GT(inkCount(SlotConnector + East), 0);
  ASSERT_GT(inkCount(SlotConnector + North), 0);
  const int column = 5, row = 4;
  for (int direction = 0; direction < 4; ++direction) {
    SCOPED_TRACE(direction);
    Node* node = board[column][row];
    node->direction = direction;
    // Owner, fuse and the burnt flag change nothing about the bar.
    node->owner = direction;
    node->fuse = direction - 1;
    Image expected = clearedScreen();
    overlayConnector(expected, column, row, direction);
    node->drawConnector();
    EXPECT_TRUE(same(grabScreen(), expected));
  }
}

TEST_F(BoardView, NoConnectorPointsOffTheBoard) {
  struct Case {
    int column, row, direction;
    bool drawn;
  };
  const Case cases[] = {
      {0, 5, West, false},
      {0, 5, North, true},
      {0, 5, East, true},
      {lastIndex, 5, East, false},
      {lastIndex, 5, West, true},
      {lastIndex, 5, South, true},
      {5, 0, North, false},
      {5, 0, West, true},
      {5, 0, South, true},
      {5, lastIndex, South, false},
      {5, lastIndex, North, true},
      {5, lastIndex, East, true},
      // The corners: only the two directions into the board.
      {0, 0, West, false},
      {0, 0, North, false},
      {0, 0, East, true},
      {0, 0, South, true},
      {lastIndex, lastIndex, East, false},
      {lastIndex, lastIndex, South, false},
      {lastIndex, lastIndex, West, true},
      {lastIndex, lastIndex, North, true},
      {lastIndex, 0, North, false},
      {lastIndex, 0, South, true},
      {0, lastIndex, West, false},
      {0, lastIndex, North, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.column << "," << c.row << " points " << c.direction);
    Node* node = board[c.column][c.row];
    node->direction = c.direction;
    Image expected = clearedScreen();
    if (c.drawn) overlayConnector(expected, c.column, c.row, c.direction);
    node->drawConnector();
    EXPECT_TRUE(same(grabScreen(), expected));
  }
}

TEST_F(BoardView, NodeShowsBodyArrowAndFiringMark) {
  // The four arrows must differ, or the test could not tell them apart.
  for (int a = 0; a < 4; ++a)
    for (int b = a + 1; b < 4; ++b) {
      Image first(25, 25, 0), second(25, 25, 0);
      overlay(first, Nodes, arrowX(a), 0, 23, 23, 0, 0);
      overlay(second, Nodes, arrowX(b), 0, 23, 23, 0, 0);
      ASSERT_FALSE(same(first, second)) << "arrows " << a << " and " << b;
    }
  const int column = 3, row = lastIndex;  // bottom row: the marks overhang past the board
  Node* node = board[column][row];
  for (int turnSense : {+1, -1}) {
    gameState->turnSense = turnSense;
    for (int owner = 0; owner < playerIdCount; ++owner) {
      for (int direction = 0; direction < 4; ++direction) {
        for (int fuse : {-1, 0, 1}) {
          SCOPED_TRACE(testing::Message() << "sense " << turnSense << " owner " << owner
                                          << " direction " << direction << " fuse " << fuse);
          node->owner = owner;
          node->direction = direction;
          node->fuse = fuse;
          Image expected = clearedScreen();
          overlayNode(expected, column, row, owner, shownArrow(direction, turnSense), false,
                      fuse >= 0);
          node->draw();
          // The 25 x 25 marks reach 2 pixels right of and below the 23 x 23
          // body; the region checked is larger still.
          ASSERT_TRUE(sameIn(grabScreen(), expected, cellX(column) - 3, cellY(row) - 3, 31, 31));
        }
      }
    }
  }
}

TEST_F(BoardView, PreviewFollowsTheRunningGamesTurnSense) {
  // Pointing South with +1 shows the East arrow, pointing East with -1 the
  // South arrow; the earlier revisions show where the node points now.
  // The pending setting on the panel has no say.
  struct Case {
    int turnSense, pendingTurnSense, direction, arrow;
  };
  const Case cases[] = {
      {+1, -1, South, previewArrows ? East : South},
      {-1, +1, East, previewArrows ? South : East},
      {+1, +1, West, previewArrows ? South : West},
      {-1, -1, North, previewArrows ? East : North},
  };
  Node* node = board[7][2];
  node->owner = Blue;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.direction);
    gameState->turnSense = c.turnSense;
    gameState->pendingTurnSense = c.pendingTurnSense;
    node->direction = c.direction;
    Image expected = clearedScreen();
    overlayNode(expected, 7, 2, Blue, c.arrow, false, false);
    node->draw();
    EXPECT_TRUE(same(grabScreen(), expected));
  }
}

#if SPINDREL_BURNOUT_ENABLED
TEST_F(BoardView, BurntNodeShowsTheBurntMarkInsteadOfTheArrow) {
  Node* node = board[lastIndex][0];
  node->burnt = true;
  node->owner = Nobody;
  node->direction = West;
  for (int fuse : {-1, 0}) {
    SCOPED_TRACE(fuse);
    node->fuse = fuse;
    Image expected = clearedScreen();
    overlayConnector(expected, lastIndex, 0, West);
    overlayNode(expected, lastIndex, 0, Nobody, 0, true, fuse >= 0);
    node->drawConnector();
    node->draw();
    EXPECT_TRUE(same(grabScreen(), expected));
  }
}
#endif

TEST_F(BoardView, BoardLaysEveryBodyOverEveryConnector) {
  // A mixed board: every owner, direction, fuse state (and burnt nodes where
  // burnout exists). Neighbours pointing at each other put their bars on
  // both cells, so any node drawn before a later bar would show it on top.
  gameState->turnSense = -1;
  for (int c = 0; c < boardSize; ++c) {
    for (int r = 0; r < boardSize; ++r) {
      Node* node = board[c][r];
      node->direction = (c + 2 * r) % 4;
      node->owner = (c * 7 + r * 3) % playerIdCount;
      node->fuse = (c + r) % 5 == 0 ? 0 : -1;
#if SPINDREL_BURNOUT_ENABLED
      node->burnt = (c * r) % 11 == 1;
#endif
    }
  }
  board[3][3]->direction = East;
  board[4][3]->direction = West;

  Image expected = clearedScreen();
  for (int c = 0; c < boardSize; ++c) {
    for (int r = 0; r < boardSize; ++r) {
      const int d = board[c][r]->direction;
      const bool off = (c == 0 && d == West) || (c == lastIndex && d == East) ||
                       (r == 0 && d == North) || (r == lastIndex && d == South);
      if (!off) overlayConnector(expected, c, r, d);
    }
  }
  for (int c = 0; c < boardSize; ++c) {
    for (int r = 0; r < boardSize; ++r) {
      const Node* node = board[c][r];
      overlayNode(expected, c, r, node->owner, shownArrow(node->direction, -1), node->isBurnt(),
                  node->fuse >= 0);
    }
  }
  drawBoard();
  EXPECT_TRUE(same(grabScreen(), expected));
}

}  // namespace

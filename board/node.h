// The board: a fixed N x N grid of nodes, allocated once at start-up.
#pragma once

#include <cstdint>

#include "revisions/settings.h"

// Who owns a node. Burnt nodes always belong to nobody.
using PlayerId = int32_t;
enum : PlayerId { Nobody = 0, Blue = 1, Red = 2, Green = 3, Yellow = 4 };
inline constexpr int playerIdCount = 5;  // Nobody and the four colours

// Where a node points. Adding 1 turns a quarter turn counter-clockwise on
// screen, subtracting 1 clockwise, adding 2 reverses.
using Direction = int32_t;
enum : Direction { East = 0, North = 1, West = 2, South = 3 };

struct Node {
  int32_t direction;
  int32_t owner;
  int32_t x;       // left edge of the node's cell on screen
  int32_t y;       // top edge of the node's cell on screen
  int32_t column;  // 0..N-1
  int32_t row;     // 0..N-1
  int32_t fuse;    // -1 idle; 0 fires at its next tick
  // Only the builds with burnout have these two; code reaches them through
  // withBurnout, so that every build compiles it.
#if SPINDREL_BURNOUT_ENABLED
  int32_t fireCount = 0;  // firings towards burnout; while burnt, passes to wait
  bool burnt = false;     // cannot be captured nor played
#endif

  // Draws its direction at random, like randomInt(4); the position fields
  // are filled in by createNodes.
  Node();

  // Runs action(node) where the record has the burnout fields and does
  // nothing elsewhere; the action is a lambda taking `auto& node`, so its
  // body compiles in every build.
  template <typename Action>
  void withBurnout(Action&& action) {
    if constexpr (revision::burnoutEnabled) action(*this);
  }
  template <typename Action>
  void withBurnout(Action&& action) const {
    if constexpr (revision::burnoutEnabled) action(*this);
  }

  bool isBurnt() const {
    bool result = false;
    withBurnout([&](const auto& node) { result = node.burnt; });
    return result;
  }

  // The cascade (board/cascade.cpp).
  void tickFuse();
  void fire();
  void turnAndFire(int sense);
  void tickBurnout();  // only called where burnout exists

  // Drawing (render/board_view.cpp).
  void drawConnector() const;
  void draw() const;
};

// board[column][row]; every loop over it runs column outer, row inner.
using Board = Node * [revision::boardSize][revision::boardSize];
extern Board board;

// The board order, the one rule every walk over the board follows: column
// outer, row inner. The timing of a cascade depends on it.
template <typename Visit>
void forEachCell(Visit&& visit) {
  for (int column = 0; column < revision::boardSize; ++column)
    for (int row = 0; row < revision::boardSize; ++row) visit(column, row);
}
template <typename Visit>
void forEachNode(Visit&& visit) {
  forEachCell([&](int column, int row) { visit(*board[column][row]); });
}

void createNodes();
void freeNodes();
int countNodes(PlayerId owner);

// The node at (column, row), or null off the board.
inline Node* nodeAt(int column, int row) {
  if (column < 0 || row < 0 || column >= revision::boardSize || row >= revision::boardSize)
    return nullptr;
  return board[column][row];
}

// One step from (column, row) in a direction (values outside 0..3 move nowhere).
inline void stepInDirection(Direction d, int& column, int& row) {
  switch (d) {
    case East: ++column; break;
    case North: --row; break;
    case West: --column; break;
    case South: ++row; break;
    default: break;
  }
}

// The neighbour a direction names, or null past the board's edge.
inline Node* neighbourOf(const Node& node, Direction d) {
  int column = node.column, row = node.row;
  stepInDirection(d, column, row);
  if (column == node.column && row == node.row) return nullptr;
  return nodeAt(column, row);
}

// Turns a direction by a signed amount, back into 0..3.
inline Direction turnedDirection(Direction d, int amount) {
  return static_cast<Direction>(((d + amount) % 4 + 4) % 4);
}

// The computer player: one look ahead, no memory.
#pragma once

#include "board/node.h"

// Which neighbours a computer move aims at.
enum MoveTarget : int {
  AnyForeign = 0,    // neutral and opponents' nodes alike
  OpponentOnly = 1,  // only nodes of another player
};

inline constexpr int noCandidate = 1000;  // above any real score

// Finds the player's node that points at an eligible neighbour in the fewest
// quarter turns (1..3) under the active turn sense. Returns that score and
// writes the node's column and row; returns 0 and leaves them untouched when
// there is no candidate. Among equal scores the first node in board order
// wins. Reads the board, changes nothing.
int findMove(PlayerId player, MoveTarget target, int& column, int& row);

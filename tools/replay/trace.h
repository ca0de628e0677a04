// The per-frame trace line:
//   T F settle current winner moves turns c0,c1,c2,c3,c4 BOARD
// BOARD holds five characters per node in board order: owner, direction,
// fuse ('.' when idle), fireCount and burnt ('b' or '-'); builds without
// burnout write '-' for the last two.
#pragma once

#include <cstddef>

#include "revisions/settings.h"

// Enough for the numbers in front and the board.
inline constexpr size_t traceLineCapacity = 160 + 5 * revision::nodeCount;

// Writes the line of frame F (with its newline) into buffer and returns its
// length. Reads the board and the game state; allocates nothing.
size_t formatTraceLine(char* buffer, long frame);

// The build settings of the program being compiled. The build passes the
// header of one deliverable as SPINDREL_REVISION_HEADER; nothing here can
// change at run time.
#pragma once

#ifndef SPINDREL_REVISION_HEADER
#error "SPINDREL_REVISION_HEADER names the settings header of the deliverable"
#endif
#include SPINDREL_REVISION_HEADER

namespace revision {
// Settings every deliverable shares.
inline constexpr int cellSize = 24;         // pixel pitch of the board's cells
inline constexpr int framesPerSecond = 60;  // the pace of the real game loop
inline constexpr int nodeCount = boardSize * boardSize;
inline constexpr int lastIndex = boardSize - 1;
inline constexpr int halfBoard = boardSize / 2;
inline constexpr int spriteSlotCount = burnoutEnabled ? 18 : 17;
}  // namespace revision

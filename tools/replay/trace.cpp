#include "tools/replay/trace.h"

#include <cstdio>

#include "board/board_text.h"
#include "board/cascade.h"
#include "game/game_state.h"

size_t formatTraceLine(char* buffer, long frame) {
  const GameState& g = *gameState;
  int length =
      std::snprintf(buffer, traceLineCapacity, "T %ld %d %d %d %d %d %d,%d,%d,%d,%d ", frame,
                    static_cast<int>(settleCountdown), static_cast<int>(g.currentPlayer),
                    static_cast<int>(winner), static_cast<int>(g.moveCount),
                    static_cast<int>(g.turnCount), static_cast<int>(g.nodeCounts[0]),
                    static_cast<int>(g.nodeCounts[1]), static_cast<int>(g.nodeCounts[2]),
                    static_cast<int>(g.nodeCounts[3]), static_cast<int>(g.nodeCounts[4]));
  char* out = writeBoardText(buffer + length);
  *out++ = '\n';
  return static_cast<size_t>(out - buffer);
}

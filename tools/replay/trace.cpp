#include "tools/replay/trace.h"

#include <cstdio>

#include "board/cascade.h"
#include "game/game_state.h"

namespace {
// A value that should be one digit; anything else shows up as '?'.
char digit(int value) { return value >= 0 && value <= 9 ? static_cast<char>('0' + value) : '?'; }
}  // namespace

size_t formatTraceLine(char* buffer, long frame) {
  const GameState& g = *gameState;
  int length =
      std::snprintf(buffer, traceLineCapacity, "T %ld %d %d %d %d %d %d,%d,%d,%d,%d ", frame,
                    static_cast<int>(settleCountdown), static_cast<int>(g.currentPlayer),
                    static_cast<int>(winner), static_cast<int>(g.moveCount),
                    static_cast<int>(g.turnCount), static_cast<int>(g.nodeCounts[0]),
                    static_cast<int>(g.nodeCounts[1]), static_cast<int>(g.nodeCounts[2]),
                    static_cast<int>(g.nodeCounts[3]), static_cast<int>(g.nodeCounts[4]));
  char* out = buffer + length;
  forEachNode([&](const Node& node) {
    *out++ = digit(node.owner);
    *out++ = digit(node.direction);
    *out++ = node.fuse == -1 ? '.' : digit(node.fuse);
    char fireCount = '-', burnt = '-';
    node.withBurnout([&](const auto& n) {
      fireCount = digit(n.fireCount);
      burnt = n.burnt ? 'b' : '-';
    });
    *out++ = fireCount;
    *out++ = burnt;
  });
  *out++ = '\n';
  return static_cast<size_t>(out - buffer);
}

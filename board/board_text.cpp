#include "board/board_text.h"

#include "board/node.h"

namespace {
// A value that should be one digit; anything else shows up as '?'.
char digit(int value) { return value >= 0 && value <= 9 ? static_cast<char>('0' + value) : '?'; }
}  // namespace

char* writeBoardText(char* out) {
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
  return out;
}

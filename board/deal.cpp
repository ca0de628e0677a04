// A new game on the existing board: random directions made symmetric, one
// starting node per player in its corner, fired at once.
#include "board/cascade.h"
#include "board/random.h"
#include "game/game_state.h"

namespace {
constexpr int last = revision::lastIndex;
constexpr int half = revision::halfBoard;

Direction& directionAt(int column, int row) { return board[column][row]->direction; }

// Sets the corner node's owner and direction and fires it.
void startFrom(int column, int row, PlayerId player, Direction direction) {
  Node* node = board[column][row];
  node->owner = player;
  node->direction = direction;
  node->fire();
}
}  // namespace

void GameState::newGame() {
  forEachNode([](Node& node) {
    node.direction = randomInt(4);
    node.fuse = -1;
    node.owner = Nobody;
    node.withBurnout([](auto& n) {
      n.burnt = false;
      n.fireCount = 0;
    });
  });

  if (!fourPlayers) {
    // The right half is the left half turned about the board's centre.
    for (int k = 0; k < half; ++k)
      for (int m = 0; m <= last; ++m)
        directionAt(last - k, last - m) = turnedDirection(directionAt(k, m), 2);
  } else {
    // The top-left quadrant turned by a half, a quarter counter-clockwise
    // and a quarter clockwise fills the other three.
    for (int k = 0; k < half; ++k) {
      for (int m = 0; m < half; ++m) {
        const Direction d = directionAt(k, m);
        directionAt(last - k, last - m) = turnedDirection(d, 2);
        directionAt(m, last - k) = turnedDirection(d, 1);
        directionAt(last - m, k) = turnedDirection(d, 3);
      }
    }
  }

  startFrom(0, 0, Blue, South);
  startFrom(last, last, Red, North);
  if (fourPlayers) {
    startFrom(0, last, Green, East);
    startFrom(last, 0, Yellow, West);
  }

  settleCountdown = settleAfterFiring;
  currentPlayer = randomInt(4) + 1;
  winner = 0;
  moveCount = 0;
  turnCount = 0;
  for (PlayerId id = 0; id < playerIdCount; ++id) nodeCounts[id] = countNodes(id);
}

#include "board/cascade.h"

#include "sound/sound.h"

int32_t settleCountdown = 0;

void Node::tickFuse() {
  if (fuse == 0) fire();
  if (--fuse < -1) fuse = -1;
}

namespace {
// A firing node captures a linked neighbour that belongs to someone else and
// is not burnt; the captured node fires after its fuse of 1 runs out.
void capture(Node* neighbour, PlayerId owner) {
  if (neighbour->owner != owner && !neighbour->isBurnt()) {
    neighbour->owner = owner;
    neighbour->fuse = 1;
  }
}
}  // namespace

void Node::fire() {
  withBurnout([](auto& node) { ++node.fireCount; });
  const int last = revision::lastIndex;
  Node* west = column != 0 ? board[column - 1][row] : nullptr;
  Node* east = column != last ? board[column + 1][row] : nullptr;
  Node* north = row != 0 ? board[column][row - 1] : nullptr;
  Node* south = row != last ? board[column][row + 1] : nullptr;

  // First the neighbours that point at this node, then the one it points at.
  if (west && west->direction == East) capture(west, owner);
  if (east && east->direction == West) capture(east, owner);
  if (north && north->direction == South) capture(north, owner);
  if (south && south->direction == North) capture(south, owner);
  if (west && direction == West) capture(west, owner);
  if (east && direction == East) capture(east, owner);
  if (north && direction == North) capture(north, owner);
  if (south && direction == South) capture(south, owner);

  settleCountdown = settleAfterFiring;

  // The eighth firing has captured like any other; now the node burns out.
  withBurnout([](auto& node) {
    if (node.fireCount == burnoutFiring) {
      node.owner = Nobody;
      node.burnt = true;
      node.fireCount = burnoutWait;
    }
  });
  playSound(1);
}

void Node::turnAndFire(int sense) {
  direction += sense;
  if (direction > 3) direction = 0;
  if (direction < 0) direction = 3;
  fire();
}

void tickAllFuses() {
  forEachNode([](Node& node) { node.tickFuse(); });
}

void Node::tickBurnout() {
  withBurnout([](auto& node) {
    if (node.burnt) --node.fireCount;
    if (node.fireCount == 0 && node.burnt) {
      node.burnt = false;
      node.fire();
    }
  });
}

void burnoutPass() {
  settleCountdown = settleAfterPause;
  forEachNode([](Node& node) { node.tickBurnout(); });
}

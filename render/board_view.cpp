#include "render/board_view.h"

#include "board/node.h"
#include "game/game_state.h"
#include "render/sprites.h"

void drawBackground() {
  for (int i = 0; i < revision::backgroundColumns; ++i)
    for (int j = 0; j < revision::backgroundRows; ++j) drawSprite(64 * i, 64 * j, SlotBackground);
}

void Node::drawConnector() const {
  const int last = revision::lastIndex;
  const bool offBoard = (column == 0 && direction == West) ||
                        (column == last && direction == East) || (row == 0 && direction == North) ||
                        (row == last && direction == South);
  if (!offBoard) drawSprite(x, y, SlotConnector + direction);
}

void Node::draw() const {
  // The arrow shows where the node will point after a click; the earlier
  // revisions show where it points now.
  Direction arrow = direction;
  if constexpr (revision::previewArrows) {
    arrow += gameState->turnSense > 0 ? 1 : (gameState->turnSense < 0 ? -1 : 0);
    if (arrow > 3) arrow = 0;
    if (arrow < 0) arrow = 3;
  }
  drawSprite(x, y, SlotBody + owner);
  if (isBurnt()) {
    if constexpr (revision::burnoutEnabled) drawSprite(x, y, SlotBurntMark);
  } else {
    drawSprite(x, y, SlotArrow + arrow);
  }
  if (fuse >= 0) drawSprite(x, y, SlotFiringMark);
}

void drawBoard() {
  forEachNode([](const Node& node) { node.drawConnector(); });
  forEachNode([](const Node& node) { node.draw(); });
}

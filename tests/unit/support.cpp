#include "tests/unit/support.h"

#include <gtest/gtest.h>

#include "app/shell.h"
#include "board/cascade.h"
#include "render/sprites.h"

void openTestScreen() { ASSERT_TRUE(screen || initVideo(32)) << SDL_GetError(); }

void loadTestSheets() {
  openTestScreen();
  ASSERT_TRUE((sheets[Font] && sheets[Ui] && sheets[Nodes]) || !loadSheets()) << SDL_GetError();
}

void fillBoard(PlayerId owner, Direction direction) {
  forEachCell([=](int c, int r) { put(c, r, owner, direction); });
}

Node* put(int column, int row, PlayerId owner, Direction direction) {
  Node* node = board[column][row];
  node->owner = owner;
  node->direction = direction;
  return node;
}

GameState& resetGame() {
  openTestScreen();
  if (!board[0][0]) createNodes();
  startSeededGame(1);
  gameState->firstDealDone = true;
  gameState->currentPlayer = Blue;
  for (Seat& seat : gameState->seats) seat.computer = false;
  forEachNode([](Node& node) {
    node.owner = Nobody;
    node.direction = East;
    node.fuse = -1;
    node.withBurnout([](auto& n) { n.fireCount = 0, n.burnt = false; });
  });
  settleCountdown = -1;
  SDL_Event stale;
  while (SDL_PollEvent(&stale)) continue;
  return *gameState;
}

void push(Uint8 type, int x, int y, int detail) {
  SDL_Event e{};
  e.type = type;
  if (type == SDL_MOUSEBUTTONDOWN) {
    e.button.button = static_cast<Uint8>(detail);
    e.button.state = SDL_PRESSED;
    e.button.x = static_cast<Uint16>(x);
    e.button.y = static_cast<Uint16>(y);
  } else if (type == SDL_MOUSEMOTION) {
    e.motion.x = static_cast<Uint16>(x);
    e.motion.y = static_cast<Uint16>(y);
  } else if (type == SDL_KEYDOWN || type == SDL_KEYUP) {
    e.key.keysym.sym = static_cast<SDLKey>(detail);
  }
  ASSERT_EQ(SDL_PushEvent(&e), 0);
}

std::string frame() {
  testing::internal::CaptureStdout();
  advanceGame();
  return testing::internal::GetCapturedStdout();
}

void clearScreen(uint32_t rgb) {
  SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, rgb >> 16, rgb >> 8 & 0xFF, rgb & 0xFF));
}

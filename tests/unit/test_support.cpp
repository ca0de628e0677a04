#include "tests/unit/test_support.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include "app/shell.h"
#include "board/cascade.h"
#include "game/game_state.h"
#include "render/sprites.h"

void openTestScreen() {
  if (screen) return;
  ASSERT_TRUE(initVideo(32)) << SDL_GetError();
}

void loadTestSheets() {
  openTestScreen();
  if (sheets[Font] && sheets[Ui] && sheets[Nodes]) return;
  ASSERT_EQ(loadSheets(), nullptr);
}

void resetGame() {
  if (!board[0][0]) createNodes();
  *gameState = GameState();
  for (int c = 0; c < revision::boardSize; ++c) {
    for (int r = 0; r < revision::boardSize; ++r) {
      Node* node = board[c][r];
      node->direction = East;
      node->owner = Nobody;
      node->fuse = -1;
#if SPINDREL_BURNOUT_ENABLED
      node->fireCount = 0;
      node->burnt = false;
#endif
    }
  }
  settleCountdown = -1;
  winner = 0;
  quitRequested = false;
}

uint32_t pixelAt(SDL_Surface* surface, int x, int y) {
  SDL_LockSurface(surface);
  const Uint8* row = static_cast<const Uint8*>(surface->pixels) + y * surface->pitch;
  Uint32 value = 0;
  switch (surface->format->BytesPerPixel) {
    case 1: value = row[x]; break;
    case 2: value = reinterpret_cast<const Uint16*>(row)[x]; break;
    case 3: value = row[3 * x] | row[3 * x + 1] << 8 | row[3 * x + 2] << 16; break;
    default: value = reinterpret_cast<const Uint32*>(row)[x]; break;
  }
  SDL_UnlockSurface(surface);
  Uint8 r, g, b;
  SDL_GetRGB(value, surface->format, &r, &g, &b);
  return static_cast<uint32_t>(r) << 16 | g << 8 | b;
}

void clearScreen(uint32_t rgb) {
  SDL_FillRect(screen, nullptr,
               SDL_MapRGB(screen->format, rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF));
}

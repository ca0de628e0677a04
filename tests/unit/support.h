// Shared set-up for the unit tests: one dummy display 32 bits deep, the
// generated sheets, one board, and input through SDL's own queue.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "game/game_state.h"

void openTestScreen();
// Loads the three sheets from the working directory (the build's bin/).
void loadTestSheets();
// Every node neutral, idle and pointing East with its burnout cleared; a
// fresh GameState whose first deal is done, four human seats, Blue to move;
// settleCountdown -1, no winner, no quit, no events waiting.
GameState& resetGame();
// Every node owned by one player and pointing one way.
void fillBoard(PlayerId owner, Direction direction);
Node* put(int column, int row, PlayerId owner, Direction direction);

void push(Uint8 type, int x = 0, int y = 0, int detail = SDL_BUTTON_LEFT);
inline void click(int x, int y) { push(SDL_MOUSEBUTTONDOWN, x, y); }
// One frame of the rules (update, then the fuse ticks) and what it printed.
std::string frame();
// A diagnostic line as this build prints it: nothing where diagnostics are off.
template <typename... Values>
std::string said(const char* format, Values... values) {
  char text[256];
  std::snprintf(text, sizeof text, format, values...);
  return revision::diagnosticsEnabled ? text : "";
}

void clearScreen(uint32_t rgb);

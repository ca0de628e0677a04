// Shared set-up for the unit tests: one dummy display, the generated sheets,
// one board. Each unit test binary is built against one deliverable.
#pragma once

#include <cstdint>

struct SDL_Surface;

// Opens the dummy display once, 32 bits deep (as on an Xvfb desktop).
void openTestScreen();
// Loads font.bmp, ui.bmp and nodes.bmp from the working directory (the
// build's bin/ folder) and fills the sprite table; once.
void loadTestSheets();
// Creates the board once; returns with every node neutral, idle, pointing
// East, burnout counters cleared, settleCountdown -1, winner 0, and a fresh
// GameState.
void resetGame();
// Reads one pixel of a surface as 0xRRGGBB.
uint32_t pixelAt(SDL_Surface* surface, int x, int y);
// Fills the whole screen with one colour.
void clearScreen(uint32_t rgb);

// The application shell: start-up, the frame loop and shutdown.
#pragma once

#include "game/game_state.h"  // quitRequested
#include "render/screen.h"    // screen
#include "revisions/settings.h"

extern const char* const windowCaption;

// Starts SDL and opens the window; false when there is no display surface.
// depth 0 takes the desktop's depth.
bool initVideo(int depth = 0);

// Start-up after "Program Started": board, cursor, sound, video, sheets,
// sprite table. False (with its message printed) when a step failed.
bool startUp();
// Frees the nodes, closes sound, quits SDL.
void shutDown();

// The rules' half of a frame: GameState::update, then every fuse tick.
void advanceGame();
// The picture of the current state, without presenting it.
void drawScene();
// One pass of the frame loop.
void runFrame();
// Waits until a 60th of a second has passed since the previous frame.
void paceFrame();
// A page cannot wait: it runs at the display's rate, and a display faster
// than the game's pace (120 Hz and up) skips the display frames that come
// sooner than this after the last pass, so the game keeps the desktop's
// speed; the few milliseconds under the game's period absorb the browser's
// jitter. The game page and the online page both pace by it.
inline constexpr double webFramePeriodMs = 1000.0 / revision::framesPerSecond;
inline constexpr double webShortestPassGapMs = webFramePeriodMs - 4.0;
// Runs runFrame until a quit is requested, then shuts down. The desktop
// loops here with paceFrame; the browser cannot block and runs one pass per
// display frame (app/frame_loop_desktop.cpp, app/frame_loop_web.cpp).
void runFrameLoop();
// Start-up, the paced frame loop until a quit is requested, shutdown.
int runProgram();

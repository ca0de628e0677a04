// The application shell: start-up, the frame loop and shutdown.
#pragma once

#include "game/game_state.h"  // quitRequested
#include "render/screen.h"    // screen

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
// Runs runFrame until a quit is requested, then shuts down. The desktop
// loops here with paceFrame; the browser cannot block and runs one pass per
// display frame (app/frame_loop_desktop.cpp, app/frame_loop_web.cpp).
void runFrameLoop();
// Start-up, the paced frame loop until a quit is requested, shutdown.
int runProgram();

// Records the blits the game makes, so that the same blits can be replayed
// with no game logic at all: the drawing floor.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <vector>

struct RecordedBlit {
  SDL_Surface* source;
  SDL_Rect sourceRect;
  SDL_Rect targetRect;
};

// The blits of one frame, in order.
using FrameBlits = std::vector<RecordedBlit>;

// While a list is set, every SDL_UpperBlit onto the screen is appended to it.
void recordBlitsInto(FrameBlits* frame);

// Replays one frame's blits onto the screen.
void replayBlits(const FrameBlits& frame, SDL_Surface* target);

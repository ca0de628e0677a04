// A replay script: the seed, the number of frames and the events and
// screenshots of each frame, read and checked before any frame runs.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

// Events queued before GameState::update of one frame, in script order.
struct ScriptEvent {
  int frame;
  int line;
  SDL_Event event;
};

// A BMP of the screen saved after one frame has been drawn.
struct ScriptScreenshot {
  int frame;
  int line;
  std::string path;
};

struct Script {
  uint32_t seed = 1;
  int frames = 0;
  std::vector<ScriptEvent> events;            // ordered by frame, then by line
  std::vector<ScriptScreenshot> screenshots;  // ordered by frame, then by line
};

// SDL keeps at most 127 events waiting; a frame may queue this many.
inline constexpr int maxEventsPerFrame = 100;

// Reads a whole script. On a malformed line returns false with error set to
// "line N: what is wrong".
bool parseScript(std::istream& in, Script& script, std::string& error);

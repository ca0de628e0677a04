// A replay script: the seed, the number of frames and the events and
// screenshots of each frame, read and checked before any frame runs. One
// command a line; blank lines and lines starting with '#' are skipped:
//   seed S                    seeds the generator right before the board is made (default 1)
//   frames N                  runs frames 1..N (fewer when the game quits)
//   at F click X Y            a left-button press, queued before frame F's update
//   at F button B X Y         the same with button B (1 to 5)
//   at F motion X Y           a mouse motion
//   at F key NAME / keyup NAME   escape, space, return, a lowercase letter or a digit
//   at F quit                 the window's close request
//   at F screenshot PATH      a BMP of the screen drawn after frame F
// seed and frames may each be given once; every F lies in 1..N.
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

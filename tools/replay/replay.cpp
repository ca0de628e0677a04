// spindrel-replay: plays a script through the game's own frame logic on SDL's
// dummy display, without sound, and prints one trace line per frame on
// standard output, with the game's own diagnostic lines where it prints them.
// The script is its only input: SDL's own events never reach the game.
//
//   spindrel-replay [SCRIPT]     (the script is read from standard input
//                                 when no path is given)
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "app/shell.h"
#include "board/node.h"
#include "board/random.h"
#include "render/sprites.h"
#include "tools/replay/input.h"
#include "tools/replay/output.h"
#include "tools/replay/script.h"
#include "tools/replay/trace.h"

namespace {
const char* toolName = "spindrel-replay";  // the name it was started by, for messages

int failWith(const std::string& message, int code) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s: %s\n", toolName, message.c_str());
  return code;
}

// Output in large blocks: a long game writes tens of megabytes.
char outputBuffer[1 << 20];
char traceLine[traceLineCapacity];
}  // namespace

int main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
  if (argc > 0 && argv[0][0]) {
    const char* slash = std::strrchr(argv[0], '/');
    toolName = slash ? slash + 1 : argv[0];
  }

  if (argc > 2) return failWith(std::string("usage: ") + toolName + " [SCRIPT]", 2);
  Script script;
  std::string error;
  if (argc == 2) {
    std::ifstream file(argv[1]);
    if (!file) return failWith(std::string("cannot read ") + argv[1], 2);
    if (!parseScript(file, script, error)) return failWith(error, 1);
  } else if (!parseScript(std::cin, script, error)) {
    return failWith(error, 1);
  }

  gameSrand(script.seed);
  createNodes();
  if (!initVideo(32)) return failWith(std::string("no dummy display: ") + SDL_GetError(), 1);
  admitOnlyScriptEvents();
  if (!script.screenshots.empty()) {
    // The sheets the drawing code needs, loaded only when a screenshot asks.
    if (const SheetFile* missing = loadSheets())
      return failWith("line " + std::to_string(script.screenshots.front().line) +
                          ": a screenshot needs " + missing->path + " in the working directory",
                      1);
  }

  size_t nextEvent = 0, nextShot = 0;
  int code = 0;
  for (int frame = 1; frame <= script.frames && !quitRequested; ++frame) {
    for (; nextEvent < script.events.size() && script.events[nextEvent].frame == frame;
         ++nextEvent) {
      if (pushScriptEvent(script.events[nextEvent].event) != 0) {
        code = failWith(
            "line " + std::to_string(script.events[nextEvent].line) + ": SDL's event queue is full",
            1);
        break;
      }
    }
    if (code != 0) break;

    advanceGame();
    std::fwrite(traceLine, 1, formatTraceLine(traceLine, frame), stdout);

    if (nextShot < script.screenshots.size() && script.screenshots[nextShot].frame == frame)
      drawScene();
    for (; nextShot < script.screenshots.size() && script.screenshots[nextShot].frame == frame;
         ++nextShot) {
      const ScriptScreenshot& shot = script.screenshots[nextShot];
      if (saveScreenshot(shot.path.c_str()) != 0) {
        code = failWith("line " + std::to_string(shot.line) + ": cannot save " + shot.path + ": " +
                            SDL_GetError(),
                        1);
        break;
      }
    }
    if (code != 0) break;
  }

  return endReplay(code);
}

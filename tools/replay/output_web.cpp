#include <SDL.h>

#include <cstdio>

#include "app/shell.h"
#include "render/sprites.h"
#include "tools/replay/output.h"

// A page has no folder to write into: a screenshot is the canvas, shown as
// drawn (the last one stays until the run ends).
int saveScreenshot(const char*) { return SDL_Flip(screen); }

// The page shows the last frame, drawn as a screenshot of it would be, and
// says when the run is over: its lines are the console's, and a page has no
// exit code to wait for.
int endReplay(int code) {
  if (code == 0) {
    const SheetFile* missing = sheets[Font] ? nullptr : loadSheets();
    if (missing) {
      std::fflush(stdout);
      std::fprintf(stderr, "spindrel-replay: the last frame needs %s\n", missing->path);
      return 1;
    }
    drawScene();
    SDL_Flip(screen);
  }
  std::fflush(stdout);
  if (code == 0) std::puts("replay: done");
  std::fflush(stdout);
  return code;
}

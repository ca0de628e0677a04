#include <SDL.h>

#include <cstdio>

#include "render/screen.h"
#include "tools/replay/output.h"

int saveScreenshot(const char* path) { return SDL_SaveBMP(screen, path); }

int endReplay(int code) {
  std::fflush(stdout);
  SDL_Quit();
  return code;
}

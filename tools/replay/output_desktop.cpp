#include <SDL.h>

#include <cstdio>

#include "tools/replay/ending.h"

int endReplay(int code) {
  std::fflush(stdout);
  SDL_Quit();
  return code;
}

#include <SDL.h>

#include "render/pixels.h"
#include "render/sheet_key.h"

SDL_Surface* keyedSheet(SDL_Surface* loaded) {
  SDL_Surface* converted = SDL_DisplayFormat(loaded);
  SDL_FreeSurface(loaded);
  if (!converted) return nullptr;

  // The key is the top-left pixel, read from the converted sheet itself: the
  // colour it has there, stray bytes included, is exactly what the blits
  // compare against, whatever format the bitmap came in.
  SDL_LockSurface(converted);
  const Uint32 key = readPixel(converted, 0, 0);
  SDL_UnlockSurface(converted);
  SDL_SetColorKey(converted, SDL_SRCCOLORKEY | SDL_RLEACCEL, key);
  return converted;
}

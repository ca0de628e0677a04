#include <SDL.h>

#include "render/pixels.h"
#include "render/sheet_key.h"

// The browser's SDL has no colour keys and no SDL_DisplayFormat, but it
// blends a 32-bit sheet by its alpha. So the sheet becomes a 32-bit copy in
// which the key colour is fully transparent and everything else fully
// opaque: each blit then draws exactly the pixels the desktop draws.
SDL_Surface* keyedSheet(SDL_Surface* loaded) {
  SDL_Surface* converted = SDL_DisplayFormatAlpha(loaded);
  SDL_FreeSurface(loaded);
  if (!converted) return nullptr;
  if (converted->format->BytesPerPixel != 4 || converted->format->Amask == 0) {
    SDL_FreeSurface(converted);
    return nullptr;
  }

  SDL_LockSurface(converted);
  const Uint32 alpha = converted->format->Amask;
  const Uint32 key = readPixel(converted, 0, 0) & ~alpha;
  for (int y = 0; y < converted->h; ++y) {
    Uint32* row =
        reinterpret_cast<Uint32*>(static_cast<Uint8*>(converted->pixels) + y * converted->pitch);
    for (int x = 0; x < converted->w; ++x)
      row[x] = (row[x] & ~alpha) == key ? row[x] & ~alpha : row[x] | alpha;
  }
  SDL_UnlockSurface(converted);
  SDL_SetAlpha(converted, SDL_SRCALPHA, SDL_ALPHA_OPAQUE);
  return converted;
}

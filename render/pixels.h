// Reading one pixel of a surface, whatever its bytes per pixel. The surface
// must be locked where SDL asks for it (SDL_MUSTLOCK).
#pragma once

#include <SDL.h>

#include <cstdint>

// The pixel as stored: the value the surface's format maps colours to.
inline Uint32 readPixel(const SDL_Surface* surface, int x, int y) {
  const Uint8* p = static_cast<const Uint8*>(surface->pixels) + y * surface->pitch +
                   x * surface->format->BytesPerPixel;
  switch (surface->format->BytesPerPixel) {
    case 1: return p[0];
    case 2: return *reinterpret_cast<const Uint16*>(p);
    case 3:
      return SDL_BYTEORDER == SDL_LIL_ENDIAN ? p[0] | p[1] << 8 | p[2] << 16
                                             : p[2] | p[1] << 8 | p[0] << 16;
    default: return *reinterpret_cast<const Uint32*>(p);
  }
}

// The pixel as 0xRRGGBB.
inline uint32_t readRgb(const SDL_Surface* surface, int x, int y) {
  Uint8 r, g, b;
  SDL_GetRGB(readPixel(surface, x, y), surface->format, &r, &g, &b);
  return uint32_t(r) << 16 | uint32_t(g) << 8 | b;
}

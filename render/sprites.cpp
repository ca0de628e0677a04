#include "render/sprites.h"

#include <SDL.h>

#include "app/shell.h"

SDL_Surface* sheets[sheetCount] = {nullptr, nullptr, nullptr};
SpriteSlot SpriteTable[revision::spriteSlotCount];

namespace {
// The top-left pixel as stored, read with the surface's own width.
Uint32 topLeftPixel(SDL_Surface* surface) {
  const Uint8* p = static_cast<const Uint8*>(surface->pixels);
  switch (surface->format->BytesPerPixel) {
    case 1: return p[0];
    case 2: return *reinterpret_cast<const Uint16*>(p);
    case 3:
      return SDL_BYTEORDER == SDL_LIL_ENDIAN ? p[0] | p[1] << 8 | p[2] << 16
                                             : p[2] | p[1] << 8 | p[0] << 16;
    default: return *reinterpret_cast<const Uint32*>(p);
  }
}
}  // namespace

bool loadSheet(const char* path, SheetId sheet) {
  SDL_Surface* loaded = SDL_LoadBMP_RW(SDL_RWFromFile(path, "rb"), 1);
  sheets[sheet] = nullptr;
  if (!loaded) return false;
  if (loaded->w <= 0 || loaded->h <= 0 || !loaded->pixels) {
    SDL_FreeSurface(loaded);
    return false;
  }

  SDL_Surface* converted = SDL_DisplayFormat(loaded);
  SDL_FreeSurface(loaded);
  if (!converted) return false;
  sheets[sheet] = converted;

  // The key is the top-left pixel, read from the converted sheet itself: the
  // colour it has there, stray bytes included, is exactly what the blits
  // compare against, whatever format the bitmap came in.
  SDL_LockSurface(converted);
  const Uint32 key = topLeftPixel(converted);
  SDL_UnlockSurface(converted);
  SDL_SetColorKey(converted, SDL_SRCCOLORKEY | SDL_RLEACCEL, key);
  return true;
}

void setSprite(int32_t slot, int32_t sheet, int32_t srcX, int32_t srcY, int32_t width,
               int32_t height, int32_t hotX, int32_t hotY) {
  SpriteTable[slot] = SpriteSlot{sheet, srcY, srcX, width, height, hotX, hotY};
}

void initSprites() {
  for (int owner = 0; owner < 5; ++owner)
    setSprite(SlotBody + owner, Nodes, 25 * owner, 0, 23, 23, 0, 0);
  setSprite(SlotPointer, Ui, 0, 31, 23, 22, 0, 0);
  setSprite(SlotBackground, Ui, 0, 53, 64, 64, 0, 0);
  setSprite(SlotPanel, Ui, 64, 0, 200, 600, 0, 0);
  for (int d = 0; d < 4; ++d) setSprite(SlotArrow + d, Nodes, 125 + 25 * d, 0, 23, 23, 0, 0);
  // The horizontal and the vertical bar, each used for both of its
  // directions; the hot-spot moves it 12 pixels toward the neighbour.
  setSprite(SlotConnector + 0, Nodes, 225, 0, 23, 23, -12, 0);
  setSprite(SlotConnector + 1, Nodes, 250, 0, 23, 23, 0, 12);
  setSprite(SlotConnector + 2, Nodes, 225, 0, 23, 23, 12, 0);
  setSprite(SlotConnector + 3, Nodes, 250, 0, 23, 23, 0, -12);
  setSprite(SlotFiringMark, Nodes, 275, 0, 25, 25, 0, 0);
#if SPINDREL_BURNOUT_ENABLED
  setSprite(SlotBurntMark, Nodes, 300, 0, 25, 25, 0, 0);
#endif
}

void drawSprite(int32_t x, int32_t y, int32_t slot) {
  const SpriteSlot& s = SpriteTable[slot];
  SDL_Rect source{static_cast<Sint16>(s.srcX), static_cast<Sint16>(s.srcY),
                  static_cast<Uint16>(s.width), static_cast<Uint16>(s.height)};
  SDL_Rect target{static_cast<Sint16>(x - s.hotX), static_cast<Sint16>(y - s.hotY),
                  static_cast<Uint16>(s.width), static_cast<Uint16>(s.height)};
  SDL_UpperBlit(sheets[s.sheet], &source, screen, &target);
}

#include "render/sprites.h"

#include <SDL.h>

#include "render/screen.h"
#include "render/sheet_key.h"
#include "render/sheet_layout.h"

SDL_Surface* sheets[sheetCount] = {nullptr, nullptr, nullptr};
SpriteSlot SpriteTable[revision::spriteSlotCount];

const SheetFile sheetFiles[sheetCount] = {
    {"font.bmp", Font, "Couldn't load FONT\n"},
    {"ui.bmp", Ui, "Couldn't load UI\n"},
    {"nodes.bmp", Nodes, "Couldn't load NODES\n"},
};

bool loadSheet(const char* path, SheetId sheet) {
  SDL_Surface* loaded = SDL_LoadBMP_RW(SDL_RWFromFile(path, "rb"), 1);
  sheets[sheet] = nullptr;
  if (!loaded) return false;
  if (loaded->w <= 0 || loaded->h <= 0 || !loaded->pixels) {
    SDL_FreeSurface(loaded);
    return false;
  }

  SDL_Surface* keyed = keyedSheet(loaded);
  if (!keyed) return false;
  sheets[sheet] = keyed;
  return true;
}

const SheetFile* loadSheets() {
  for (const SheetFile& file : sheetFiles)
    if (!loadSheet(file.path, file.sheet)) return &file;
  initSprites();
  return nullptr;
}

void setSprite(int32_t slot, int32_t sheet, int32_t srcX, int32_t srcY, int32_t width,
               int32_t height, int32_t hotX, int32_t hotY) {
  SpriteTable[slot] = SpriteSlot{sheet, srcY, srcX, width, height, hotX, hotY};
}

void initSprites() {
  using namespace layout;
  const int node = nodePicture, mark = markPicture;
  for (int owner = 0; owner < 5; ++owner)
    setSprite(SlotBody + owner, Nodes, bodyX(owner), 0, node, node, 0, 0);
  setSprite(SlotPointer, Ui, pointer.x, pointer.y, pointer.width, pointer.height, 0, 0);
  setSprite(SlotBackground, Ui, backgroundTile.x, backgroundTile.y, backgroundTile.width,
            backgroundTile.height, 0, 0);
  setSprite(SlotPanel, Ui, panel.x, panel.y, panel.width, panel.height, 0, 0);
  for (int d = 0; d < 4; ++d) setSprite(SlotArrow + d, Nodes, arrowX(d), 0, node, node, 0, 0);
  // The horizontal and the vertical bar, each used for both of its
  // directions; the hot-spot moves it toward the neighbour.
  const int reach = connectorReach;
  setSprite(SlotConnector + 0, Nodes, horizontalConnectorX, 0, node, node, -reach, 0);
  setSprite(SlotConnector + 1, Nodes, verticalConnectorX, 0, node, node, 0, reach);
  setSprite(SlotConnector + 2, Nodes, horizontalConnectorX, 0, node, node, reach, 0);
  setSprite(SlotConnector + 3, Nodes, verticalConnectorX, 0, node, node, 0, -reach);
  setSprite(SlotFiringMark, Nodes, firingMarkX, 0, mark, mark, 0, 0);
  if constexpr (revision::burnoutEnabled)
    setSprite(SlotBurntMark, Nodes, burntMarkX, 0, mark, mark, 0, 0);
}

void drawSprite(int32_t x, int32_t y, int32_t slot) {
  const SpriteSlot& s = SpriteTable[slot];
  SDL_Rect source{static_cast<Sint16>(s.srcX), static_cast<Sint16>(s.srcY),
                  static_cast<Uint16>(s.width), static_cast<Uint16>(s.height)};
  SDL_Rect target{static_cast<Sint16>(x - s.hotX), static_cast<Sint16>(y - s.hotY),
                  static_cast<Uint16>(s.width), static_cast<Uint16>(s.height)};
  SDL_UpperBlit(sheets[s.sheet], &source, screen, &target);
}

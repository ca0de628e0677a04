// The three bitmap sheets and the sprite table: every picture of the game is
// a numbered rectangle of a sheet, drawn with a hot-spot offset.
#pragma once

#include <cstdint>

#include "revisions/settings.h"

struct SDL_Surface;

enum SheetId : int32_t { Ui = 0, Nodes = 1, Font = 2 };
inline constexpr int sheetCount = 3;

// The sheets converted to the display format; null until loaded.
extern SDL_Surface* sheets[sheetCount];

// Note the order: y ahead of x.
struct SpriteSlot {
  int32_t sheet;
  int32_t srcY;
  int32_t srcX;
  int32_t width;
  int32_t height;
  int32_t hotX;  // subtracted from the drawing point
  int32_t hotY;
};

// Slots: bodies by owner, then the pointer, background, panel, arrows and
// connectors by direction, and the marks.
enum : int32_t {
  SlotBody = 0,  // + owner
  SlotPointer = 5,
  SlotBackground = 6,
  SlotPanel = 7,
  SlotArrow = 8,       // + direction
  SlotConnector = 12,  // + direction
  SlotFiringMark = 16,
  SlotBurntMark = 17,  // only where burnout exists
};

extern SpriteSlot SpriteTable[revision::spriteSlotCount];

// A sheet's file and the line that reports its failure.
struct SheetFile {
  const char* path;
  SheetId sheet;
  const char* failure;
};
// In loading order: font, interface, nodes.
extern const SheetFile sheetFiles[sheetCount];

// Loads a BMP, converts it to the display format and keys it with the colour
// of its top-left pixel. False when the file is not a usable bitmap.
bool loadSheet(const char* path, SheetId sheet);
// Loads the three sheets in order from the working directory, stopping at
// the first that fails, then fills the sprite table. Null when all loaded,
// otherwise the file that failed.
const SheetFile* loadSheets();
void initSprites();
void setSprite(int32_t slot, int32_t sheet, int32_t srcX, int32_t srcY, int32_t width,
               int32_t height, int32_t hotX, int32_t hotY);
// Copies the slot's rectangle so that its corner lands at (x - hotX, y - hotY).
void drawSprite(int32_t x, int32_t y, int32_t slot);

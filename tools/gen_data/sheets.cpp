// The three bitmap sheets.
#include <SDL.h>

#include "tools/gen_data/gen_data.h"

namespace {
SDL_Surface* makeSheet(int w, int h, Uint32 key) {
  SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  SDL_FillRect(s, nullptr, key);
  return s;
}
void box(SDL_Surface* s, int x, int y, int w, int h, Uint32 c) {
  SDL_Rect r{(Sint16)x, (Sint16)y, (Uint16)w, (Uint16)h};
  SDL_FillRect(s, &r, c);
}
}  // namespace

bool writeSheets(const std::string& dir) {
  const Uint32 key = 0xFF00FF;
  SDL_Surface* font = makeSheet(256, 128, key);
  for (int c = 33; c < 127; ++c) box(font, 16 * (c % 16) + 2, 16 * (c / 16) + 3, 5, 9, 0xFFFFFF);
  SDL_Surface* ui = makeSheet(264, 600, key);
  box(ui, 0, 31, 10, 16, 0xFFFFFF);
  box(ui, 0, 53, 64, 64, 0x202830);
  box(ui, 64, 0, 200, 600, 0x303848);
  SDL_Surface* nodes = makeSheet(325, 25, key);
  const Uint32 colours[] = {0x808080, 0x3060FF, 0xE03030, 0x30C040, 0xE0D030};
  for (int i = 0; i < 5; ++i) box(nodes, 25 * i + 2, 2, 19, 19, colours[i]);
  for (int d = 0; d < 4; ++d) box(nodes, 125 + 25 * d + 9, 9, 5, 5, 0x000000);
  box(nodes, 225, 10, 23, 3, 0xC0C0C0);
  box(nodes, 260, 0, 3, 23, 0xC0C0C0);
  box(nodes, 275, 0, 25, 2, 0xFFFFFF);
  box(nodes, 300, 0, 25, 25, 0x000000);
  bool ok = SDL_SaveBMP(font, (dir + "/font.bmp").c_str()) == 0 &&
            SDL_SaveBMP(ui, (dir + "/ui.bmp").c_str()) == 0 &&
            SDL_SaveBMP(nodes, (dir + "/nodes.bmp").c_str()) == 0;
  return ok;
}

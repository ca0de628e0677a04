#include "tools/gen_data/canvas.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

Colour rgb(int r, int g, int b) {
  auto clamp = [](int v) { return static_cast<Colour>(std::min(255, std::max(0, v))); };
  return clamp(r) << 16 | clamp(g) << 8 | clamp(b);
}

Colour mix(Colour a, Colour b, double t) {
  auto channel = [&](int shift) {
    const double from = (a >> shift) & 0xFF, to = (b >> shift) & 0xFF;
    return static_cast<int>(from + (to - from) * t + 0.5);
  };
  return rgb(channel(16), channel(8), channel(0));
}

Canvas::Canvas(int width, int height, Colour key)
    : width_(width), height_(height), key_(key), pixels_(width * height, key) {}

void Canvas::set(int x, int y, Colour c) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  pixels_[y * width_ + x] = c == key_ ? c ^ 1 : c;
}

void Canvas::fill(int x, int y, int w, int h, Colour c) {
  for (int j = y; j < y + h; ++j)
    for (int i = x; i < x + w; ++i) set(i, j, c);
}

void Canvas::frame(int x, int y, int w, int h, Colour c) {
  fill(x, y, w, 1, c);
  fill(x, y + h - 1, w, 1, c);
  fill(x, y, 1, h, c);
  fill(x + w - 1, y, 1, h, c);
}

void Canvas::bevel(int x, int y, int w, int h, Colour light, Colour dark) {
  fill(x, y, w - 1, 1, light);
  fill(x, y, 1, h - 1, light);
  fill(x + 1, y + h - 1, w - 1, 1, dark);
  fill(x + w - 1, y + 1, 1, h - 1, dark);
}

bool Canvas::save(const std::string& path) const {
  // A 24-bit bitmap, blue-green-red in the file, as most painters write it.
  SDL_Surface* surface =
      SDL_CreateRGBSurface(SDL_SWSURFACE, width_, height_, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0);
  if (!surface) return false;
  SDL_LockSurface(surface);
  for (int y = 0; y < height_; ++y) {
    Uint8* row = static_cast<Uint8*>(surface->pixels) + y * surface->pitch;
    for (int x = 0; x < width_; ++x) {
      const Colour c = pixels_[y * width_ + x];
      const Uint8 bytes[3] = {static_cast<Uint8>(c >> 16), static_cast<Uint8>(c >> 8),
                              static_cast<Uint8>(c)};
      // Rmask 0xFF0000 in a 3-byte pixel: red is the highest byte.
      for (int i = 0; i < 3; ++i)
        row[3 * x + i] = SDL_BYTEORDER == SDL_LIL_ENDIAN ? bytes[2 - i] : bytes[i];
    }
  }
  SDL_UnlockSurface(surface);
  const bool ok = SDL_SaveBMP(surface, path.c_str()) == 0;
  SDL_FreeSurface(surface);
  return ok;
}

void drawArt(Canvas& canvas, int x, int y, const char* const* rows, int rowCount,
             const char* palette, const Colour* colours) {
  for (int j = 0; j < rowCount; ++j) {
    for (int i = 0; rows[j][i] != '\0'; ++i) {
      const char ch = rows[j][i];
      if (ch == '.' || ch == ' ') continue;
      const char* found = std::strchr(palette, ch);
      if (found) canvas.set(x + i, y + j, colours[found - palette]);
    }
  }
}

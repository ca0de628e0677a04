// Pixel checks for the drawing tests. Expected pictures are composed from
// the sheet files themselves (read afresh, unconverted), so the tests hold
// whatever the artwork looks like.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/shell.h"
#include "render/sprites.h"

namespace render_check {

// A picture as 0xRRGGBB values, row by row.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;

  Image() = default;
  Image(int w, int h, uint32_t fill) : width(w), height(h), pixels(size_t(w) * h, fill) {}
  bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  uint32_t at(int x, int y) const { return pixels[size_t(y) * width + x]; }
  uint32_t& at(int x, int y) { return pixels[size_t(y) * width + x]; }
};

inline Image readSurface(SDL_Surface* surface) {
  Image image(surface->w, surface->h, 0);
  SDL_LockSurface(surface);
  const SDL_PixelFormat* format = surface->format;
  for (int y = 0; y < surface->h; ++y) {
    const Uint8* row = static_cast<const Uint8*>(surface->pixels) + y * surface->pitch;
    for (int x = 0; x < surface->w; ++x) {
      Uint32 value;
      switch (format->BytesPerPixel) {
        case 1: value = row[x]; break;
        case 2: value = reinterpret_cast<const Uint16*>(row)[x]; break;
        case 3: value = row[3 * x] | row[3 * x + 1] << 8 | row[3 * x + 2] << 16; break;
        default: value = reinterpret_cast<const Uint32*>(row)[x]; break;
      }
      Uint8 r, g, b;
      SDL_GetRGB(value, surface->format, &r, &g, &b);
      image.at(x, y) = uint32_t(r) << 16 | g << 8 | b;
    }
  }
  SDL_UnlockSurface(surface);
  return image;
}

inline Image grabScreen() { return readSurface(screen); }

// A sheet file as stored, with its key colour (the top-left pixel).
struct SheetImage {
  Image image;
  uint32_t key = 0;
};

inline const SheetImage& sheetImage(int sheet) {
  static SheetImage files[sheetCount];
  static bool loaded[sheetCount] = {};
  static const char* const paths[sheetCount] = {"ui.bmp", "nodes.bmp", "font.bmp"};
  if (!loaded[sheet]) {
    SDL_Surface* surface = SDL_LoadBMP(paths[sheet]);
    EXPECT_NE(surface, nullptr) << paths[sheet];
    if (surface) {
      files[sheet].image = readSurface(surface);
      files[sheet].key = files[sheet].image.at(0, 0);
      SDL_FreeSurface(surface);
    }
    loaded[sheet] = true;
  }
  return files[sheet];
}

// Copies a rectangle of a sheet onto a picture the way a keyed blit does:
// key-coloured pixels are left out, and both sides clip.
inline void overlay(Image& canvas, int sheet, int srcX, int srcY, int width, int height, int dstX,
                    int dstY) {
  const SheetImage& file = sheetImage(sheet);
  for (int dy = 0; dy < height; ++dy) {
    for (int dx = 0; dx < width; ++dx) {
      const int sx = srcX + dx, sy = srcY + dy;
      if (!file.image.contains(sx, sy) || !canvas.contains(dstX + dx, dstY + dy)) continue;
      const uint32_t colour = file.image.at(sx, sy);
      if (colour != file.key) canvas.at(dstX + dx, dstY + dy) = colour;
    }
  }
}

// A sprite slot drawn at a point, with the hot-spot the table gives it.
inline void overlaySlot(Image& canvas, int slot, int x, int y) {
  const SpriteSlot& s = SpriteTable[slot];
  overlay(canvas, s.sheet, s.srcX, s.srcY, s.width, s.height, x - s.hotX, y - s.hotY);
}

// Text as the font defines it: one 15 x 15 picture per character from the
// 16 x 16 grid, 7 pixels apart; later characters lie over earlier ones.
inline void overlayText(Image& canvas, int x, int y, const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char code = static_cast<unsigned char>(text[i]);
    if (code >= 128) continue;  // no glyph, only the pen moves
    overlay(canvas, Font, 16 * (code % 16) + 1, 16 * (code / 16) + 1, 15, 15, x + 7 * int(i), y);
  }
}

// Pixels of a slot's rectangle that are not the key colour.
inline int inkCount(int slot) {
  const SpriteSlot& s = SpriteTable[slot];
  const SheetImage& file = sheetImage(s.sheet);
  int count = 0;
  for (int y = s.srcY; y < s.srcY + s.height; ++y)
    for (int x = s.srcX; x < s.srcX + s.width; ++x)
      if (file.image.contains(x, y) && file.image.at(x, y) != file.key) ++count;
  return count;
}

// Compares two pictures inside a rectangle (clipped to both); reports the
// number of differing pixels and the first of them.
inline ::testing::AssertionResult sameIn(const Image& actual, const Image& expected, int x0, int y0,
                                         int width, int height) {
  int differing = 0;
  std::string first;
  for (int y = y0; y < y0 + height; ++y) {
    for (int x = x0; x < x0 + width; ++x) {
      if (!actual.contains(x, y) || !expected.contains(x, y)) continue;
      if (actual.at(x, y) == expected.at(x, y)) continue;
      if (differing++ == 0) {
        char text[96];
        std::snprintf(text, sizeof text, "first at (%d, %d): drawn %06X, expected %06X", x, y,
                      actual.at(x, y), expected.at(x, y));
        first = text;
      }
    }
  }
  if (differing == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << differing << " pixels differ, " << first;
}

inline ::testing::AssertionResult same(const Image& actual, const Image& expected) {
  return sameIn(actual, expected, 0, 0, actual.width, actual.height);
}

// A colour used as ink in none of the sheets, so that an untouched pixel of
// the screen is never mistaken for a drawn one.
inline uint32_t unusedColour() {
  static uint32_t colour = 0;
  static bool found = false;
  if (!found) {
    std::vector<bool> used(1u << 24, false);
    for (int sheet = 0; sheet < sheetCount; ++sheet)
      for (uint32_t c : sheetImage(sheet).image.pixels) used[c] = true;
    for (uint32_t c = 0x102030; c < (1u << 24); ++c) {
      if (!used[c]) {
        colour = c;
        break;
      }
    }
    found = true;
  }
  return colour;
}

// A cleared screen and the same picture as an expectation to draw into.
inline Image clearedScreen() {
  const uint32_t c = unusedColour();
  SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, c >> 16, (c >> 8) & 0xFF, c & 0xFF));
  return Image(screen->w, screen->h, c);
}

}  // namespace render_check

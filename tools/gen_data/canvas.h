// A plain RGB picture to draw the sheets into, pixel by pixel, and the few
// drawing helpers the artwork needs. Colours are 0xRRGGBB.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Colour = uint32_t;

Colour rgb(int r, int g, int b);
// a when t = 0, b when t = 1.
Colour mix(Colour a, Colour b, double t);

class Canvas {
 public:
  // Every pixel starts as the transparent key.
  Canvas(int width, int height, Colour key);

  Colour key() const { return key_; }

  // Pixels outside the canvas are ignored. Ink is never the key: a colour
  // that equals it is moved by one step of blue.
  void set(int x, int y, Colour c);

  void fill(int x, int y, int w, int h, Colour c);
  // The one-pixel outline of a rectangle.
  void frame(int x, int y, int w, int h, Colour c);
  // A raised (light top-left, dark bottom-right) or, with the colours
  // swapped, sunken one-pixel edge inside the rectangle.
  void bevel(int x, int y, int w, int h, Colour light, Colour dark);

  // Writes a BMP file; false when it cannot be written.
  bool save(const std::string& path) const;

 private:
  int width_, height_;
  Colour key_;
  std::vector<Colour> pixels_;
};

// Draws string art: one text row per pixel row, '.' or ' ' leaves the pixel
// alone, any other character is looked up in the palette string (the
// character at index i takes colours[i]).
void drawArt(Canvas& canvas, int x, int y, const char* const* rows, int rowCount,
             const char* palette, const Colour* colours);

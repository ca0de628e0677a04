// The game's own pixel font: printable ASCII on a 5 x 9 grid (capitals and
// digits 7 high, lower case with descenders two rows below the baseline).
#pragma once

#include "tools/gen_data/canvas.h"

inline constexpr int glyphWidth = 5;
inline constexpr int glyphHeight = 9;

// Whether the glyph of a code has ink at (column, row) of its grid; false
// outside the grid and for codes without a picture.
bool glyphPixel(int code, int column, int row);

// One character with its top-left grid corner at (x, y), each grid pixel a
// scale x scale block, with a one-block shadow to the lower right (none when
// shadow equals the canvas key).
void drawGlyph(Canvas& canvas, int x, int y, int code, int scale, Colour ink, Colour shadow);
// A line of characters, advance pixels apart (times the scale).
void drawString(Canvas& canvas, int x, int y, const char* text, int scale, int advance, Colour ink,
                Colour shadow);

// Fixed-pitch bitmap text from the font sheet: one 15 x 15 picture per
// character out of a 16 x 16 grid, the pen advancing 7 pixels.
#pragma once

#include <cstdint>

// (x, y) is the top-left corner of the first character.
void drawText(int32_t x, int32_t y, const char* text, int32_t sheet);
// x is the centre by pen advance (7 per character), y the top edge.
void drawTextCentred(int32_t x, int32_t y, const char* text, int32_t sheet);

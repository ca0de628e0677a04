#include "render/text.h"

#include <SDL.h>

#include <cstring>

#include "render/screen.h"
#include "render/sheet_layout.h"
#include "render/sprites.h"

using namespace layout;

void drawText(int32_t x, int32_t y, const char* text, int32_t sheet) {
  for (int i = 0; text[i] != '\0'; ++i) {
    // Bytes of 128 and above are negative codes: their cell lies outside the
    // sheet, the blit clips to nothing and the pen still advances.
    const int code = static_cast<signed char>(text[i]);
    const int column = code % fontColumns, row = code / fontColumns;
    SDL_Rect source{static_cast<Sint16>(fontCell * column + glyphInset),
                    static_cast<Sint16>(fontCell * row + glyphInset), glyphSize, glyphSize};
    SDL_Rect target{static_cast<Sint16>(x + textAdvance * i), static_cast<Sint16>(y), glyphSize,
                    glyphSize};
    SDL_UpperBlit(sheets[sheet], &source, screen, &target);
  }
}

void drawTextCentred(int32_t x, int32_t y, const char* text, int32_t sheet) {
  const int n = static_cast<int>(std::strlen(text));
  drawText(x - (textAdvance * n) / 2, y, text, sheet);
}

// Bitmap text: glyph lookup, the 7-pixel pen, centring and clipping.
#include "render/text.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <string>

#include "app/shell.h"
#include "render/sprites.h"
#include "tests/unit/render_check.h"
#include "tests/unit/test_support.h"

using namespace render_check;

namespace {

class Text : public ::testing::Test {
 protected:
  void SetUp() override { loadTestSheets(); }

  // Draws with drawText and checks the whole screen against the font's own
  // pictures placed at x, x + 7, x + 14, ...
  void expectTextAt(const std::string& text, int drawnX, int expectedX, int y, bool centred) {
    SCOPED_TRACE(text);
    Image expected = clearedScreen();
    overlayText(expected, expectedX, y, text);
    if (centred)
      drawTextCentred(drawnX, y, text.c_str(), Font);
    else
      drawText(drawnX, y, text.c_str(), Font);
    EXPECT_TRUE(same(grabScreen(), expected));
  }
};

TEST_F(Text, EveryPrintableCharacterComesFromItsGridCell) {
  // Each glyph on its own, then all of them in one line: the copies overlap
  // by 8 pixels and only the key colour keeps the neighbours visible.
  std::string all;
  for (int code = 33; code < 127; ++code) {
    const std::string one(1, static_cast<char>(code));
    Image expected = clearedScreen();
    overlayText(expected, 20, 30, one);
    ASSERT_FALSE(same(expected, Image(screen->w, screen->h, unusedColour())))
        << "no ink for code " << code;
    drawText(20, 30, one.c_str(), Font);
    EXPECT_TRUE(same(grabScreen(), expected)) << "code " << code;
    all += one;
  }
  expectTextAt(all.substr(0, 80), 3, 3, 100, false);
  expectTextAt(all.substr(80), 3, 3, 120, false);
}

TEST_F(Text, CentredTextStartsHalfItsAdvanceLeftOfTheCentre) {
  expectTextAt("BUSY", 100, 86, 8, true);
  expectTextAt("RED'S TURN", 100, 65, 8, true);
  // 21 characters: 147 / 2 rounds toward zero to 73.
  expectTextAt("(with settings above)", 100, 27, 422, true);
  // 11 characters: 77 / 2 is 38.
  expectTextAt("BLUE'S TURN", 100, 62, 8, true);
  expectTextAt("Direction: CCW", 116, 67, 215, true);
}

TEST_F(Text, EmptyTextDrawsNothing) {
  const Image before = clearedScreen();
  drawText(50, 50, "", Font);
  drawTextCentred(50, 50, "", Font);
  EXPECT_TRUE(same(grabScreen(), before));
}

TEST_F(Text, BytesFrom128DrawNothingButMoveThePen) {
  for (int code = 128; code < 256; ++code) {
    SCOPED_TRACE(code);
    const Image before = clearedScreen();
    const char alone[] = {static_cast<char>(code), '\0'};
    drawText(40, 40, alone, Font);
    drawTextCentred(40, 60, alone, Font);
    ASSERT_TRUE(same(grabScreen(), before));
  }
  // "A?B" with a high byte in the middle: B stands 14 pixels after A.
  expectTextAt("A\304B", 40, 40, 40, false);
  expectTextAt("\200\377OK", 40, 40, 40, false);
  // Centring counts the high bytes too: four characters start at 86.
  expectTextAt("\200BUSY\200", 100, 79, 8, true);
}

TEST_F(Text, HighBytesFindNoGlyphEvenInATallerSheet) {
  // A sheet of 16 x 16 cells all ink: were the bytes read unsigned, codes
  // from 128 would find a cell here and draw it.
  SDL_Surface* font = sheets[Font];
  SDL_Surface* tall = SDL_CreateRGBSurface(SDL_SWSURFACE, 256, 256, 32, screen->format->Rmask,
                                           screen->format->Gmask, screen->format->Bmask, 0);
  ASSERT_NE(tall, nullptr);
  SDL_FillRect(tall, nullptr, SDL_MapRGB(tall->format, 0xFF, 0xFF, 0xFF));
  sheets[Font] = tall;
  const Image before = clearedScreen();
  drawText(40, 40, "\200\237\300\377", Font);
  const Image after = grabScreen();
  drawText(40, 70, "A", Font);  // a code from 0 to 127 does show
  const Image control = grabScreen();
  sheets[Font] = font;
  SDL_FreeSurface(tall);
  EXPECT_TRUE(same(after, before));
  EXPECT_FALSE(sameIn(control, before, 40, 70, 15, 15));
}

TEST_F(Text, TextPastTheScreenEdgeIsClipped) {
  const int w = screen->w, h = screen->h;
  expectTextAt("EDGE", w - 20, w - 20, h - 9, false);
  expectTextAt("LEFT", -10, -10, -5, false);
  // Drawn at all: the visible part has ink.
  Image expected = clearedScreen();
  overlayText(expected, w - 20, h - 9, "EDGE");
  EXPECT_FALSE(same(expected, Image(w, h, unusedColour())));
}

}  // namespace

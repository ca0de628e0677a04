// The sprite table, sprite placement and clipping.
#include "render/sprites.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include "app/shell.h"
#include "board/node.h"
#include "tests/unit/render_check.h"
#include "tests/unit/test_support.h"

using namespace render_check;
using namespace revision;

namespace {

struct ExpectedSlot {
  int sheet, srcX, srcY, width, height, hotX, hotY;
};
// The layout of the sheets: bodies, pointer, tile, backdrop, arrows,
// connectors (one bar per axis, moved half a cell toward the neighbour),
// the firing and the burnt mark.
const ExpectedSlot expectedTable[18] = {
    {1, 0, 0, 23, 23, 0, 0},     {1, 25, 0, 23, 23, 0, 0},   {1, 50, 0, 23, 23, 0, 0},
    {1, 75, 0, 23, 23, 0, 0},    {1, 100, 0, 23, 23, 0, 0},  {0, 0, 31, 23, 22, 0, 0},
    {0, 0, 53, 64, 64, 0, 0},    {0, 64, 0, 200, 600, 0, 0}, {1, 125, 0, 23, 23, 0, 0},
    {1, 150, 0, 23, 23, 0, 0},   {1, 175, 0, 23, 23, 0, 0},  {1, 200, 0, 23, 23, 0, 0},
    {1, 225, 0, 23, 23, -12, 0}, {1, 250, 0, 23, 23, 0, 12}, {1, 225, 0, 23, 23, 12, 0},
    {1, 250, 0, 23, 23, 0, -12}, {1, 275, 0, 25, 25, 0, 0},  {1, 300, 0, 25, 25, 0, 0},
};

class Sprites : public ::testing::Test {
 protected:
  void SetUp() override { loadTestSheets(); }
};

TEST_F(Sprites, TableHoldsEveryPictureOfTheSheets) {
  ASSERT_EQ(spriteSlotCount, burnoutEnabled ? 18 : 17);
  for (int slot = 0; slot < spriteSlotCount; ++slot) {
    SCOPED_TRACE(slot);
    const SpriteSlot& s = SpriteTable[slot];
    const ExpectedSlot& e = expectedTable[slot];
    EXPECT_EQ(s.sheet, e.sheet);
    EXPECT_EQ(s.srcX, e.srcX);
    EXPECT_EQ(s.srcY, e.srcY);
    EXPECT_EQ(s.width, e.width);
    EXPECT_EQ(s.height, e.height);
    EXPECT_EQ(s.hotX, e.hotX);
    EXPECT_EQ(s.hotY, e.hotY);
  }
}

TEST_F(Sprites, EverySlotLandsAtItsHotSpotAndNowhereElse) {
  // A point well inside the window (only the tall backdrop reaches out).
  const int x = 300, y = 40;
  for (int slot = 0; slot < spriteSlotCount; ++slot) {
    SCOPED_TRACE(slot);
    ASSERT_GT(inkCount(slot), 0) << "a slot without ink cannot show where it lands";
    Image expected = clearedScreen();
    const ExpectedSlot& e = expectedTable[slot];
    overlay(expected, e.sheet, e.srcX, e.srcY, e.width, e.height, x - e.hotX, y - e.hotY);
    drawSprite(x, y, slot);
    EXPECT_TRUE(same(grabScreen(), expected));
  }
}

TEST_F(Sprites, SpritesPastTheScreenEdgeAreClipped) {
  // Background tiles at the right and bottom edges show only in part (the
  // tile at 768, 576 in an 800 x 600 window); a sprite beyond the top-left
  // corner shows its lower-right part.
  const int tileX = windowWidth - 32, tileY = windowHeight - 24;
  Image expected = clearedScreen();
  overlaySlot(expected, SlotBackground, tileX, tileY);
  overlaySlot(expected, SlotBackground, -40, -25);
  overlaySlot(expected, SlotFiringMark, windowWidth - 10, -10);
  overlaySlot(expected, SlotBody + Blue, -10, windowHeight - 10);
  drawSprite(tileX, tileY, SlotBackground);
  drawSprite(-40, -25, SlotBackground);
  drawSprite(windowWidth - 10, -10, SlotFiringMark);
  drawSprite(-10, windowHeight - 10, SlotBody + Blue);
  const Image drawn = grabScreen();
  EXPECT_TRUE(same(drawn, expected));
  // Something of each did show.
  const Image blank = Image(screen->w, screen->h, unusedColour());
  EXPECT_FALSE(sameIn(drawn, blank, tileX, tileY, windowWidth - tileX, windowHeight - tileY));
  EXPECT_FALSE(sameIn(drawn, blank, 0, 0, 24, 39));
}

}  // namespace

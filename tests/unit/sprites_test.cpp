// The sprite table, sprite placement and clipping, and the sheets' colour key.
#include "render/sprites.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

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

// A bitmap file written byte by byte: 24 or 32 bits per pixel, bottom-up
// rows padded to 4 bytes, pixels given as 0xRRGGBB.
std::string writeBmp(const std::vector<uint32_t>& pixels, int width, int height, int bits) {
  const int bytes = bits / 8;
  const int rowSize = (width * bytes + 3) / 4 * 4;
  const int dataSize = rowSize * height;
  std::vector<unsigned char> file(54 + dataSize, 0);
  auto put32 = [&](int at, uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + i] = (v >> (8 * i)) & 0xFF;
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, file.size());
  put32(10, 54);
  put32(14, 40);
  put32(18, width);
  put32(22, height);
  file[26] = 1;
  file[28] = bits;
  put32(34, dataSize);
  for (int y = 0; y < height; ++y) {
    unsigned char* row = &file[54 + (height - 1 - y) * rowSize];
    for (int x = 0; x < width; ++x) {
      const uint32_t c = pixels[y * width + x];
      row[bytes * x] = c & 0xFF;
      row[bytes * x + 1] = (c >> 8) & 0xFF;
      row[bytes * x + 2] = (c >> 16) & 0xFF;
      if (bytes == 4) row[bytes * x + 3] = 0;
    }
  }
  char path[] = "/tmp/spindrel_sheetXXXXXX";
  const int fd = mkstemp(path);
  EXPECT_GE(fd, 0);
  if (fd >= 0) {
    EXPECT_EQ(write(fd, file.data(), file.size()), static_cast<ssize_t>(file.size()));
    close(fd);
  }
  return path;
}

class SheetLoading : public Sprites {
 protected:
  void TearDown() override {
    for (const std::string& path : written) std::remove(path.c_str());
    // The real sheet back for every later test.
    ASSERT_TRUE(loadSheet("ui.bmp", Ui));
  }
  std::string bmp(const std::vector<uint32_t>& pixels, int width, int height, int bits) {
    written.push_back(writeBmp(pixels, width, height, bits));
    return written.back();
  }
  std::vector<std::string> written;
};

TEST_F(SheetLoading, KeyColourIsTransparentAndEveryOtherColourOpaque) {
  // The key's neighbours in the row decide what a raw 4-byte read of a
  // 24-bit sheet would take in; colours one step off the key must show.
  const std::vector<uint32_t> pixels = {0xFF00FF, 0x12FF34, 0xFE00FF, 0xFF00FE,
                                        0x000000, 0xFFFFFF, 0xFF00FF, 0x0000FF};
  for (int bits : {24, 32}) {
    SCOPED_TRACE(bits);
    ASSERT_TRUE(loadSheet(bmp(pixels, 4, 2, bits).c_str(), Ui));
    ASSERT_NE(sheets[Ui], nullptr);
    EXPECT_EQ(sheets[Ui]->format->BitsPerPixel, screen->format->BitsPerPixel);
    const uint32_t clear = unusedColour();
    clearScreen(clear);
    SDL_Rect source{0, 0, 4, 2};
    SDL_Rect target{10, 10, 4, 2};
    SDL_BlitSurface(sheets[Ui], &source, screen, &target);
    for (int i = 0; i < 8; ++i) {
      const uint32_t shown = pixels[i] == 0xFF00FF ? clear : pixels[i];
      EXPECT_EQ(pixelAt(screen, 10 + i % 4, 10 + i / 4), shown) << "pixel " << i;
    }
  }
}

TEST_F(SheetLoading, UnusableFilesAreFailedLoads) {
  EXPECT_FALSE(loadSheet("/nonexistent/ui.bmp", Ui));
  EXPECT_EQ(sheets[Ui], nullptr);

  char garbage[] = "/tmp/spindrel_garbageXXXXXX";
  const int fd = mkstemp(garbage);
  ASSERT_GE(fd, 0);
  const char text[] = "BM this is not a bitmap at all";
  ASSERT_EQ(write(fd, text, sizeof text), static_cast<ssize_t>(sizeof text));
  close(fd);
  written.push_back(garbage);
  EXPECT_FALSE(loadSheet(garbage, Ui));
  EXPECT_EQ(sheets[Ui], nullptr);

  // A header that promises no pixels at all.
  EXPECT_FALSE(loadSheet(bmp({}, 0, 0, 24).c_str(), Ui));
  EXPECT_EQ(sheets[Ui], nullptr);
}

}  // namespace

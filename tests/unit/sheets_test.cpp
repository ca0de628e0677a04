// The generated artwork against the layouts the drawing code relies on:
// sheet sizes, the sprite table's rectangles, the glyph grid and the panel
// backdrop under the buttons and text lines.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "app/shell.h"
#include "game/game_state.h"
#include "render/sprites.h"
#include "tests/unit/test_support.h"

namespace {

// A loaded sheet as 0xRRGGBB values, read once under one lock.
struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  uint32_t key() const { return at(0, 0); }
  bool ink(int x, int y) const { return at(x, y) != key(); }
};

Picture readSheet(SheetId id) {
  Picture p;
  SDL_Surface* s = sheets[id];
  p.width = s->w;
  p.height = s->h;
  SDL_LockSurface(s);
  for (int y = 0; y < s->h; ++y) {
    const Uint8* row = static_cast<const Uint8*>(s->pixels) + y * s->pitch;
    for (int x = 0; x < s->w; ++x) {
      Uint32 v = 0;
      switch (s->format->BytesPerPixel) {
        case 2: v = reinterpret_cast<const Uint16*>(row)[x]; break;
        case 3: v = row[3 * x] | row[3 * x + 1] << 8 | row[3 * x + 2] << 16; break;
        default: v = reinterpret_cast<const Uint32*>(row)[x]; break;
      }
      Uint8 r, g, b;
      SDL_GetRGB(v, s->format, &r, &g, &b);
      p.pixels.push_back(uint32_t(r) << 16 | g << 8 | b);
    }
  }
  SDL_UnlockSurface(s);
  return p;
}

const Picture& sheet(SheetId id) {
  static Picture cache[sheetCount];
  loadTestSheets();
  if (cache[id].width == 0) cache[id] = readSheet(id);
  return cache[id];
}

int brightness(uint32_t c) {
  return (299 * (c >> 16 & 0xFF) + 587 * (c >> 8 & 0xFF) + 114 * (c & 0xFF)) / 1000;
}

int distance(uint32_t a, uint32_t b) {
  int sum = 0;
  for (int shift : {0, 8, 16}) sum += std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF));
  return sum;
}

struct Rect {
  SheetId sheet;
  int x, y, w, h;
};

Rect slotRect(int slot) {
  const SpriteSlot& s = SpriteTable[slot];
  return {static_cast<SheetId>(s.sheet), s.srcX, s.srcY, s.width, s.height};
}

// The burnt mark's place on the node strip, whether or not a build draws it.
constexpr Rect burntMark{Nodes, 300, 0, 25, 25};

int inkCount(const Rect& r) {
  const Picture& p = sheet(r.sheet);
  int n = 0;
  for (int y = r.y; y < r.y + r.h; ++y)
    for (int x = r.x; x < r.x + r.w; ++x) n += p.ink(x, y);
  return n;
}

// --- Sheets and sprite slots -------------------------------------------------

TEST(SheetArt, SheetsHoldEveryRectangleOfTheTable) {
  EXPECT_GE(sheet(Font).width, 256);
  EXPECT_GE(sheet(Font).height, 128);
  EXPECT_GE(sheet(Ui).width, 264);
  EXPECT_GE(sheet(Ui).height, 600);
  EXPECT_GE(sheet(Nodes).width, 325);
  EXPECT_GE(sheet(Nodes).height, 25);
  std::vector<Rect> rects = {burntMark};
  for (int slot = 0; slot < revision::spriteSlotCount; ++slot) rects.push_back(slotRect(slot));
  for (const Rect& r : rects) {
    SCOPED_TRACE(::testing::Message() << "sheet " << r.sheet << " at " << r.x << "," << r.y);
    EXPECT_GE(r.x, 0);
    EXPECT_GE(r.y, 0);
    EXPECT_LE(r.x + r.w, sheet(r.sheet).width);
    EXPECT_LE(r.y + r.h, sheet(r.sheet).height);
    // Every picture shows something: at least a tenth of its area is ink.
    EXPECT_GE(inkCount(r) * 10, r.w * r.h);
  }
}

TEST(SheetArt, BackgroundTileAndPanelBackdropHaveNoHoles) {
  // Nothing clears the screen between frames: a transparent pixel in the
  // tile or the backdrop would keep whatever the last frame left there.
  for (int slot : {int(SlotBackground), int(SlotPanel)}) {
    SCOPED_TRACE(slot);
    const Rect r = slotRect(slot);
    EXPECT_EQ(inkCount(r), r.w * r.h);
  }
  // The tile stays in the background: a quiet, narrow range of shades.
  const Rect tile = slotRect(SlotBackground);
  int lo = 255, hi = 0;
  for (int y = tile.y; y < tile.y + tile.h; ++y) {
    for (int x = tile.x; x < tile.x + tile.w; ++x) {
      lo = std::min(lo, brightness(sheet(Ui).at(x, y)));
      hi = std::max(hi, brightness(sheet(Ui).at(x, y)));
    }
  }
  EXPECT_LE(hi - lo, 40);
}

TEST(SheetArt, PointerTipIsItsHotSpotAndShowsOnAnyColour) {
  const Rect r = slotRect(SlotPointer);
  const Picture& ui = sheet(Ui);
  EXPECT_TRUE(ui.ink(r.x, r.y)) << "the tip is the pixel under the mouse";
  bool dark = false, light = false;
  for (int y = r.y; y < r.y + r.h; ++y) {
    for (int x = r.x; x < r.x + r.w; ++x) {
      if (!ui.ink(x, y)) continue;
      dark = dark || brightness(ui.at(x, y)) < 60;
      light = light || brightness(ui.at(x, y)) > 200;
    }
  }
  EXPECT_TRUE(dark && light) << "a light pointer needs a dark outline";
}

// The colour most of a body shows.
uint32_t mainColour(const Rect& r) {
  std::map<uint32_t, int> counts;
  for (int y = r.y; y < r.y + r.h; ++y)
    for (int x = r.x; x < r.x + r.w; ++x)
      if (sheet(r.sheet).ink(x, y)) ++counts[sheet(r.sheet).at(x, y)];
  return std::max_element(counts.begin(), counts.end(),
                          [](auto& a, auto& b) { return a.second < b.second; })
      ->first;
}

TEST(SheetArt, OwnersAreToldApartAtAGlance) {
  for (int a = 0; a < 5; ++a) {
    for (int b = a + 1; b < 5; ++b) {
      EXPECT_GE(distance(mainColour(slotRect(SlotBody + a)), mainColour(slotRect(SlotBody + b))),
                120)
          << "owners " << a << " and " << b;
    }
  }
}

TEST(SheetArt, ArrowsPointTheirWayAndStandOutOnEveryBody) {
  const Picture& nodes = sheet(Nodes);
  const int towardX[4] = {1, 0, -1, 0}, towardY[4] = {0, -1, 0, 1};  // right, up, left, down
  for (int d = 0; d < 4; ++d) {
    SCOPED_TRACE(::testing::Message() << "direction " << d);
    const Rect arrow = slotRect(SlotArrow + d);
    // The head is wider than the shaft, so the half of the picture ahead of
    // the centre carries more ink than the half behind; and the arrow is
    // symmetric about its own line.
    int ahead = 0, behind = 0;
    for (int y = 0; y < 23; ++y) {
      for (int x = 0; x < 23; ++x) {
        if (!nodes.ink(arrow.x + x, arrow.y + y)) continue;
        const int along = (x - 11) * towardX[d] + (y - 11) * towardY[d];
        ahead += along > 0;
        behind += along < 0;
        // The mirror image across the arrow's line.
        const int mx = towardX[d] ? x : 22 - x, my = towardY[d] ? y : 22 - y;
        EXPECT_TRUE(nodes.ink(arrow.x + mx, arrow.y + my)) << x << "," << y;
      }
    }
    EXPECT_GT(ahead, behind + behind / 4);

    for (int owner = 0; owner < 5; ++owner) {
      const Rect body = slotRect(SlotBody + owner);
      int standsOut = 0;
      for (int y = 0; y < 23; ++y) {
        for (int x = 0; x < 23; ++x) {
          if (!nodes.ink(arrow.x + x, arrow.y + y)) continue;
          // Drawn over the body, the arrow stays on it.
          EXPECT_TRUE(nodes.ink(body.x + x, body.y + y)) << "owner " << owner;
          const int contrast = std::abs(brightness(nodes.at(arrow.x + x, arrow.y + y)) -
                                        brightness(nodes.at(body.x + x, body.y + y)));
          standsOut += contrast >= 96;
        }
      }
      EXPECT_GE(standsOut, 30) << "owner " << owner;
    }
  }
}

TEST(SheetArt, ConnectorsShowBetweenNeighbouringBodies) {
  openTestScreen();
  loadTestSheets();
  const uint32_t clear = 0x2B2B70;
  const int px = 300, py = 200;
  const int toX[4] = {1, 0, -1, 0}, toY[4] = {0, -1, 0, 1};
  for (int d = 0; d < 4; ++d) {
    for (int owner = 0; owner < 5; ++owner) {
      SCOPED_TRACE(::testing::Message() << "direction " << d << " owner " << owner);
      const int qx = px + 24 * toX[d], qy = py + 24 * toY[d];
      const int neighbour = (owner + 1) % 5;
      // As a frame draws them: every connector first, then the bodies.
      auto draw = [&](bool connector) {
        clearScreen(clear);
        if (connector) drawSprite(px, py, SlotConnector + d);
        drawSprite(px, py, SlotBody + owner);
        drawSprite(qx, qy, SlotBody + neighbour);
      };
      // The line from one node's centre to the other's.
      std::vector<uint32_t> with, without;
      draw(true);
      for (int i = 0; i <= 24; ++i)
        with.push_back(pixelAt(screen, px + 11 + i * toX[d], py + 11 + i * toY[d]));
      draw(false);
      for (int i = 0; i <= 24; ++i)
        without.push_back(pixelAt(screen, px + 11 + i * toX[d], py + 11 + i * toY[d]));
      int shown = 0;
      for (int i = 0; i <= 24; ++i) {
        EXPECT_NE(with[i], clear) << "a gap in the link at step " << i;
        shown += with[i] != without[i];
      }
      EXPECT_GE(shown, 3) << "the bodies hide the connector";
    }
  }
}

// --- Font ----------------------------------------------------------------------

// Ink of a glyph's copied 15 x 15 picture, by column and row.
bool glyphInk(int code, int x, int y) {
  return sheet(Font).ink(16 * (code % 16) + 1 + x, 16 * (code / 16) + 1 + y);
}

TEST(FontArt, GlyphsStayInTheirPictureAndWithinThePenAdvance) {
  const Picture& font = sheet(Font);
  int left = 15, right = -1;
  for (int code = 33; code < 127; ++code) {
    SCOPED_TRACE(::testing::Message() << "code " << code);
    const int cx = 16 * (code % 16), cy = 16 * (code / 16);
    // The cell's top row and left column are never copied.
    for (int i = 0; i < 16; ++i) {
      EXPECT_FALSE(font.ink(cx + i, cy));
      EXPECT_FALSE(font.ink(cx, cy + i));
    }
    int n = 0;
    for (int y = 0; y < 15; ++y) {
      for (int x = 0; x < 15; ++x) {
        if (!glyphInk(code, x, y)) continue;
        ++n;
        left = std::min(left, x);
        right = std::max(right, x);
      }
    }
    EXPECT_GT(n, 0);
  }
  // Neighbouring copies stand 7 pixels apart: all ink together within seven
  // columns, so no glyph reaches into the next.
  EXPECT_LE(right - left + 1, 7);
  for (int code : {32, 127}) {
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x)
        EXPECT_FALSE(font.ink(16 * (code % 16) + x, 16 * (code / 16) + y)) << "code " << code;
  }
}

// The ink rows of a glyph, top and bottom; {15, -1} when blank. With `lit`
// only the bright strokes count, not a dark shadow beside them.
std::pair<int, int> inkRows(int code, bool lit = false) {
  int top = 15, bottom = -1;
  for (int y = 0; y < 15; ++y) {
    for (int x = 0; x < 15; ++x) {
      if (!glyphInk(code, x, y)) continue;
      if (lit &&
          brightness(sheet(Font).at(16 * (code % 16) + 1 + x, 16 * (code / 16) + 1 + y)) < 128)
        continue;
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  return {top, bottom};
}

TEST(FontArt, EveryCodeHasItsOwnGlyphInItsOwnPlace) {
  auto picture = [](int code) {
    std::string bits;
    for (int y = 0; y < 15; ++y)
      for (int x = 0; x < 15; ++x) bits += glyphInk(code, x, y) ? '#' : '.';
    return bits;
  };
  std::map<std::string, int> seen;
  for (int code = 33; code < 127; ++code) {
    const auto [it, fresh] = seen.emplace(picture(code), code);
    EXPECT_TRUE(fresh) << "codes " << it->second << " and " << code << " look the same";
  }
  // A few shapes that pin the grid: a table shifted by one cell fails them.
  auto columns = [](int code) {
    int n = 0;
    for (int x = 0; x < 15; ++x) {
      bool any = false;
      for (int y = 0; y < 15; ++y) any = any || glyphInk(code, x, y);
      n += any;
    }
    return n;
  };
  const auto [capTop, baseline] = inkRows('H', true);
  const int middle = (capTop + baseline) / 2;
  EXPECT_EQ(inkRows('-', true).first, inkRows('-', true).second) << "a dash is one row";
  EXPECT_LE(columns('|'), 2) << "a bar is one column (and its shadow)";
  EXPECT_GT(inkRows('.', true).first, middle) << "a full stop sits low";
  EXPECT_LT(inkRows('\'', true).second, middle) << "an apostrophe sits high";
  EXPECT_GT(inkRows('g', true).second, baseline) << "g descends";
  EXPECT_EQ(inkRows('x', true).second, baseline) << "x does not";
}

TEST(FontArt, StackedPanelLinesDoNotTouch) {
  // The panel writes two pairs of lines only 10 pixels apart.
  const char* pairs[][2] = {{"New Game", "(with settings above)"},
                            {"Press <ESC> to Exit Game", "Press <S> to toggle sound"}};
  for (const auto& pair : pairs) {
    int bottom = -1, top = 15;
    for (const char* c = pair[0]; *c; ++c) bottom = std::max(bottom, inkRows(*c).second);
    for (const char* c = pair[1]; *c; ++c) top = std::min(top, inkRows(*c).first);
    EXPECT_LT(bottom, top + 10) << pair[0];
  }
}

// --- Panel backdrop --------------------------------------------------------------

// The backdrop pixel under a screen point of the panel.
uint32_t backdrop(int x, int y) {
  const Rect panel = slotRect(SlotPanel);
  return sheet(Ui).at(panel.x + x, panel.y + y);
}

TEST(PanelArt, ButtonsAreFramedWhereTheyAnswerClicks) {
  for (int b = 0; b < panelButtonCount; ++b) {
    SCOPED_TRACE(::testing::Message() << "button " << b);
    const PanelButton& r = gameState->buttons[b];
    const int midX = r.x + r.width / 2, midY = r.y + r.height / 2;
    const int right = r.x + r.width - 1, bottom = r.y + r.height - 1;
    EXPECT_NE(backdrop(r.x, midY), backdrop(r.x - 1, midY)) << "left edge";
    EXPECT_NE(backdrop(right, midY), backdrop(right + 1, midY)) << "right edge";
    EXPECT_NE(backdrop(midX, r.y), backdrop(midX, r.y - 1)) << "top edge";
    EXPECT_NE(backdrop(midX, bottom), backdrop(midX, bottom + 1)) << "bottom edge";
  }
}

TEST(PanelArt, TextLinesLieOnDarkQuietGround) {
  // The text's own ink: the brightest colour of a capital.
  int ink = 0;
  for (int y = 0; y < 15; ++y)
    for (int x = 0; x < 15; ++x)
      if (glyphInk('M', x, y))
        ink = std::max(
            ink, brightness(sheet(Font).at(16 * ('M' % 16) + 1 + x, 16 * ('M' / 16) + 1 + y)));
  struct Line {
    int x, y, length;
    bool centred;
  };
  std::vector<Line> lines = {{100, 8, 20, true},   {100, 154, 22, true}, {100, 412, 8, true},
                             {100, 422, 21, true}, {100, 450, 24, true}, {100, 460, 25, true}};
  for (int p = 0; p < 5; ++p) lines.push_back({37, 49 + 21 * p, 16, false});
  for (int k = 0; k < 5; ++k) {
    lines.push_back({116, 195 + 43 * k, 15, true});
    lines.push_back({116, 215 + 43 * k, 15, true});
  }
  for (const Line& line : lines) {
    SCOPED_TRACE(::testing::Message() << "line at y " << line.y);
    const int left = line.centred ? line.x - 7 * line.length / 2 : line.x;
    int worst = 0;
    // The glyph band: capitals, descenders and shadow.
    for (int y = line.y + 3; y <= line.y + 12; ++y)
      for (int x = left + 1; x < left + 7 * line.length; ++x)
        worst = std::max(worst, brightness(backdrop(x, y)));
    EXPECT_GE(ink - worst, 100);
  }
}

}  // namespace

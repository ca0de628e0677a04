// The three bitmap sheets: the font, the interface (pointer, background tile,
// panel backdrop) and the node strip. Everything is drawn here, pixel by
// pixel; the top-left pixel of each sheet is its transparent colour.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "render/sheet_layout.h"
#include "tools/gen_data/bodies.h"
#include "tools/gen_data/canvas.h"
#include "tools/gen_data/gen_data.h"
#include "tools/gen_data/glyphs.h"

using namespace layout;

namespace {
// The transparent colour of every sheet. Nothing else is this colour.
constexpr Colour keyColour = 0xFF00FF;

constexpr Colour black = 0x000000;
constexpr Colour white = 0xFFFFFF;

// Text: warm white ink with a dark shadow, readable on the panel and the
// board alike.
constexpr Colour textInk = 0xF4F1E6;
constexpr Colour textShadow = 0x0A0C11;

// The panel's metal.
constexpr Colour plate = 0x232A37;
constexpr Colour plateLight = 0x404B60;
constexpr Colour plateDark = 0x0C0F15;
constexpr Colour well = 0x121721;
constexpr Colour wellDark = 0x07090D;
constexpr Colour outline = 0x0A0D13;
// Across a connector bar: a dark rim, five shades from light to dark, a rim.
constexpr Colour steel[7] = {0x0D1017, 0xE4EAF2, 0xC4CCD8, 0xA8B2C2, 0x8A95A7, 0x6A7588, 0x0D1017};

// A value 0..n-1 from a pixel position that repeats every 64 pixels, for
// textures that tile without a seam.
int grain(int x, int y, int n) {
  uint32_t h =
      static_cast<uint32_t>((x & 63) * 73856093u) ^ static_cast<uint32_t>((y & 63) * 19349663u);
  h ^= h >> 13;
  h *= 0x5BD1E995u;
  h ^= h >> 15;
  return static_cast<int>(h % static_cast<uint32_t>(n));
}

// --- Node pictures ---------------------------------------------------------

// The picture of one 23 x 23 arrow pointing right: a shaft and a head.
bool arrowInk(int x, int y) {
  const int dy = std::abs(y - 11);
  const bool shaft = x >= 6 && x <= 11 && dy <= 1;
  const bool head = x >= 12 && x <= 16 && dy <= 16 - x;
  return shaft || head;
}

// Turns a point of a 23 x 23 picture back by quarter turns: the pixel that
// direction d shows at (x, y) is the right-pointing one at the result.
void unturn(int& x, int& y, int quarterTurns) {
  for (int i = 0; i < quarterTurns; ++i) {
    // Counter-clockwise on screen maps (dx, dy) to (dy, -dx); undo it.
    const int dx = x - 11, dy = y - 11;
    x = 11 - dy;
    y = 11 + dx;
  }
}

// White arrow with a dark outline, so it stands out on every body colour.
void drawArrow(Canvas& c, int left, int direction) {
  auto ink = [&](int x, int y) {
    unturn(x, y, direction);
    return arrowInk(x, y);
  };
  for (int y = 0; y < 23; ++y) {
    for (int x = 0; x < 23; ++x) {
      if (ink(x, y)) {
        c.set(left + x, y, 0xFAFAF5);
        continue;
      }
      bool edge = false;
      for (int j = -1; j <= 1; ++j)
        for (int i = -1; i <= 1; ++i) edge = edge || ink(x + i, y + j);
      if (edge) c.set(left + x, y, 0x11141A);
    }
  }
}

// A steel bar through the middle of a 23 x 23 picture, lengthwise across it:
// drawn from one node's centre to the next, it shows between the bodies.
void drawConnector(Canvas& c, int left, bool vertical) {
  const Colour* across = steel;
  for (int along = 0; along < 23; ++along) {
    for (int k = 0; k < 7; ++k) {
      if (vertical)
        c.set(left + 8 + k, along, across[k]);
      else
        c.set(left + along, 8 + k, across[k]);
    }
  }
}

// A node waiting to fire: a bright ring hugging the body and a spark in the
// middle.
void drawFiringMark(Canvas& c, int left) {
  for (int y = 0; y < 25; ++y) {
    for (int x = 0; x < 25; ++x) {
      const double dx = x - 11, dy = y - 11, d = std::sqrt(dx * dx + dy * dy);
      if (d > 9.4 && d <= 11.4)
        c.set(left + x, y, d > 10.4 ? 0xFF9A1E : 0xFFE45C);
      else if (d > 8.4 && d <= 9.4)
        c.set(left + x, y, 0xFFF6CC);
    }
  }
  static const char* const spark[] = {
      "....o....",  //
      "....o....",  //
      "..o.y.o..",  //
      "...yWy...",  //
      "ooyWWWyoo",  //
      "...yWy...",  //
      "..o.y.o..",  //
      "....o....",  //
      "....o....",  //
  };
  const Colour sparkColours[] = {0xFF9A1E, 0xFFE45C, 0xFFFFFF};
  drawArt(c, left + 7, 7, spark, 9, "oyW", sparkColours);
}

// A node burnt out: a charred patch with a few embers, over the grey body.
void drawBurntMark(Canvas& c, int left) {
  for (int y = 0; y < 25; ++y) {
    for (int x = 0; x < 25; ++x) {
      const double dx = x - 11, dy = y - 11, d = std::sqrt(dx * dx + dy * dy);
      // A ragged edge: the radius wobbles with the angle.
      const double a = std::atan2(dy, dx);
      const double r = 7.2 + 0.9 * std::sin(5 * a) + 0.5 * std::cos(3 * a + 1);
      if (d <= r - 1)
        c.set(left + x, y, grain(x + 3, y, 4) == 0 ? 0x3A2E27 : 0x1E1916);
      else if (d <= r)
        c.set(left + x, y, 0x2C2420);
    }
  }
  static const char* const cracks[] = {
      ".....e.....",  //
      "......r....",  //
      ".r....r..e.",  //
      "..r..r..r..",  //
      "...rrr.r...",  //
      "....Orr....",  //
      "...r.r.....",  //
      "..e..r.....",  //
      ".....r.r...",  //
      "....e...e..",  //
  };
  const Colour crackColours[] = {0xFFB040, 0xB8401C, 0x7E2A16};
  drawArt(c, left + 6, 6, cracks, 10, "Ore", crackColours);
}

Canvas makeNodeSheet() {
  Canvas c(nodeSheetWidth, nodeSheetHeight, keyColour);
  for (int owner = 0; owner < 5; ++owner) drawBody(c, bodyX(owner) + 11, 11, 9.6, owner);
  for (int d = 0; d < 4; ++d) drawArrow(c, arrowX(d), d);
  drawConnector(c, horizontalConnectorX, false);
  drawConnector(c, verticalConnectorX, true);
  drawFiringMark(c, firingMarkX);
  drawBurntMark(c, burntMarkX);
  return c;
}

// --- Font --------------------------------------------------------------------

Canvas makeFontSheet() {
  Canvas c(fontSheetWidth, fontSheetHeight, keyColour);
  // Each 16 x 16 cell shows the 15 x 15 picture from (1, 1). The glyph sits
  // one pixel in and three down, so that its ink and shadow stay inside six
  // columns (the pen advances seven) and a line centres in an 18-pixel
  // button when drawn three pixels below its top.
  for (int code = 32; code < 127; ++code)
    drawGlyph(c, fontCell * (code % fontColumns) + glyphInset + 1,
              fontCell * (code / fontColumns) + glyphInset + 3, code, 1, textInk, textShadow);
  return c;
}

// --- Interface sheet ---------------------------------------------------------

void drawPointer(Canvas& c, int x, int y) {
  static const char* const arrow[] = {
      "X",             //
      "XX",            //
      "XoX",           //
      "XooX",          //
      "XoooX",         //
      "XooooX",        //
      "XoooooX",       //
      "XooooooX",      //
      "XoooooooX",     //
      "XooooooooX",    //
      "XoooooooooX",   //
      "XooooooooooX",  //
      "XooooooXXXXX",  //
      "XoooXooX",      //
      "XooXXooX",      //
      "XoX XooX",      //
      "XX   XooX",     //
      "X    XooX",     //
      "      XooX",    //
      "      XooX",    //
      "       XX",     //
  };
  const Colour colours[] = {0x0A0A0C, 0xFDFDF8};
  drawArt(c, x, y, arrow, 21, "Xo", colours);
}

// Dark slate with a faint grain and a fine diamond lattice, 64 pixels square
// so that it tiles without a seam.
void drawTile(Canvas& c, int left, int top) {
  const Colour base = 0x171C26;
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      Colour col = mix(base, grain(x, y, 2) ? 0x1B212C : 0x141923, 0.8);
      if ((x + y) % 32 == 0 || (x - y + 64) % 32 == 0) col = 0x1D2330;
      if ((x + y) % 32 == 0 && (x - y + 64) % 32 == 0) col = 0x252C3A;
      c.set(left + x, top + y, col);
    }
  }
}

// Panel helpers; coordinates are those of the screen, the panel starting at
// the sheet's x = 64.
constexpr int panelLeft = panel.x;

void sunken(Canvas& c, int x, int y, int w, int h, Colour inside) {
  c.fill(panelLeft + x, y, w, h, inside);
  c.bevel(panelLeft + x, y, w, h, wellDark, plateLight);
}

void label(Canvas& c, int centreX, int y, const char* text, Colour ink) {
  int n = 0;
  while (text[n]) ++n;
  drawString(c, panelLeft + centreX - 7 * n / 2 + 1, y, text, 1, 7, ink, textShadow);
}

// A raised button face: dark outline, light and dark edges, a gentle
// top-to-bottom gradient.
void button(Canvas& c, int x, int y, int w, int h, Colour face, int edge) {
  const Colour top = mix(face, white, 0.12), bottom = mix(face, black, 0.18);
  c.fill(panelLeft + x, y, w, h, face);
  for (int j = 1; j < h - 1; ++j)
    c.fill(panelLeft + x + 1, y + j, w - 2, 1, mix(top, bottom, double(j) / (h - 1)));
  c.frame(panelLeft + x, y, w, h, outline);
  for (int e = 1; e <= edge; ++e)
    c.bevel(panelLeft + x + e, y + e, w - 2 * e, h - 2 * e, mix(face, white, 0.38 / e),
            mix(face, black, 0.45 / e));
}

// Icons at the left end of the settings buttons.
void playersIcon(Canvas& c, int cx, int cy) {
  for (int i = 0; i < 4; ++i)
    drawBody(c, panelLeft + cx + (i % 2 ? 3.5 : -3.5), cy + (i / 2 ? 3.5 : -3.5), 3.3, i + 1);
}

// A turning arrow: a ring open on the right with its head at the top.
void turnIcon(Canvas& c, int cx, int cy) {
  static const char* const art[] = {
      "........#....",  //
      ".....#####...",  //
      "...########..",  //
      "..###...##...",  //
      "..##....#....",  //
      ".##..........",  //
      ".##..........",  //
      ".##..........",  //
      "..##.........",  //
      "..###...##...",  //
      "...#######...",  //
      ".....###.....",  //
  };
  auto ink = [&](int x, int y) { return x >= 0 && y >= 0 && y < 12 && x < 13 && art[y][x] == '#'; };
  for (int y = -1; y <= 12; ++y) {
    for (int x = -1; x <= 13; ++x) {
      bool edge = false;
      for (int j = -1; j <= 1; ++j)
        for (int i = -1; i <= 1; ++i) edge = edge || ink(x + i, y + j);
      if (ink(x, y))
        c.set(panelLeft + cx - 6 + x, cy - 6 + y, 0xE8ECF4);
      else if (edge)
        c.set(panelLeft + cx - 6 + x, cy - 6 + y, outline);
    }
  }
}

void strengthIcon(Canvas& c, int cx, int cy, Colour col) {
  for (int bar = 0; bar < 3; ++bar) {
    const int h = 4 + 3 * bar, x = panelLeft + cx - 6 + 5 * bar;
    c.fill(x - 1, cy + 5 - h, 5, h + 2, outline);
    c.fill(x, cy + 6 - h, 3, h, col);
    c.fill(x, cy + 6 - h, 3, 1, mix(col, white, 0.4));
  }
}

void drawPanel(Canvas& c) {
  // The plate, with a light top-left edge and a dark border toward the board.
  for (int y = 0; y < panel.height; ++y)
    for (int x = 0; x < panel.width; ++x)
      c.set(panelLeft + x, y, grain(x + 17, y, 5) == 0 ? mix(plate, white, 0.03) : plate);
  c.bevel(panelLeft, 0, panel.width, panel.height, plateLight, plateDark);
  c.fill(panelLeft + 198, 1, 1, 598, mix(plate, black, 0.35));

  // Status line, centred at (100, 8).
  sunken(c, 6, statusY - 5, 188, 23, well);

  // The node counts, one row per owner at y = 49 + 21 p with its colour on
  // the left, then the turn and move counters at y = 154.
  c.frame(panelLeft + 5, 42, 190, 131, plateDark);
  c.frame(panelLeft + 6, 43, 188, 129, mix(plate, white, 0.1));
  c.frame(panelLeft + 6, 43, 188, 1, plateDark);
  for (int p = 0; p < 5; ++p) {
    const int y = countsY(p);
    sunken(c, 10, y - 2, 180, 18, well);
    drawBody(c, panelLeft + 24, y + 6, 6.2, p);
  }
  sunken(c, 10, countersY - 3, 180, 18, mix(well, plate, 0.35));

  // Heading of the settings: what New Game will use.
  label(c, 100, 175, "NEXT GAME", 0x8E99AD);
  c.fill(panelLeft + 10, 179, 52, 1, plateDark);
  c.fill(panelLeft + 10, 180, 52, 1, plateLight);
  c.fill(panelLeft + 138, 179, 52, 1, plateDark);
  c.fill(panelLeft + 138, 180, 52, 1, plateLight);

  // The ten settings buttons, two per group: players and direction, then one
  // pair for each seat. The icon sits left of the text, which is centred at
  // x = 116.
  const Colour face = 0x3D4B64;
  for (int k = 0; k < settingGroups; ++k) {
    for (int second = 0; second < 2; ++second) {
      const Rect b = settingButton(k, second);
      const int y = b.y;
      button(c, b.x, b.y, b.width, b.height, face, 1);
      const int iconX = 28, iconY = y + 9;
      if (k == 0 && !second) playersIcon(c, iconX, iconY);
      if (k == 0 && second) turnIcon(c, iconX, iconY);
      if (k > 0 && !second) drawBody(c, panelLeft + iconX, iconY, 6.2, k);
      if (k > 0 && second) strengthIcon(c, iconX, iconY, ownerColours[k]);
      // A groove between the icon and the text.
      c.fill(panelLeft + 44, y + 3, 1, 12, mix(face, black, 0.4));
      c.fill(panelLeft + 45, y + 3, 1, 12, mix(face, white, 0.25));
    }
  }

  // New Game, 160 x 30 at (20, 410).
  button(c, newGameButton.x, newGameButton.y, newGameButton.width, newGameButton.height, 0x2F7A3D,
         2);

  // Help lines at y = 450 and 460.
  sunken(c, 6, helpY - 4, 188, 30, well);

  // Below the 480 lines of the small window: the title and a little chain.
  c.frame(panelLeft + 5, 486, 190, 104, plateDark);
  c.frame(panelLeft + 6, 487, 188, 102, mix(plate, white, 0.1));
  c.frame(panelLeft + 6, 487, 188, 1, plateDark);
  drawString(c, panelLeft + 100 - 47, 500, "SPINDREL", 2, 6, 0xE8ECF4, textShadow);
  const int chainY = 552;
  for (int x = 46; x < 154; ++x)
    for (int k = 0; k < 7; ++k) c.set(panelLeft + x, chainY - 3 + k, steel[k]);
  for (int i = 0; i < 4; ++i) {
    const int cx = 46 + 36 * i;
    drawBody(c, panelLeft + cx, chainY, 9.6, i + 1);
  }
}

Canvas makeUiSheet() {
  Canvas c(uiSheetWidth, uiSheetHeight, keyColour);
  drawPointer(c, pointer.x, pointer.y);
  drawTile(c, backgroundTile.x, backgroundTile.y);
  drawPanel(c);
  return c;
}
}  // namespace

bool writeSheets(const std::string& folder) {
  return makeFontSheet().save(folder + "/font.bmp") && makeUiSheet().save(folder + "/ui.bmp") &&
         makeNodeSheet().save(folder + "/nodes.bmp");
}

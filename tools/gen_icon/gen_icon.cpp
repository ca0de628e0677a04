// Draws the 48 x 48 desktop icon from the node sheet: the four players'
// bodies with their arrows turned toward the centre, as an XPM.
//   spindrel-gen-icon NODES.bmp ICON.xpm
#include <SDL.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {
constexpr int iconSize = 48;
constexpr int nodeSize = 23;
constexpr int pitch = 25;  // of the node sheet's strip

Uint32 rgbAt(SDL_Surface* sheet, int x, int y) {
  const Uint8* row = static_cast<const Uint8*>(sheet->pixels) + y * sheet->pitch;
  const int bytes = sheet->format->BytesPerPixel;
  Uint32 value = 0;
  for (int i = 0; i < bytes; ++i) value |= Uint32(row[x * bytes + i]) << (8 * i);
  Uint8 r, g, b;
  SDL_GetRGB(value, sheet->format, &r, &g, &b);
  return Uint32(r) << 16 | g << 8 | b;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s NODES.bmp ICON.xpm\n", argv[0]);
    return 2;
  }
  SDL_Surface* sheet = SDL_LoadBMP(argv[1]);
  if (!sheet || sheet->w < 13 * pitch || sheet->h < nodeSize) {
    std::fprintf(stderr, "%s: cannot read the node sheet %s\n", argv[0], argv[1]);
    return 1;
  }
  SDL_LockSurface(sheet);
  const Uint32 key = rgbAt(sheet, 0, 0);
  std::vector<Uint32> icon(iconSize * iconSize, key);
  // Blue top left pointing right, yellow top right pointing down, red bottom
  // right pointing left, green bottom left pointing up: a little cascade.
  struct Corner {
    int x, y, body, arrow;
  };
  const Corner corners[] = {{0, 0, 1, 0}, {25, 0, 4, 3}, {25, 25, 2, 2}, {0, 25, 3, 1}};
  for (const Corner& c : corners) {
    for (int layer : {c.body, 5 + c.arrow}) {
      for (int y = 0; y < nodeSize; ++y) {
        for (int x = 0; x < nodeSize; ++x) {
          const Uint32 colour = rgbAt(sheet, pitch * layer + x, y);
          if (colour != key) icon[(c.y + y) * iconSize + c.x + x] = colour;
        }
      }
    }
  }
  SDL_UnlockSurface(sheet);

  // One printable character pair per colour; the key colour is transparent.
  std::map<Uint32, std::string> codes;
  const std::string alphabet =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+-*/=:;<>";
  codes[key] = "  ";
  for (Uint32 colour : icon) {
    if (codes.count(colour)) continue;
    const size_t n = codes.size() - 1;
    codes[colour] = std::string{alphabet[n % alphabet.size()], alphabet[n / alphabet.size()]};
  }

  FILE* out = std::fopen(argv[2], "w");
  if (!out) {
    std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
    return 1;
  }
  std::fprintf(out, "/* XPM */\nstatic char *cspindrel[] = {\n\"%d %d %zu 2\",\n", iconSize,
               iconSize, codes.size());
  for (const auto& [colour, code] : codes) {
    if (colour == key)
      std::fprintf(out, "\"%s c None\",\n", code.c_str());
    else
      std::fprintf(out, "\"%s c #%06X\",\n", code.c_str(), colour);
  }
  for (int y = 0; y < iconSize; ++y) {
    std::string line;
    for (int x = 0; x < iconSize; ++x) line += codes[icon[y * iconSize + x]];
    std::fprintf(out, "\"%s\"%s\n", line.c_str(), y + 1 < iconSize ? "," : "");
  }
  std::fprintf(out, "};\n");
  return std::fclose(out) == 0 ? 0 : 1;
}

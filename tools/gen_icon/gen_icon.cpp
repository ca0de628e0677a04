// Draws the desktop icon from the node sheet: the four players' bodies with
// their arrows turned toward each other, a little cascade, written as an
// RGBA PNG of the size asked for.
//   spindrel-gen-icon NODES.bmp SIZE ICON.png
// The picture is two nodes wide. Sizes at least that wide get it enlarged by
// a whole factor and centred, so every sheet pixel stays a sharp square;
// smaller sizes get it shrunk by averaging the area each icon pixel covers.
#include <SDL.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "render/pixels.h"
#include "render/sheet_layout.h"

namespace {
using layout::nodePicture;
using layout::nodeStep;
constexpr int pictureSize = nodeStep + nodePicture;  // two nodes and the gap between

struct Rgba {
  double r = 0, g = 0, b = 0, a = 0;  // colour premultiplied by alpha, all 0..255
};

// Blue top left pointing east, yellow top right pointing south, red bottom
// right pointing west, green bottom left pointing north.
struct Corner {
  int x, y, owner, direction;
};
constexpr Corner corners[] = {
    {0, 0, 1, 0}, {nodeStep, 0, 4, 3}, {nodeStep, nodeStep, 2, 2}, {0, nodeStep, 3, 1}};

// The picture at the sheet's own scale; the sheet's key colour (its top-left
// pixel) is transparent.
std::vector<Rgba> drawPicture(const SDL_Surface* sheet) {
  std::vector<Rgba> picture(pictureSize * pictureSize);
  const uint32_t key = readRgb(sheet, 0, 0);
  for (const Corner& c : corners) {
    for (int left : {layout::bodyX(c.owner), layout::arrowX(c.direction)}) {
      for (int y = 0; y < nodePicture; ++y) {
        for (int x = 0; x < nodePicture; ++x) {
          const uint32_t colour = readRgb(sheet, left + x, y);
          if (colour == key) continue;
          picture[(c.y + y) * pictureSize + c.x + x] =
              Rgba{double(colour >> 16), double(colour >> 8 & 0xff), double(colour & 0xff), 255};
        }
      }
    }
  }
  return picture;
}

// The picture at `size` pixels square, as straight (not premultiplied) RGBA.
std::vector<png_byte> scale(const std::vector<Rgba>& picture, int size) {
  std::vector<Rgba> icon(size * size);
  if (size >= pictureSize) {
    const int factor = size / pictureSize, margin = (size - factor * pictureSize) / 2;
    for (int y = 0; y < pictureSize * factor; ++y)
      for (int x = 0; x < pictureSize * factor; ++x)
        icon[(margin + y) * size + margin + x] = picture[y / factor * pictureSize + x / factor];
  } else {
    // On a grid of pictureSize * size steps a picture pixel spans `size`
    // steps and an icon pixel `pictureSize`; weigh by the overlap.
    auto overlap = [size](int pixel, int iconPixel) {
      const int from = std::max(pixel * size, iconPixel * pictureSize);
      const int to = std::min((pixel + 1) * size, (iconPixel + 1) * pictureSize);
      return std::max(0, to - from);
    };
    const double area = double(pictureSize) * pictureSize;
    for (int ty = 0; ty < size; ++ty) {
      for (int tx = 0; tx < size; ++tx) {
        Rgba sum;
        for (int y = ty * pictureSize / size; y < pictureSize && y * size < (ty + 1) * pictureSize;
             ++y) {
          for (int x = tx * pictureSize / size;
               x < pictureSize && x * size < (tx + 1) * pictureSize; ++x) {
            const double w = double(overlap(x, tx)) * overlap(y, ty) / area;
            const Rgba& p = picture[y * pictureSize + x];
            sum.r += w * p.r * p.a / 255;
            sum.g += w * p.g * p.a / 255;
            sum.b += w * p.b * p.a / 255;
            sum.a += w * p.a;
          }
        }
        icon[ty * size + tx] = sum;
      }
    }
  }

  std::vector<png_byte> rgba;
  rgba.reserve(icon.size() * 4);
  for (const Rgba& p : icon) {
    // Premultiplied sums back to straight colour; fully transparent is black.
    const double unmultiply = p.a > 0 ? 255 / p.a : 0;
    for (double channel : {p.r * unmultiply, p.g * unmultiply, p.b * unmultiply, p.a})
      rgba.push_back(png_byte(std::min(255.0, channel + 0.5)));
  }
  return rgba;
}
}  // namespace

int main(int argc, char** argv) {
  const int size = argc == 4 ? std::atoi(argv[2]) : 0;
  if (size < 1 || size > 1024) {
    std::fprintf(stderr, "usage: %s NODES.bmp SIZE ICON.png (SIZE 1 to 1024)\n", argv[0]);
    return 2;
  }
  SDL_Surface* sheet = SDL_LoadBMP(argv[1]);
  if (!sheet || sheet->w < layout::nodeSheetWidth || sheet->h < nodePicture) {
    std::fprintf(stderr, "%s: cannot read the node sheet %s\n", argv[0], argv[1]);
    return 1;
  }
  SDL_LockSurface(sheet);
  const std::vector<Rgba> picture = drawPicture(sheet);
  SDL_UnlockSurface(sheet);
  SDL_FreeSurface(sheet);

  const std::vector<png_byte> pixels = scale(picture, size);
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = size;
  image.height = size;
  image.format = PNG_FORMAT_RGBA;
  if (!png_image_write_to_file(&image, argv[3], 0, pixels.data(), 0, nullptr)) {
    std::fprintf(stderr, "%s: cannot write %s: %s\n", argv[0], argv[3], image.message);
    return 1;
  }
  return 0;
}

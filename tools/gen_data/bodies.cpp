#include "tools/gen_data/bodies.h"

#include <algorithm>
#include <cmath>

// Chosen so that every pair stays apart for protanopes, deuteranopes and
// tritanopes as well as for everyone else: the lightness steps from red (the
// darkest) through blue, grey and green to yellow, and the hues keep their
// names. tests/unit/colour_vision_test.cpp measures the drawn bodies.
const Colour ownerColours[5] = {0x7F7F85, 0x0E44AB, 0x941614, 0x53C16F, 0xFFFE27};

namespace {
constexpr Colour black = 0x000000;
constexpr Colour white = 0xFFFFFF;

// How far (x, y) lies from the centre of the owner's shape, scaled so that
// the shape's edge is at 1 (like the distance from the centre of a unit
// circle). Every shape is convex or a union of convex parts, so the value
// grows steadily outward.
double shapeDistance(int owner, double x, double y) {
  const double ax = std::fabs(x), ay = std::fabs(y);
  switch (owner) {
    case 1: return std::max(ax, ay) / 0.87;  // square
    case 2: return (ax + ay) / 1.12;         // diamond, corners on the axes
    case 3: {                                // a cog of eight teeth
      const double teeth = std::max(-1.0, std::min(1.0, 1.6 * std::cos(8 * std::atan2(y, x))));
      return std::sqrt(x * x + y * y) / (0.93 + 0.12 * teeth);
    }
    case 4: {  // a cross: two bars 1.04 wide and 2.04 long
      const double across = 0.52, half = 1.02;
      const double lying = std::max(ay, ax - half + across),
                   standing = std::max(ax, ay - half + across);
      return std::min(lying, standing) / across;
    }
    default: return std::sqrt(x * x + y * y) / 0.9;  // round, a little smaller
  }
}
}  // namespace

void drawBody(Canvas& c, double cx, double cy, double r, int owner) {
  const double lx = -0.45, ly = -0.6, lz = 0.66;
  const double ln = std::sqrt(lx * lx + ly * ly + lz * lz);
  const Colour base = ownerColours[owner];
  const Colour rim = mix(base, black, 0.62);
  const Colour shade = mix(base, black, 0.28);
  const Colour light = mix(base, white, 0.30);
  const Colour shine = mix(base, white, 0.72);
  auto distance = [&](double x, double y) { return shapeDistance(owner, x / r, y / r); };
  for (int y = static_cast<int>(cy - r) - 2; y <= static_cast<int>(cy + r) + 2; ++y) {
    for (int x = static_cast<int>(cx - r) - 2; x <= static_cast<int>(cx + r) + 2; ++x) {
      const double dx = x - cx, dy = y - cy, d = distance(dx, dy);
      if (d > 1) continue;
      // The slope of the distance, per pixel: the rim is the last pixel
      // inside the edge, and the surface leans the way the edge is nearest.
      const double gx = distance(dx + 0.5, dy) - distance(dx - 0.5, dy);
      const double gy = distance(dx, dy + 0.5) - distance(dx, dy - 0.5);
      const double slope = std::sqrt(gx * gx + gy * gy);
      if (slope == 0 || 1 - d < slope) {
        c.set(x, y, slope == 0 ? base : rim);
        continue;
      }
      // The cog is lit as a ball, so its teeth do not flicker.
      const double nx = owner == 3 ? dx / r : gx / slope * d,
                   ny = owner == 3 ? dy / r : gy / slope * d;
      const double nz = std::sqrt(std::max(0.0, 1 - nx * nx - ny * ny));
      const double lit = (nx * lx + ny * ly + nz * lz) / ln;
      c.set(x, y, lit > 0.96 ? shine : lit > 0.78 ? light : lit > 0.38 ? base : shade);
    }
  }
}

// The five owner bodies of the generated node sheet as players with each of
// the three kinds of colour blindness see them (Machado, Oliveira and
// Fernandes 2009, severity 1, in linear light; a body's colour is the mean
// L*a*b* of its pixels), and as someone who sees no colour tells them apart:
// by their outline outside the arrows. HACKING.md gives the reasons for the
// two limits: 15 by CIEDE2000 and 40 pixels of outline.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

#include "render/pixels.h"
#include "render/sheet_layout.h"

namespace {
constexpr double minColourDifference = 15;
constexpr int minShapeDifference = 40;

using Lab = std::array<double, 3>;

const struct Vision {
  const char* name;
  double m[9];
} visions[] = {
    {"normal", {1, 0, 0, 0, 1, 0, 0, 0, 1}},
    {"protanopia",
     {0.152286, 1.052583, -0.204868, 0.114503, 0.786281, 0.099216, -0.003882, -0.048116, 1.051998}},
    {"deuteranopia",
     {0.367322, 0.860646, -0.227968, 0.280085, 0.672501, 0.047413, -0.011820, 0.042940, 0.968881}},
    {"tritanopia",
     {1.255528, -0.076749, -0.178779, -0.078411, 0.930809, 0.147602, 0.004733, 0.691367, 0.303900}},
};

double toLinear(int channel) {
  const double c = channel / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

Lab seenAs(uint32_t rgb, const double* m) {
  const double in[3] = {toLinear(rgb >> 16 & 0xFF), toLinear(rgb >> 8 & 0xFF),
                        toLinear(rgb & 0xFF)};
  double c[3];
  for (int i = 0; i < 3; ++i)
    c[i] = std::clamp(m[3 * i] * in[0] + m[3 * i + 1] * in[1] + m[3 * i + 2] * in[2], 0.0, 1.0);
  // sRGB primaries, D65 white.
  const double x = (0.4124564 * c[0] + 0.3575761 * c[1] + 0.1804375 * c[2]) / 0.95047;
  const double y = 0.2126729 * c[0] + 0.7151522 * c[1] + 0.0721750 * c[2];
  const double z = (0.0193339 * c[0] + 0.1191920 * c[1] + 0.9503041 * c[2]) / 1.08883;
  auto f = [](double t) {
    return t > 216.0 / 24389 ? std::cbrt(t) : (24389.0 / 27 * t + 16) / 116;
  };
  return {116 * f(y) - 16, 500 * (f(x) - f(y)), 200 * (f(y) - f(z))};
}

// CIEDE2000 (Sharma, Wu and Dalal's formulation), with kL = kC = kH = 1.
double ciede2000(const Lab& p, const Lab& q) {
  const double pi = std::acos(-1.0), deg = pi / 180;
  const double cBar = (std::hypot(p[1], p[2]) + std::hypot(q[1], q[2])) / 2;
  const double c7 = std::pow(cBar, 7), g = 0.5 * (1 - std::sqrt(c7 / (c7 + std::pow(25.0, 7))));
  const double a1 = (1 + g) * p[1], a2 = (1 + g) * q[1];
  const double c1 = std::hypot(a1, p[2]), c2 = std::hypot(a2, q[2]);
  auto hue = [&](double b, double a) {
    const double h = std::atan2(b, a) / deg;
    return h < 0 ? h + 360 : h;
  };
  const double h1 = c1 == 0 ? 0 : hue(p[2], a1), h2 = c2 == 0 ? 0 : hue(q[2], a2);
  double dh = 0, hBar = h1 + h2;
  if (c1 * c2 != 0) {
    dh = h2 - h1;
    if (dh > 180) dh -= 360;
    if (dh < -180) dh += 360;
    hBar = std::fabs(h1 - h2) <= 180 ? hBar / 2 : hBar < 360 ? (hBar + 360) / 2 : (hBar - 360) / 2;
  }
  const double dL = q[0] - p[0], dC = c2 - c1, dH = 2 * std::sqrt(c1 * c2) * std::sin(dh / 2 * deg);
  const double lBar = (p[0] + q[0]) / 2, cpBar = (c1 + c2) / 2;
  const double t = 1 - 0.17 * std::cos((hBar - 30) * deg) + 0.24 * std::cos(2 * hBar * deg) +
                   0.32 * std::cos((3 * hBar + 6) * deg) - 0.20 * std::cos((4 * hBar - 63) * deg);
  const double l50 = (lBar - 50) * (lBar - 50);
  const double sL = 1 + 0.015 * l50 / std::sqrt(20 + l50), sC = 1 + 0.045 * cpBar,
               sH = 1 + 0.015 * cpBar * t;
  const double cp7 = std::pow(cpBar, 7);
  const double rT = -2 * std::sqrt(cp7 / (cp7 + std::pow(25.0, 7))) *
                    std::sin(60 * std::exp(-std::pow((hBar - 275) / 25, 2)) * deg);
  const double l = dL / sL, c = dC / sC, h = dH / sH;
  return std::sqrt(l * l + c * c + h * h + rT * c * h);
}

constexpr int side = layout::nodePicture;
using Mask = std::array<bool, side * side>;

struct Body {
  Mask mask{};
  std::vector<uint32_t> pixels;
};

// The opaque pixels of the 23 x 23 picture at `left`.
Body readPicture(const SDL_Surface* sheet, int left) {
  const uint32_t key = readRgb(sheet, 0, 0);
  Body body;
  for (int i = 0; i < side * side; ++i) {
    const uint32_t rgb = readRgb(sheet, left + i % side, i / side);
    body.mask[i] = rgb != key;
    if (rgb != key) body.pixels.push_back(rgb);
  }
  return body;
}
}  // namespace

TEST(ColourVision, TheVisionsSeeWhiteAsWhiteAndADeuteranopeConfusesRedAndGreen) {
  // White stays white, and a red and a green that everyone else tells apart
  // at once look alike to a deuteranope.
  for (const Vision& v : visions) EXPECT_NEAR(seenAs(0xFFFFFF, v.m)[0], 100, 0.5) << v.name;
  EXPECT_GT(ciede2000(seenAs(0xDC3A36, visions[0].m), seenAs(0x33B04A, visions[0].m)), 30);
  EXPECT_LT(ciede2000(seenAs(0xDC3A36, visions[2].m), seenAs(0x33B04A, visions[2].m)), 8);
}

TEST(ColourVision, EveryTwoOwnersStayApartByColourAndByOutline) {
  SDL_Surface* sheet = SDL_LoadBMP("nodes.bmp");
  ASSERT_NE(sheet, nullptr) << SDL_GetError();
  SDL_LockSurface(sheet);
  Body bodies[5];
  for (int owner = 0; owner < 5; ++owner) bodies[owner] = readPicture(sheet, layout::bodyX(owner));
  Mask underArrows{};
  for (int d = 0; d < 4; ++d) {
    const Body arrow = readPicture(sheet, layout::arrowX(d));
    for (int i = 0; i < side * side; ++i) underArrows[i] = underArrows[i] || arrow.mask[i];
  }
  SDL_UnlockSurface(sheet);
  SDL_FreeSurface(sheet);

  static const char* const owners[5] = {"nobody", "blue", "red", "green", "yellow"};
  for (const Vision& v : visions) {
    Lab mean[5]{};
    for (int owner = 0; owner < 5; ++owner) {
      ASSERT_FALSE(bodies[owner].pixels.empty()) << owners[owner];
      for (uint32_t rgb : bodies[owner].pixels) {
        const Lab lab = seenAs(rgb, v.m);
        for (int k = 0; k < 3; ++k) mean[owner][k] += lab[k] / bodies[owner].pixels.size();
      }
    }
    double least = 1e9;
    for (int a = 0; a < 5; ++a) {
      for (int b = a + 1; b < 5; ++b) {
        const double difference = ciede2000(mean[a], mean[b]);
        least = std::min(least, difference);
        EXPECT_GE(difference, minColourDifference)
            << owners[a] << " and " << owners[b] << " under " << v.name;
      }
    }
    std::printf("least colour difference under %s: %.1f\n", v.name, least);
  }

  int leastShape = side * side;
  for (int a = 0; a < 5; ++a) {
    for (int b = a + 1; b < 5; ++b) {
      int differing = 0;
      for (int i = 0; i < side * side; ++i)
        differing += !underArrows[i] && bodies[a].mask[i] != bodies[b].mask[i];
      leastShape = std::min(leastShape, differing);
      EXPECT_GE(differing, minShapeDifference) << owners[a] << " and " << owners[b];
    }
  }
  std::printf("least outline difference beside the arrows: %d pixels\n", leastShape);
}

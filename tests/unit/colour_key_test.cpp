// The transparent colour of a sheet after loading: whatever the bitmap's own
// format, its top-left colour vanishes on screen and every other colour
// shows as it is.
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/shell.h"
#include "render/sprites.h"
#include "tests/unit/test_support.h"

namespace {

// The key has three different bytes, so that a red-blue swap or a byte taken
// from the wrong place cannot pass for it.
constexpr uint32_t key = 0xE01040;
// What the screen holds before a blit; no picture below uses it.
constexpr uint32_t backdrop = 0x2B2B70;

// Seven pixels a row (an odd width, so 24-bit rows carry padding), three
// rows. Right of the key sits a colour whose first byte in a 24-bit file
// (blue, 0xFF) is what a four-byte read of the key would take in; then
// colours one step from the key, its red-blue mirror and the extremes.
const std::vector<uint32_t> picture = {
    key,      0x3399FF, key,      0x000000, 0xFFFFFF, 0xE01041, key,       //
    0x4010E0, 0xE11040, 0xE01140, key,      0xFF00FF, 0x00FF00, 0x40E010,  //
    0xFFE010, key,      0x10E040, 0x1040E0, key,      0x010101, 0xE01040 ^ 0x808080,
};
constexpr int pictureWidth = 7, pictureHeight = 3;

// A temporary folder of its own for every test binary run.
std::string tempFolder() {
  static std::string folder;
  if (folder.empty()) {
    char name[] = "/tmp/spindrel_key_XXXXXX";
    const char* made = mkdtemp(name);
    folder = made ? made : "/tmp";
  }
  return folder;
}

// 24 bits per pixel through SDL's own writer.
std::string write24(const std::string& name) {
  SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, pictureWidth, pictureHeight, 24, 0xFF0000,
                                        0x00FF00, 0x0000FF, 0);
  EXPECT_NE(s, nullptr);
  if (!s) return "";
  for (int i = 0; i < pictureWidth * pictureHeight; ++i) {
    SDL_Rect r{static_cast<Sint16>(i % pictureWidth), static_cast<Sint16>(i / pictureWidth), 1, 1};
    const uint32_t c = picture[i];
    SDL_FillRect(s, &r, SDL_MapRGB(s->format, c >> 16, (c >> 8) & 0xFF, c & 0xFF));
  }
  const std::string path = tempFolder() + "/" + name;
  EXPECT_EQ(SDL_SaveBMP(s, path.c_str()), 0);
  SDL_FreeSurface(s);
  return path;
}

void put16(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 2; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// 32 bits per pixel, written by hand: the SDL 1.2 writer always falls back to
// 24. Painters fill the fourth byte with 0xFF; `pad` chooses it.
std::string write32(const std::string& name, int width, int height,
                    const std::vector<uint32_t>& pixels, uint8_t pad) {
  std::vector<uint8_t> file;
  const uint32_t imageBytes = 4u * width * height;
  file.push_back('B');
  file.push_back('M');
  put32(file, 54 + imageBytes);
  put32(file, 0);
  put32(file, 54);  // pixel data offset
  put32(file, 40);  // BITMAPINFOHEADER
  put32(file, width);
  put32(file, height);
  put16(file, 1);
  put16(file, 32);
  put32(file, 0);  // BI_RGB
  put32(file, imageBytes);
  put32(file, 2835);
  put32(file, 2835);
  put32(file, 0);
  put32(file, 0);
  for (int y = height - 1; y >= 0; --y)  // bottom row first
    for (int x = 0; x < width; ++x) put32(file, pixels[y * width + x] | uint32_t(pad) << 24);
  const std::string path = tempFolder() + "/" + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  EXPECT_NE(f, nullptr);
  if (!f) return "";
  std::fwrite(file.data(), 1, file.size(), f);
  std::fclose(f);
  return path;
}

// The bytes per pixel of a bitmap file as SDL reads it.
int fileBytesPerPixel(const std::string& path) {
  SDL_Surface* s = SDL_LoadBMP(path.c_str());
  if (!s) return 0;
  const int bytes = s->format->BytesPerPixel;
  SDL_FreeSurface(s);
  return bytes;
}

class ColourKey : public ::testing::Test {
 protected:
  // The tests load into the interface slot; the real sheet comes back
  // afterwards for every later test.
  void SetUp() override {
    openTestScreen();
    saved = sheets[Ui];
    sheets[Ui] = nullptr;
  }
  void TearDown() override {
    if (sheets[Ui] && sheets[Ui] != saved) SDL_FreeSurface(sheets[Ui]);
    sheets[Ui] = saved;
    for (const std::string& path : written) std::remove(path.c_str());
  }
  std::string keep(const std::string& path) {
    written.push_back(path);
    return path;
  }

  // Loads the file as a sheet, blits it onto the backdrop colour and checks
  // every pixel: the key shows the backdrop, anything else itself.
  void expectKeyedBlit(const std::string& path) {
    ASSERT_TRUE(loadSheet(path.c_str(), Ui));
    ASSERT_NE(sheets[Ui], nullptr);
    // Converted once at load time: every blit is between equal formats.
    EXPECT_EQ(sheets[Ui]->format->BitsPerPixel, screen->format->BitsPerPixel);
    clearScreen(backdrop);
    SDL_Rect source{0, 0, pictureWidth, pictureHeight};
    SDL_Rect target{40, 30, pictureWidth, pictureHeight};
    SDL_UpperBlit(sheets[Ui], &source, screen, &target);
    for (int i = 0; i < pictureWidth * pictureHeight; ++i) {
      const int x = i % pictureWidth, y = i / pictureWidth;
      const uint32_t expected = picture[i] == key ? backdrop : picture[i];
      EXPECT_EQ(pixelAt(screen, 40 + x, 30 + y), expected)
          << std::hex << "pixel (" << x << ", " << y << ") of colour " << picture[i];
    }
  }

  SDL_Surface* saved = nullptr;
  std::vector<std::string> written;
};

TEST_F(ColourKey, TwentyFourBitSheetKeysItsTopLeftColourOnly) {
  const std::string path = keep(write24("key24.bmp"));
  ASSERT_EQ(fileBytesPerPixel(path), 3);
  expectKeyedBlit(path);
}

TEST_F(ColourKey, ThirtyTwoBitSheetKeysItsTopLeftColourOnly) {
  const std::string path = keep(write32("key32.bmp", pictureWidth, pictureHeight, picture, 0x00));
  ASSERT_EQ(fileBytesPerPixel(path), 4);
  expectKeyedBlit(path);
}

// Many painters write 0xFF into the unused fourth byte of a 32-bit bitmap.
// The display conversion copies that byte along unchanged, so a key built
// from the colour alone would miss the sheet's own key pixels.
TEST_F(ColourKey, ThirtyTwoBitSheetWithAFilledFourthByte) {
  const std::string path = keep(write32("key32ff.bmp", pictureWidth, pictureHeight, picture, 0xFF));
  ASSERT_EQ(fileBytesPerPixel(path), 4);
  expectKeyedBlit(path);
}

TEST_F(ColourKey, MissingEmptyOrBrokenFilesAreFailedLoads) {
  EXPECT_FALSE(loadSheet((tempFolder() + "/no-such-sheet.bmp").c_str(), Ui));
  EXPECT_EQ(sheets[Ui], nullptr);

  // A well-formed header for a picture of no pixels at all.
  EXPECT_FALSE(loadSheet(keep(write32("empty.bmp", 0, 0, {}, 0)).c_str(), Ui));
  EXPECT_EQ(sheets[Ui], nullptr);

  // A bitmap cut off in the middle of its pixels.
  const std::string whole = keep(write24("whole.bmp"));
  FILE* in = std::fopen(whole.c_str(), "rb");
  ASSERT_NE(in, nullptr);
  std::vector<char> bytes(70);
  const size_t got = std::fread(bytes.data(), 1, bytes.size(), in);
  std::fclose(in);
  ASSERT_EQ(got, bytes.size());
  const std::string cut = keep(tempFolder() + "/cut.bmp");
  FILE* out = std::fopen(cut.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), out);
  std::fclose(out);
  EXPECT_FALSE(loadSheet(cut.c_str(), Ui));
  EXPECT_EQ(sheets[Ui], nullptr);
}

}  // namespace

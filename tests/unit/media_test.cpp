// What the approved pictures cannot see: the colour key of sheets in other
// formats, text bytes without a glyph, and the sound of a firing.
#include <SDL_mixer.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/shell.h"
#include "board/cascade.h"
#include "render/pixels.h"
#include "render/screen.h"
#include "render/sheet_layout.h"
#include "render/sprites.h"
#include "render/text.h"
#include "sound/channel_book.h"
#include "sound/mp3_decode.h"
#include "sound/sound.h"
#include "tests/unit/support.h"

namespace {
// A 5 x 2 picture keyed by its top-left colour; the others lie near the key.
constexpr uint32_t key = 0xE01040, backdrop = 0x2B2B70;
const uint32_t picture[10] = {key,      0x3399FF, key,      0xE01041, 0x000000,
                              0xE11040, key,      0xFF00FF, 0x010101, key ^ 0x808080};

// The picture as a BMP of 24 or 32 bits, bottom row first; a 32-bit one
// has the fourth byte of every pixel set to pad.
void writeBmp(const std::string& path, int bits, uint8_t pad) {
  std::vector<uint8_t> f = {'B', 'M'};
  auto put = [&f](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) f.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  put(0, 4), put(0, 4), put(54, 4), put(40, 4), put(5, 4), put(2, 4), put(1, 2), put(bits, 2);
  for (int i = 0; i < 6; ++i) put(0, 4);
  for (int y = 1; y >= 0; --y) {
    for (int x = 0; x < 5; ++x) put(picture[y * 5 + x] | uint32_t(pad) << 24, bits / 8);
    if (bits == 24) put(0, 1);  // rows end on four bytes
  }
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<char*>(f.data()), f.size());
}

std::vector<uint32_t> grab(int x, int y, int w, int h) {
  std::vector<uint32_t> out;
  for (int j = y; j < y + h; ++j)
    for (int i = x; i < x + w; ++i) out.push_back(readRgb(screen, i, j));
  return out;
}
}  // namespace

TEST(Sheets, TheTopLeftColourIsTransparentIn24And32BitSheets) {
  loadTestSheets();
  SDL_Surface* const kept = sheets[Ui];
  // A file of this process's own: the builds' tests run side by side.
  const std::string path = "/tmp/spindrel-key-" + std::to_string(getpid()) + ".bmp";
  for (int format = 0; format < 3; ++format) {
    writeBmp(path, format == 0 ? 24 : 32, format == 2 ? 0xFF : 0x00);
    ASSERT_TRUE(loadSheet(path.c_str(), Ui));
    clearScreen(backdrop);
    SDL_Rect source{0, 0, 5, 2}, target{40, 30, 5, 2};
    SDL_UpperBlit(sheets[Ui], &source, screen, &target);
    for (int i = 0; i < 10; ++i)
      EXPECT_EQ(readRgb(screen, 40 + i % 5, 30 + i / 5), picture[i] == key ? backdrop : picture[i])
          << "format " << format << ", pixel " << i;
    SDL_FreeSurface(sheets[Ui]);
  }
  std::remove(path.c_str());
  sheets[Ui] = kept;
}

TEST(Drawing, HighBytesDrawNothingButMoveThePen) {
  loadTestSheets();
  clearScreen(backdrop);
  drawText(300, 100, "A\xC8\xFFZ", Font);
  const std::vector<uint32_t> withHighBytes = grab(300, 100, 60, 15);
  clearScreen(backdrop);
  drawText(300, 100, "A", Font);
  drawText(300 + 3 * layout::textAdvance, 100, "Z", Font);
  EXPECT_EQ(grab(300, 100, 60, 15), withHighBytes);
}

TEST(Drawing, TheStatusLineAndTheTurnRowForEveryColour) {
  loadTestSheets();
  GameState& g = resetGame();
  using namespace layout;
  // The status line and the five count rows as the panel draws them.
  auto shown = [] { return grab(0, statusY, panel.width, countsY(Yellow) + 15 - statusY); };
  const struct {
    int32_t countdown, winner, player;
    const char* line;
  } cases[] = {{1, Red, Red, "BUSY"},
               {0, Blue, Red, "BLUE PLAYER WON!!!"},
               {-1, Red, Blue, "RED PLAYER WON!!!"},
               {0, Green, Nobody, "GREEN PLAYER WON!!!"},
               {0, Yellow, Blue, "YELLOW PLAYER WON!!!"},
               {-1, 0, Blue, "BLUE'S TURN"},
               {0, 0, Red, "RED'S TURN"},
               {-1, 0, Green, "GREEN'S TURN"},
               {-1, 0, Yellow, "YELLOW'S TURN"},
               {0, 0, Nobody, nullptr}};
  for (const auto& k : cases) {
    settleCountdown = k.countdown, winner = k.winner, g.currentPlayer = k.player;
    g.drawPanel();
    const std::vector<uint32_t> panelLines = shown();
    drawSprite(0, 0, SlotPanel);
    if (k.line) drawTextCentred(panelCentreX, statusY, k.line, Font);
    for (PlayerId p = 0; p < playerIdCount; ++p)
      drawText(countsX, countsY(p), p == k.player ? "  0 NODES - TURN" : "  0 NODES", Font);
    EXPECT_EQ(panelLines, shown()) << (k.line ? k.line : "no status line");
  }
}

TEST(Drawing, AFrameShowsTheStateItLeaves) {
  loadTestSheets();
  resetGame().newGame();
  runFrame();  // the deal's captures count down
  runFrame();  // and fire: background, update, fuse ticks, board, panel
  const std::vector<uint32_t> shown =
      grab(0, 0, revision::windowWidth, revision::windowHeight - 20);
  drawScene();  // the same state drawn again (above the frame rate, which follows the clock)
  EXPECT_EQ(grab(0, 0, revision::windowWidth, revision::windowHeight - 20), shown);
}

TEST(Sound, DecodingGivesTheMixersLayoutAndSSilencesFirings) {
  // The firing sound decoded for two layouts: the same length of time.
  std::vector<Uint8> stereo, mono;
  ASSERT_TRUE(decodeMp3File("etm0507.mp3", PcmFormat{32000, AUDIO_S16SYS, 2}, stereo));
  ASSERT_TRUE(decodeMp3File("etm0507.mp3", PcmFormat{11025, AUDIO_U8, 1}, mono));
  EXPECT_NEAR(stereo.size() / (32000.0 * 4), 0.110, 0.005);  // the generated blip lasts 110 ms
  EXPECT_NEAR(mono.size() / 11025.0, 0.110, 0.005);

  initSound();
  ASSERT_NE(soundSamples[1], nullptr);
  for (bool on : {true, false, true}) {
    resetGame();
    Mix_HaltChannel(-1);
    if (soundOn != on) push(SDL_KEYDOWN, 0, 0, SDLK_s);
    put(3, 3, Blue, East);
    click(revision::boardOriginX + 3 * 24 + 5, revision::boardOriginY + 3 * 24 + 5);
    frame();
    EXPECT_EQ(settleCountdown, 10);
    EXPECT_EQ(Mix_Playing(-1) > 0, on);
  }
  // Every channel busy (held paused, started 2 ms apart, channel 0 last):
  // the next firing takes over the one that has played longest, channel 1.
  Mix_HaltChannel(-1);
  for (int c = 0; c <= 16; ++c) {
    if (c == 16) Mix_HaltChannel(0);
    playSound(1);
    Mix_Pause(-1);
    SDL_Delay(2);
  }
  playSound(1);
  std::vector<int> playing;
  for (int c = 0; c < 16; ++c)
    if (!Mix_Paused(c)) playing.push_back(c);
  EXPECT_EQ(playing, std::vector<int>{1});
  closeSound();
}

TEST(Sound, TheBrowsersChannelBookTakesFreeChannelsThenTheOldest) {
  ChannelBook book(3);
  std::vector<int> claims;
  for (int i = 0; i < 5; ++i) claims.push_back(book.claim());  // 0 1 2, then the oldest: 0 1
  book.finished(2);
  book.finished(7);                // no such channel: nothing
  claims.push_back(book.claim());  // a finished channel before any busy one
  claims.push_back(book.claim());  // then the oldest start
  EXPECT_EQ(claims, (std::vector<int>{0, 1, 2, 0, 1, 2, 0}));
  EXPECT_EQ(ChannelBook(0).claim(), -1);
}

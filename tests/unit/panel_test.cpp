// The status panel: every line with its text at its place, compared with
// the same strings drawn on their own; the frame-rate readout; the pointer.
#include "render/panel.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "app/shell.h"
#include "board/cascade.h"
#include "game/game_state.h"
#include "render/sprites.h"
#include "tests/unit/render_check.h"
#include "tests/unit/test_support.h"

using namespace render_check;
using namespace revision;

namespace {

struct Line {
  int x, y;
  std::string text;
  bool centred;
};

// The expected panel: backdrop, the given lines (centred ones start half
// their 7-pixel advance left of x), the pointer last.
Image expectedPanel(const std::vector<Line>& lines, int mouseX, int mouseY) {
  Image expected(screen->w, screen->h, unusedColour());
  overlay(expected, Ui, 64, 0, 200, 600, 0, 0);
  for (const Line& line : lines) {
    const int n = static_cast<int>(line.text.size());
    overlayText(expected, line.centred ? line.x - 7 * n / 2 : line.x, line.y, line.text);
  }
  overlay(expected, Ui, 0, 31, 23, 22, mouseX, mouseY);
  return expected;
}

// The lines that do not depend on the counts and the status.
std::vector<Line> settingsAndFooter(const std::vector<std::string>& settings) {
  std::vector<Line> lines;
  for (size_t i = 0; i < settings.size(); ++i) {
    if (settings[i].empty()) continue;
    const int k = static_cast<int>(i) / 2;
    lines.push_back({116, 195 + 43 * k + 20 * static_cast<int>(i % 2), settings[i], true});
  }
  lines.push_back({100, 412, "New Game", true});
  lines.push_back({100, 422, "(with settings above)", true});
  lines.push_back({100, 450, "Press <ESC> to Exit Game", true});
  lines.push_back({100, 460, "Press <S> to toggle sound", true});
  return lines;
}

const std::vector<std::string> defaultSettings = {
    "Two Players",     "Direction: CCW",  "Human Player",    "AI Mode: NORMAL", "Computer player",
    "AI Mode: NORMAL", "Computer player", "AI Mode: NORMAL", "Computer player", "AI Mode: NORMAL"};

class Panel : public ::testing::Test {
 protected:
  void SetUp() override {
    loadTestSheets();
    resetGame();
  }

  // Draws the panel with a frame-rate clock that reads earlier than the
  // last frame; returns the frame-rate line the panel should show.
  std::vector<Line> drawWithClockBehind() {
    gameState->lastFrameTicks = SDL_GetTicks() + 100000;
    clearedScreen();
    gameState->drawPanel();
    std::vector<Line> lines;
    if (diagnosticsEnabled) lines.push_back({212, 585, "FPS:0", false});
    return lines;
  }

  void expectPanel(std::vector<Line> lines, const std::vector<std::string>& settings) {
    for (const Line& line : settingsAndFooter(settings)) lines.push_back(line);
    const std::vector<Line> rate = drawWithClockBehind();
    lines.insert(lines.end(), rate.begin(), rate.end());
    EXPECT_TRUE(same(grabScreen(), expectedPanel(lines, gameState->mouseX, gameState->mouseY)));
  }

  void setCounts(int nobody, int blue, int red, int green, int yellow) {
    const int counts[] = {nobody, blue, red, green, yellow};
    for (int p = 0; p < playerIdCount; ++p) gameState->nodeCounts[p] = counts[p];
  }
};

TEST_F(Panel, EveryLineOfAGameInProgress) {
  setCounts(5, 17, 576, 0, 123);
  gameState->currentPlayer = Red;
  gameState->turnCount = 3;
  gameState->moveCount = 12;
  gameState->mouseX = 300;
  gameState->mouseY = 200;
  expectPanel({{100, 8, "RED'S TURN", true},
               {37, 49, "  5 NODES", false},
               {37, 70, " 17 NODES", false},
               {37, 91, "576 NODES - TURN", false},
               {37, 112, "  0 NODES", false},
               {37, 133, "123 NODES", false},
               {100, 154, "3 TURNS - 12 MOVES", true}},
              defaultSettings);
}

TEST_F(Panel, StatusLineBusyBeforeWinnerBeforeTurn) {
  struct Case {
    int settleCountdown, winner, currentPlayer;
    const char* status;  // null: no status line
  };
  const Case cases[] = {
      {1, Red, Blue, "BUSY"},
      {10, 0, Blue, "BUSY"},
      {0, Blue, Red, "BLUE PLAYER WON!!!"},
      {-1, Red, Red, "RED PLAYER WON!!!"},
      {0, Green, Red, "GREEN PLAYER WON!!!"},
      {-1, Yellow, Nobody, "YELLOW PLAYER WON!!!"},
      {-1, 0, Blue, "BLUE'S TURN"},
      {0, 0, Green, "GREEN'S TURN"},
      {-1, 0, Yellow, "YELLOW'S TURN"},
      // The round boundary and values no game produces: no status line.
      {-1, 0, Nobody, nullptr},
      {-1, 7, Blue, nullptr},
      {-1, 0, 9, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status ? c.status : "(none)");
    resetGame();
    setCounts(100, 200, 276, 0, 0);
    settleCountdown = c.settleCountdown;
    winner = c.winner;
    gameState->currentPlayer = c.currentPlayer;
    std::vector<Line> lines;
    if (c.status) lines.push_back({100, 8, c.status, true});
    const int counts[] = {100, 200, 276, 0, 0};
    for (int p = 0; p < playerIdCount; ++p) {
      char text[32];
      std::snprintf(text, sizeof text, "%3d NODES%s", counts[p],
                    p == c.currentPlayer ? " - TURN" : "");
      lines.push_back({37, 49 + 21 * p, text, false});
    }
    lines.push_back({100, 154, "0 TURNS - 0 MOVES", true});
    expectPanel(lines, defaultSettings);
  }
}

TEST_F(Panel, PendingSettingsNotTheActiveOnes) {
  // The running game's settings stay as they are; the panel shows what New
  // Game would apply, for all four seats whatever the player count.
  gameState->fourPlayers = false;
  gameState->turnSense = +1;
  gameState->pendingFourPlayers = true;
  gameState->pendingTurnSense = -1;
  const int pendingModes[] = {AiTough, AiEasy, 5, -1};
  for (int seat = 0; seat < 4; ++seat) {
    gameState->seats[seat].computer = seat % 2 == 0;
    gameState->seats[seat].pendingComputer = seat % 2 != 0;
    gameState->seats[seat].aiMode = AiNormal;
    gameState->seats[seat].pendingAiMode = pendingModes[seat];
  }
  gameState->currentPlayer = Blue;
  setCounts(500, 40, 36, 0, 0);
  gameState->turnCount = INT_MIN;
  gameState->moveCount = INT_MAX;
  expectPanel({{100, 8, "BLUE'S TURN", true},
               {37, 49, "500 NODES", false},
               {37, 70, " 40 NODES - TURN", false},
               {37, 91, " 36 NODES", false},
               {37, 112, "  0 NODES", false},
               {37, 133, "  0 NODES", false},
               // The longest line there can be: 37 characters.
               {100, 154, "-2147483648 TURNS - 2147483647 MOVES", true}},
              {"Four Players", "Direction: CW", "Human Player", "AI Mode: TOUGH", "Computer player",
               "AI Mode: EASY", "Human Player", "", "Computer player", ""});
}

TEST_F(Panel, PointerIsDrawnLastOverEverything) {
  setCounts(576, 0, 0, 0, 0);
  gameState->currentPlayer = Nobody;
  const std::vector<Line> counts = {
      {37, 49, "576 NODES - TURN", false}, {37, 70, "  0 NODES", false},
      {37, 91, "  0 NODES", false},        {37, 112, "  0 NODES", false},
      {37, 133, "  0 NODES", false},       {100, 154, "0 TURNS - 0 MOVES", true}};
  // Over the status line and the counts, and half out of the window.
  for (int position : {0, 1, 2}) {
    SCOPED_TRACE(position);
    const int xs[] = {60, 30, screen->w - 10};
    const int ys[] = {5, 45, screen->h - 8};
    gameState->mouseX = xs[position];
    gameState->mouseY = ys[position];
    expectPanel(counts, defaultSettings);
  }
  // Before the first mouse event the pointer is nowhere to be seen.
  resetGame();
  setCounts(576, 0, 0, 0, 0);
  gameState->currentPlayer = Nobody;
  ASSERT_EQ(gameState->mouseX, mouseUnknown);
  std::vector<Line> lines = counts;
  for (const Line& line : settingsAndFooter(defaultSettings)) lines.push_back(line);
  const std::vector<Line> rate = drawWithClockBehind();
  lines.insert(lines.end(), rate.begin(), rate.end());
  Image expected = expectedPanel(lines, -100, -100);
  EXPECT_TRUE(same(grabScreen(), expected));
}

TEST(FrameRate, RateOfOneFrameFromItsTime) {
  EXPECT_EQ(measuredFrameRate(25), 40);
  EXPECT_EQ(measuredFrameRate(3), 333);
  EXPECT_EQ(measuredFrameRate(16), 62);
  EXPECT_EQ(measuredFrameRate(17), 58);
  EXPECT_EQ(measuredFrameRate(1), 1000);
  EXPECT_EQ(measuredFrameRate(1000), 1);
  EXPECT_EQ(measuredFrameRate(1001), 0);
  EXPECT_EQ(measuredFrameRate(INT32_MAX), 0);
  // Less than a millisecond: as fast as the clock can tell.
  EXPECT_EQ(measuredFrameRate(0), 1000);
  // A clock behind the last frame: no rate yet.
  EXPECT_EQ(measuredFrameRate(-1), 0);
  EXPECT_EQ(measuredFrameRate(INT32_MIN), 0);
}

TEST_F(Panel, FrameRateLineUnderTheBoardOnlyWithDiagnostics) {
  // A clock reading earlier than the last frame (the first frame measures
  // from before SDL started) shows 0, as does a frame of over a second;
  // either way the line keeps its place and the time stamp moves on.
  for (Uint32 offset : {100000u, 0u - 5000u}) {
    SCOPED_TRACE(offset);
    resetGame();
    setCounts(576, 0, 0, 0, 0);
    gameState->currentPlayer = Nobody;
    gameState->lastFrameTicks = SDL_GetTicks() + offset;
    const Uint32 stamp = gameState->lastFrameTicks;
    clearedScreen();
    gameState->drawPanel();
    std::vector<Line> lines = {
        {37, 49, "576 NODES - TURN", false}, {37, 70, "  0 NODES", false},
        {37, 91, "  0 NODES", false},        {37, 112, "  0 NODES", false},
        {37, 133, "  0 NODES", false},       {100, 154, "0 TURNS - 0 MOVES", true}};
    for (const Line& line : settingsAndFooter(defaultSettings)) lines.push_back(line);
    if (diagnosticsEnabled) lines.push_back({212, 585, "FPS:0", false});
    EXPECT_TRUE(same(grabScreen(), expectedPanel(lines, mouseUnknown, mouseUnknown)));
    if (diagnosticsEnabled) {
      EXPECT_NE(gameState->lastFrameTicks, stamp);
      EXPECT_LE(static_cast<Sint32>(gameState->lastFrameTicks - SDL_GetTicks()), 0);
    }
  }
}

}  // namespace

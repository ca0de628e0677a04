// The status panel on the left, the frame rate under the board and the
// pointer over everything.
#include "render/panel.h"

#include <SDL.h>

#include <cstdio>

#include "board/cascade.h"
#include "game/game_state.h"
#include "render/sheet_layout.h"
#include "render/sprites.h"
#include "render/text.h"

namespace {
const char* const turnLines[] = {nullptr, "BLUE'S TURN", "RED'S TURN", "GREEN'S TURN",
                                 "YELLOW'S TURN"};
const char* const winnerLines[] = {nullptr, "BLUE PLAYER WON!!!", "RED PLAYER WON!!!",
                                   "GREEN PLAYER WON!!!", "YELLOW PLAYER WON!!!"};
const char* const aiModeLines[] = {"AI Mode: EASY", "AI Mode: NORMAL", "AI Mode: TOUGH"};

const char* pick(const char* const* lines, int count, int32_t index) {
  return index >= 0 && index < count ? lines[index] : nullptr;
}

}  // namespace

// A frame under a millisecond is as fast as the clock can tell. A clock that
// reads earlier than the last frame (the very first frame measures from before
// SDL started) gives no rate yet, like a frame of over a second.
int measuredFrameRate(int32_t elapsed) {
  if (elapsed < 0) return 0;
  if (elapsed == 0) return 1000;
  return static_cast<int>(1.0 / (elapsed / 1000.0));
}

void GameState::drawPanel() {
  using namespace layout;
  char line[64];
  drawSprite(0, 0, SlotPanel);

  if constexpr (revision::diagnosticsEnabled) {
    char rate[30];
    const Sint32 elapsed = static_cast<Sint32>(SDL_GetTicks() - lastFrameTicks);
    std::snprintf(rate, sizeof rate, "FPS:%i", measuredFrameRate(elapsed));
    drawText(revision::boardOriginX, frameRateY, rate, Font);
    lastFrameTicks = SDL_GetTicks();
  }

  const char* status = nullptr;
  if (settleCountdown >= 1)
    status = "BUSY";
  else if (winner >= 1)
    status = pick(winnerLines, 5, winner);
  else
    status = pick(turnLines, 5, currentPlayer);
  if (status) drawTextCentred(panelCentreX, statusY, status, Font);

  for (PlayerId p = 0; p < playerIdCount; ++p) {
    std::snprintf(line, sizeof line, currentPlayer == p ? "%3i NODES - TURN" : "%3i NODES",
                  nodeCounts[p]);
    drawText(countsX, countsY(p), line, Font);
  }

  std::snprintf(line, sizeof line, "%i TURNS - %i MOVES", turnCount, moveCount);
  drawTextCentred(panelCentreX, countersY, line, Font);

  for (int k = 0; k < settingGroups; ++k) {
    const char* first;
    const char* second;
    if (k == 0) {
      first = pendingFourPlayers ? "Four Players" : "Two Players";
      second = pendingTurnSense == +1 ? "Direction: CCW" : "Direction: CW";
    } else {
      const Seat& seat = seats[k - 1];
      first = seat.pendingComputer ? "Computer player" : "Human Player";
      second = pick(aiModeLines, 3, seat.pendingAiMode);
    }
    drawTextCentred(settingTextX, settingTextY(k, 0), first, Font);
    if (second) drawTextCentred(settingTextX, settingTextY(k, 1), second, Font);
  }

  drawTextCentred(panelCentreX, newGameTextY, "New Game", Font);
  drawTextCentred(panelCentreX, newGameHintY, "(with settings above)", Font);
  drawTextCentred(panelCentreX, helpY, "Press <ESC> to Exit Game", Font);
  drawTextCentred(panelCentreX, helpY + helpPitch, "Press <S> to toggle sound", Font);

  drawSprite(mouseX, mouseY, SlotPointer);
}

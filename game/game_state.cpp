#include "game/game_state.h"

#include <SDL.h>

#include "board/cascade.h"
#include "board/random.h"
#include "render/sheet_layout.h"

int32_t winner = 0;

GameState::GameState()
    : currentPlayer(Yellow),
      turnSense(-1),
      pendingTurnSense(+1),
      newGameRequested(false),
      buttons{},
      nodeCounts{},
      moveCount(0),
      turnCount(0),
      mouseX(mouseUnknown),
      mouseY(mouseUnknown),
      fourPlayers(true),
      pendingFourPlayers(false),
      seats{},
      lastFrameTicks(SDL_GetTicks()),
      firstDealDone(false) {
  for (int seat = 0; seat < 4; ++seat) {
    seats[seat].aiMode = AiTough;
    seats[seat].pendingAiMode = AiNormal;
    seats[seat].computer = true;
    seats[seat].pendingComputer = seat != 0;  // blue is a human by default
  }
  gameSrand(lastFrameTicks);
  settleCountdown = 4;

  // Ten rows of setting buttons in five pairs, then the New Game button.
  auto button = [](layout::Rect r) { return PanelButton{r.x, r.y, r.width, r.height}; };
  for (int group = 0; group < layout::settingGroups; ++group)
    for (int second = 0; second < 2; ++second)
      buttons[2 * group + second] = button(layout::settingButton(group, second));
  buttons[ButtonNewGame] = button(layout::newGameButton);
}

void GameState::applyPendingSettings() {
  fourPlayers = pendingFourPlayers;
  turnSense = pendingTurnSense;
  for (Seat& seat : seats) {
    seat.computer = seat.pendingComputer;
    seat.aiMode = seat.pendingAiMode;
  }
  newGameRequested = true;
}

GameState* gameState = new GameState;

void startSeededGame(uint32_t seed) {
  *gameState = GameState();
  gameSrand(seed);
  winner = 0;
  quitRequested = false;
}

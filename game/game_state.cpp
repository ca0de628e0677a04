#include "game/game_state.h"

#include <SDL.h>

#include "board/cascade.h"
#include "board/random.h"

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
  for (int i = 0; i < 5; ++i) {
    buttons[2 * i] = PanelButton{10, 192 + 43 * i, 180, 18};
    buttons[2 * i + 1] = PanelButton{10, 212 + 43 * i, 180, 18};
  }
  buttons[ButtonNewGame] = PanelButton{20, 410, 160, 30};
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

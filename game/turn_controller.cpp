// The once-per-frame step of game control: events, deals, the end of a move,
// the turn rotation, computer moves, the burnout pass and clicks.
#include <SDL.h>

#include "board/cascade.h"
#include "game/game_state.h"
#include "render/screen.h"
#include "revisions/diagnostics.h"
#include "sound/sound.h"

bool cellAtPoint(int32_t x, int32_t y, int& column, int& row) {
  const int32_t span = revision::cellSize * revision::boardSize;
  if (!(revision::boardOriginX < x && x < revision::boardOriginX + span &&
        revision::boardOriginY < y && y < revision::boardOriginY + span))
    return false;
  column = (x - revision::boardOriginX) / revision::cellSize;
  row = (y - revision::boardOriginY) / revision::cellSize;
  return true;
}

void cellClickPoint(int column, int row, int32_t& x, int32_t& y) {
  x = revision::boardOriginX + column * revision::cellSize + revision::cellSize / 2;
  y = revision::boardOriginY + row * revision::cellSize + revision::cellSize / 2;
}

bool GameState::playable(int column, int row) const {
  const Node* node = nodeAt(column, row);
  return node && settleCountdown < 0 && winner == 0 && node->owner == currentPlayer &&
         !node->isBurnt();
}

namespace {
void stepStrength(int32_t& aiMode) {
  if (++aiMode > AiTough) aiMode = AiNormal;  // EASY is never offered
}
}  // namespace

void GameState::update() {
  bool leftClick = false;
  bool roundWrapped = false;

  if (!firstDealDone) {
    firstDealDone = true;
    newGame();
  }

  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    switch (event.type) {
      case SDL_KEYDOWN:
        if (event.key.keysym.sym == SDLK_ESCAPE) quitRequested = true;
        if (event.key.keysym.sym == SDLK_s) soundOn = !soundOn;
        if (event.key.keysym.sym == SDLK_f && screen) SDL_WM_ToggleFullScreen(screen);
        break;
      case SDL_MOUSEMOTION:
        mouseX = event.motion.x;
        mouseY = event.motion.y;
        break;
      case SDL_MOUSEBUTTONDOWN:
        mouseX = event.button.x;
        mouseY = event.button.y;
        if (event.button.button == SDL_BUTTON_LEFT) leftClick = true;
        break;
      case SDL_QUIT: quitRequested = true; break;
      default: break;
    }
  }

  if (newGameRequested) {
    newGame();
    newGameRequested = false;
  }

  if (settleCountdown == 0) {
    ++moveCount;
    int livePlayers = 0;
    PlayerId lastLive = Nobody;
    for (PlayerId p = 0; p < playerIdCount; ++p) {
      nodeCounts[p] = countNodes(p);
      if (p != Nobody && nodeCounts[p] > 0) {
        ++livePlayers;
        lastLive = p;
      }
    }
    if (livePlayers == 1) winner = lastLive;

    // Move on to the next PlayerId that owns nodes. With burnout the round
    // boundary is a step of its own (nobody's turn while neutral nodes
    // exist); without it the rotation wraps straight to the first seat. The
    // loop is bounded by one full cycle, so a broken count cannot hang it.
    const PlayerId firstAfterWrap = revision::burnoutEnabled ? Nobody : Blue;
    for (int step = 0; step < playerIdCount; ++step) {
      if (++currentPlayer > lastSeat()) {
        currentPlayer = firstAfterWrap;
        ++turnCount;
        roundWrapped = true;
      }
      if (currentPlayer >= 0 && currentPlayer < playerIdCount && nodeCounts[currentPlayer] > 0)
        break;
    }

    const bool computerAsked = revision::burnoutEnabled ? !roundWrapped : true;
    if (currentPlayer >= Blue && currentPlayer <= Yellow && seats[currentPlayer - 1].computer &&
        winner == 0 && computerAsked) {
      settleCountdown = settleAfterPause;
      takeComputerTurn(currentPlayer, seats[currentPlayer - 1].aiMode);
    }
  }

  if constexpr (revision::burnoutEnabled)
    if (roundWrapped) burnoutPass();

  if (--settleCountdown < -1) settleCountdown = -1;

  if (!leftClick) return;
  diag("mouse clicked on screen %i %i\n", mouseX, mouseY);

  // Without burnout there is no round boundary, so a wrap never blocks a click.
  const bool boundary = revision::burnoutEnabled && roundWrapped;
  int column = 0, row = 0;
  if (cellAtPoint(mouseX, mouseY, column, row) && settleCountdown < 0 && winner == 0 && !boundary) {
    diag("mouse clicked on grid %i %i\n", column, row);
    if (playable(column, row)) board[column][row]->turnAndFire(turnSense);
  }

  for (int b = 0; b < panelButtonCount; ++b) {
    if (!buttons[b].contains(mouseX, mouseY)) continue;
    diag("mouse clicked in button %i %i\n", mouseX, mouseY);
    switch (b) {
      case ButtonPlayers: pendingFourPlayers = !pendingFourPlayers; break;
      case ButtonDirection: pendingTurnSense = -pendingTurnSense; break;
      case ButtonNewGame: applyPendingSettings(); break;
      default: {
        Seat& seat = seats[(b - ButtonSeat1Type) / 2];
        if ((b - ButtonSeat1Type) % 2 == 0)
          seat.pendingComputer = !seat.pendingComputer;
        else
          stepStrength(seat.pendingAiMode);
        break;
      }
    }
  }
}

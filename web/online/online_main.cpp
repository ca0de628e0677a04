// The online page's program: the game of CSpindrel driven by the page's
// script. Nothing starts until the page knows the room's seed; from then on
// each pass is the replay tool's (the events of the pass are queued, then the
// game's update and fuse ticks), and before each pass the page decides
// whether it runs and which move of the room's order enters it. A move enters
// as a click on its cell at the click step, as a player's click would. The
// player's own mouse never reaches the game: a left press on the board is
// handed to the page as its cell, which the page sends to the server.
//
// Online, the canvas shows the board and the pointer only: the desktop panel
// (the next game's settings, New Game, the keys, the frame rate) does nothing
// here, and the page says what it has to say beside the canvas.
#include <SDL.h>
#include <emscripten.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "app/page.h"
#include "app/shell.h"
#include "board/board_text.h"
#include "board/cascade.h"
#include "board/random.h"
#include "game/game_state.h"
#include "render/board_view.h"
#include "render/sprites.h"
#include "revisions/diagnostics.h"
#include "sound/sound.h"

namespace {
constexpr int maxHeldEvents = 64;
constexpr int markWidth = 2;

long frame = 0;  // passes run since the game began, counted as the replay tool does
double lastDisplayMs = 0;
bool unpaced = false;            // the page runs the passes in slices of its own, nothing is drawn
int32_t clickX = 0, clickY = 0;  // the last click entered
int markColumn = -1, markRow = -1;  // the node picked by keyboard or a first tap
char boardLine[96 + boardTextLength];
SDL_Event held[maxHeldEvents];

// The browser's events since the last display frame: keys and motions go on
// to the game (Escape, S and F as on the game page; the pointer follows the
// mouse), a left press on the board goes to the page as its cell, other
// presses (right, middle, the wheel) are dropped.
void takeBrowserEvents() {
  int count = 0;
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    switch (event.type) {
      case SDL_KEYDOWN:
      case SDL_KEYUP:
      case SDL_MOUSEMOTION:
        if (count < maxHeldEvents) held[count++] = event;
        break;
      case SDL_MOUSEBUTTONDOWN: {
        int column = 0, row = 0;
        if (event.button.button == SDL_BUTTON_LEFT &&
            cellAtPoint(event.button.x, event.button.y, column, row))
          EM_ASM({ Module['onlinePress']($0, $1); }, column, row);
        break;
      }
      default: break;
    }
  }
  for (int i = 0; i < count; ++i) SDL_PushEvent(&held[i]);
}

void fillRect(int x, int y, int width, int height, Uint32 colour) {
  SDL_Rect rect{static_cast<Sint16>(x), static_cast<Sint16>(y), static_cast<Uint16>(width),
                static_cast<Uint16>(height)};
  SDL_FillRect(screen, &rect, colour);
}

// A frame around the marked node.
void drawMark() {
  const Node* node = nodeAt(markColumn, markRow);
  if (!node) return;
  const Uint32 white = SDL_MapRGB(screen->format, 255, 255, 255);
  const int size = revision::cellSize;
  fillRect(node->x, node->y, size, markWidth, white);
  fillRect(node->x, node->y + size - markWidth, size, markWidth, white);
  fillRect(node->x, node->y, markWidth, size, white);
  fillRect(node->x + size - markWidth, node->y, markWidth, size, white);
}

// The board, the mark and the pointer: online, the canvas has no panel.
void drawOnline() {
  drawBackground();
  drawBoard();
  drawMark();
  drawSprite(gameState->mouseX, gameState->mouseY, SlotPointer);
}

// One pass if the page asks for it (index: the passes already run in this
// display frame or slice). A quiet pass is not the page's to show: it runs
// in an unpaced slice or makes up a rest.
bool runPass(int index, bool quiet) {
  if (quitRequested ||
      !EM_ASM_INT({ return Module['onlineBeforePass']($0, $1); }, frame + 1, index))
    return false;
  ++frame;
  advanceGame();
  EM_ASM({ Module['onlineAfterPass']($0, $1); }, frame, quiet);
  return true;
}

// The display frames a rest skipped, made up at once without drawing: at
// rest a display frame runs one pass, which changes nothing drawn, so the
// game has run as many passes as it would have awake.
void catchUpRest(double sinceMs) {
  const double now = emscripten_get_now();
  for (double at = sinceMs + webFramePeriodMs; at + webFramePeriodMs <= now;
       at += webFramePeriodMs) {
    for (int pass = 0; runPass(pass, true); ++pass) {
    }
  }
  lastDisplayMs = 0;  // the next display frame runs its passes
}

void stopIfQuit() {
  if (!quitRequested) return;
  emscripten_cancel_main_loop();
  shutDown();
  EM_ASM({ Module['onlineStopped'](); });
}

// One display frame: as many passes as the page asks for (one at the game's
// pace), then one picture. A display faster than the game's pace skips the
// display frames that come too early. While the page runs unpaced slices,
// a display frame only takes the browser's events.
void displayFrame() {
  const double now = emscripten_get_now();
  if (lastDisplayMs != 0 && now - lastDisplayMs < webShortestPassGapMs) return;
  lastDisplayMs = now;
  takeBrowserEvents();
  if (unpaced) return;
  for (int pass = 0; runPass(pass, false); ++pass) {
  }
  presentScene(drawOnline);
  stopIfQuit();
  // While the board waits for a person and the picture stays the same, the
  // page rests until a move, a key or the pointer wakes it.
  if (EM_ASM_INT({ return Module['onlineMayRest'](); })) restWhenIdle(catchUpRest);
}

void enterClick(int32_t x, int32_t y) {
  clickX = x;
  clickY = y;
  SDL_Event event{};
  event.type = SDL_MOUSEBUTTONDOWN;
  event.button.button = SDL_BUTTON_LEFT;
  event.button.state = SDL_PRESSED;
  event.button.x = static_cast<Uint16>(x);
  event.button.y = static_cast<Uint16>(y);
  SDL_PushEvent(&event);
}
}  // namespace

// What the page reads and does; nothing here changes the game but a click
// or a move, and nothing allocates.
extern "C" {
// Seeds the generator as the replay tool does, then starts up and runs.
EMSCRIPTEN_KEEPALIVE int online_begin(uint32_t seed) {
  diag("Program Started\n");
  gameSrand(seed);
  if (!startUp()) {
    shutDown();
    return 0;
  }
  emscripten_set_main_loop(displayFrame, 0, 0);
  return 1;
}

// A left press at (x, y) for the next pass, as a script's `click`: the
// room's settings, entered on the panel of a fresh game.
EMSCRIPTEN_KEEPALIVE void online_click(int x, int y) { enterClick(x, y); }

// The move of a seat on (column, row) for the next pass, entered as a click
// on that cell. 0 when it cannot be the move of this turn (the game is won,
// or another seat is to move) and nothing is entered; whether the rules take
// it shows after the pass (online_at_rest).
EMSCRIPTEN_KEEPALIVE int online_move(int seat, int column, int row) {
  if (winner != 0 || seat != gameState->currentPlayer || !nodeAt(column, row)) return 0;
  int32_t x = 0, y = 0;
  cellClickPoint(column, row, x, y);
  enterClick(x, y);
  return 1;
}
// Where the last click entered landed: 0 x, 1 y (for the replay script).
EMSCRIPTEN_KEEPALIVE int online_clicked(int axis) { return axis == 0 ? clickX : clickY; }

// Runs the passes the page asks for, without drawing, for about budgetMs;
// returns the passes run. The page calls it from its own slices while it
// catches up, then online_paced. The passes run silently (a burst of the
// firings' sounds tells nobody anything); an S pressed meanwhile still counts.
EMSCRIPTEN_KEEPALIVE int online_unpaced(double budgetMs) {
  unpaced = true;
  const bool sound = soundOn;
  soundOn = false;
  const double start = emscripten_get_now();
  int passes = 0;
  while (runPass(passes, true)) {
    ++passes;
    if ((passes & 15) == 0 && emscripten_get_now() - start >= budgetMs) break;
  }
  soundOn = soundOn ? !sound : sound;  // S turned it on: an odd number of presses
  return passes;
}
// Back to the game's pace: one picture now.
EMSCRIPTEN_KEEPALIVE void online_paced() {
  unpaced = false;
  forgetShownScene();
  presentScene(drawOnline);
  stopIfQuit();
}

// The marked node (keyboard or a first tap), kept on the board; off with -1.
EMSCRIPTEN_KEEPALIVE void online_mark(int column, int row) {
  spindrel_wake();
  forgetShownScene();
  const bool off = column < 0 || row < 0;
  markColumn = off ? -1 : std::min(column, revision::boardSize - 1);
  markRow = off ? -1 : std::min(row, revision::boardSize - 1);
}
// Moves the mark one cell, kept on the board; the first step marks the
// board's middle.
EMSCRIPTEN_KEEPALIVE void online_mark_step(int columns, int rows) {
  if (markColumn < 0) return online_mark(revision::boardSize / 2, revision::boardSize / 2);
  online_mark(std::max(0, markColumn + columns), std::max(0, markRow + rows));
}
EMSCRIPTEN_KEEPALIVE int online_mark_at(int axis) { return axis == 0 ? markColumn : markRow; }

EMSCRIPTEN_KEEPALIVE int online_at_rest() { return settleCountdown == -1; }
EMSCRIPTEN_KEEPALIVE int online_current() { return gameState->currentPlayer; }
EMSCRIPTEN_KEEPALIVE int online_winner() { return winner; }
EMSCRIPTEN_KEEPALIVE int online_last_seat() { return gameState->lastSeat(); }
EMSCRIPTEN_KEEPALIVE int online_count(int seat) {
  return seat >= 0 && seat < playerIdCount ? gameState->nodeCounts[seat] : 0;
}
EMSCRIPTEN_KEEPALIVE int online_moves() { return gameState->moveCount; }
EMSCRIPTEN_KEEPALIVE int online_rounds() { return gameState->turnCount; }
EMSCRIPTEN_KEEPALIVE int online_owner(int column, int row) {
  const Node* node = nodeAt(column, row);
  return node ? node->owner : -1;
}
// Whether a click on the node would play it now.
EMSCRIPTEN_KEEPALIVE int online_playable(int column, int row) {
  return gameState->playable(column, row);
}
EMSCRIPTEN_KEEPALIVE int online_computer(int seat) {
  return seat >= 1 && seat <= 4 && gameState->seats[seat - 1].computer;
}
// 0 for a human seat, else the computer's strength.
EMSCRIPTEN_KEEPALIVE int online_seat(int seat) {
  return online_computer(seat) ? gameState->seats[seat - 1].aiMode : 0;
}
EMSCRIPTEN_KEEPALIVE long online_frame() { return frame; }
EMSCRIPTEN_KEEPALIVE int online_sound_on() { return soundOn; }
// The board and the counters as the page records a rest:
//   current winner moves rounds c0,c1,c2,c3,c4 BOARD   (board/board_text.h)
EMSCRIPTEN_KEEPALIVE const char* online_board() {
  const GameState& g = *gameState;
  const int length = std::snprintf(
      boardLine, sizeof boardLine, "%d %d %d %d %d,%d,%d,%d,%d ", static_cast<int>(g.currentPlayer),
      static_cast<int>(winner), static_cast<int>(g.moveCount), static_cast<int>(g.turnCount),
      static_cast<int>(g.nodeCounts[0]), static_cast<int>(g.nodeCounts[1]),
      static_cast<int>(g.nodeCounts[2]), static_cast<int>(g.nodeCounts[3]),
      static_cast<int>(g.nodeCounts[4]));
  *writeBoardText(boardLine + length) = '\0';
  return boardLine;
}
// The view and the panel's buttons: 0 the board's left, 1 its top, 2 its
// width, 3 the window's width, 4 the active turn sense; 10 + 2b and 11 + 2b
// the centre of button b, where the room's settings are entered.
EMSCRIPTEN_KEEPALIVE int online_layout(int what) {
  switch (what) {
    case 0: return revision::boardOriginX;
    case 1: return revision::boardOriginY;
    case 2: return revision::boardSize * revision::cellSize;
    case 3: return revision::windowWidth;
    case 4: return gameState->turnSense;
    default: break;
  }
  const int b = (what - 10) / 2;
  if (b < 0 || b >= panelButtonCount) return -1;
  const PanelButton& button = gameState->buttons[b];
  return what % 2 == 0 ? button.x + button.width / 2 : button.y + button.height / 2;
}
// The point a click on the cell lands on: axis 0 x, 1 y.
EMSCRIPTEN_KEEPALIVE int online_cell_point(int column, int row, int axis) {
  int32_t x = 0, y = 0;
  cellClickPoint(column, row, x, y);
  return axis == 0 ? x : y;
}
}

int main() { return 0; }

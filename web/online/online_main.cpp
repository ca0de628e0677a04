// The online page's program: the game of CSpindrel driven by the page's
// script. Nothing starts until the page knows the room's seed; from then on
// each pass is the replay tool's (the events of the pass are queued, then the
// game's update and fuse ticks), and before each pass the page decides
// whether it runs and which click of the room's order enters it. The
// player's own mouse never reaches the game: a left press is handed to the
// page, which sends it to the server and clicks it when it comes back.
#include <SDL.h>
#include <emscripten.h>

#include <cstdint>

#include "app/page.h"
#include "app/shell.h"
#include "board/cascade.h"
#include "board/random.h"
#include "game/game_state.h"
#include "revisions/diagnostics.h"
#include "tools/replay/trace.h"

namespace {
constexpr int maxHeldEvents = 64;
constexpr double framePeriodMs = 1000.0 / revision::framesPerSecond;
constexpr double jitterMs = 4.0;

long frame = 0;  // passes run since the game began, counted as the replay tool does
double lastDisplayMs = 0;
char traceLine[traceLineCapacity];
SDL_Event held[maxHeldEvents];

// The browser's events since the last display frame: keys and motions go on
// to the game (Escape, S and F as on the game page; the pointer follows the
// mouse), a left press goes to the page, other presses are dropped.
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
      case SDL_MOUSEBUTTONDOWN:
        if (event.button.button == SDL_BUTTON_LEFT)
          EM_ASM({ Module['onlineLocalClick']($0, $1); }, event.button.x, event.button.y);
        break;
      default: break;
    }
  }
  for (int i = 0; i < count; ++i) SDL_PushEvent(&held[i]);
}

// One display frame: as many passes as the page asks for (one at the game's
// pace, more while it catches up), then one picture. A display faster than
// the game's pace skips the display frames that come too early.
void displayFrame() {
  const double now = emscripten_get_now();
  if (lastDisplayMs != 0 && now - lastDisplayMs < framePeriodMs - jitterMs) return;
  lastDisplayMs = now;
  takeBrowserEvents();
  for (int pass = 0; !quitRequested &&
                     EM_ASM_INT({ return Module['onlineBeforePass']($0, $1); }, frame + 1, pass);
       ++pass) {
    ++frame;
    advanceGame();
    EM_ASM({ Module['onlineAfterPass']($0); }, frame);
  }
  presentScene();
  if (!quitRequested) return;
  emscripten_cancel_main_loop();
  shutDown();
  EM_ASM({ Module['onlineStopped'](); });
}
}  // namespace

// What the page reads and does; nothing here changes the game but the click.
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

// A left press at (x, y), for the next pass, as a script's `click`.
EMSCRIPTEN_KEEPALIVE void online_click(int x, int y) {
  SDL_Event event{};
  event.type = SDL_MOUSEBUTTONDOWN;
  event.button.button = SDL_BUTTON_LEFT;
  event.button.state = SDL_PRESSED;
  event.button.x = static_cast<Uint16>(x);
  event.button.y = static_cast<Uint16>(y);
  SDL_PushEvent(&event);
}

EMSCRIPTEN_KEEPALIVE int online_settle() { return settleCountdown; }
EMSCRIPTEN_KEEPALIVE int online_current() { return gameState->currentPlayer; }
EMSCRIPTEN_KEEPALIVE int online_winner() { return winner; }
EMSCRIPTEN_KEEPALIVE int online_last_seat() { return gameState->lastSeat(); }
EMSCRIPTEN_KEEPALIVE int online_computer(int seat) {
  return seat >= 1 && seat <= 4 && gameState->seats[seat - 1].computer;
}
// 0 for a human seat, else the computer's strength.
EMSCRIPTEN_KEEPALIVE int online_seat(int seat) {
  return online_computer(seat) ? gameState->seats[seat - 1].aiMode : 0;
}
EMSCRIPTEN_KEEPALIVE long online_frame() { return frame; }
// The replay tool's trace line of the last pass (its board, its counters).
EMSCRIPTEN_KEEPALIVE const char* online_trace() {
  traceLine[formatTraceLine(traceLine, frame) - 1] = '\0';
  return traceLine;
}
// The board's geometry, the turning and the centres of the panel's buttons:
// 0 origin x, 1 origin y, 2 cell size, 3 board size, 4 the active turn
// sense; 10 + 2b and 11 + 2b button b.
EMSCRIPTEN_KEEPALIVE int online_layout(int what) {
  switch (what) {
    case 0: return revision::boardOriginX;
    case 1: return revision::boardOriginY;
    case 2: return revision::cellSize;
    case 3: return revision::boardSize;
    case 4: return gameState->turnSense;
    default: break;
  }
  const int b = (what - 10) / 2;
  if (b < 0 || b >= panelButtonCount) return -1;
  const PanelButton& button = gameState->buttons[b];
  return what % 2 == 0 ? button.x + button.width / 2 : button.y + button.height / 2;
}
}

int main() { return 0; }

#include <SDL.h>
#include <SDL_mixer.h>
#include <emscripten.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "app/page.h"
#include "app/shell.h"
#include "board/cascade.h"
#include "game/game_state.h"

namespace {
// What the picture is drawn from, as it was when last shown: every node's
// record, the game's state but the frame-rate clock, the cascade's countdown
// and the winner. Compared byte for byte, so no field can be forgotten.
constexpr std::size_t nodeBytes = sizeof(Node);
constexpr std::size_t clockAt = offsetof(GameState, lastFrameTicks);
constexpr std::size_t afterClock = clockAt + sizeof(GameState::lastFrameTicks);
unsigned char shownNodes[revision::nodeCount * nodeBytes];
unsigned char shownState[sizeof(GameState)];
int32_t shownCountdown = 0, shownWinner = 0;
Uint32 shownAt = 0;
bool shown = false;
constexpr Uint32 frameRateRefreshMs = 1000;
constexpr int restPasses = revision::framesPerSecond / 2;
int unchangedPasses = 0;
double restingSinceMs = 0;  // 0 while the display frames run
void (*catchUpAfterRest)(double) = nullptr;

// A running sound device costs as much as the display frames: it rests
// while the picture does and no sound plays.
bool soundResting = false;
void restSound(bool rest) {
  if (rest == soundResting) return;
  soundResting = rest;
  EM_ASM(
      {
        if (typeof SDL != 'undefined' && SDL.audioContext) {
          if ($0)
            SDL.audioContext.suspend();
          else
            SDL.audioContext.resume();
        }
      },
      rest);
}

// Whether anything drawn differs from the picture on show; remembers it.
bool changedSinceShown() {
  bool changed = !shown || settleCountdown != shownCountdown || winner != shownWinner;
  unsigned char* record = shownNodes;
  forEachNode([&](const Node& node) {
    if (std::memcmp(record, &node, nodeBytes) != 0) {
      changed = true;
      std::memcpy(record, &node, nodeBytes);
    }
    record += nodeBytes;
  });
  const auto* state = reinterpret_cast<const unsigned char*>(gameState);
  if (std::memcmp(shownState, state, clockAt) != 0 ||
      std::memcmp(shownState + afterClock, state + afterClock, sizeof(GameState) - afterClock) !=
          0) {
    changed = true;
    std::memcpy(shownState, state, sizeof(GameState));
  }
  shownCountdown = settleCountdown;
  shownWinner = winner;
  return changed;
}
}  // namespace

void forgetShownScene() { shown = false; }

void presentScene(void (*draw)()) {
  const Uint32 now = SDL_GetTicks();
  const bool changed = changedSinceShown();
  unchangedPasses = changed ? 0 : unchangedPasses + 1;
  if (changed) restSound(false);
  if (!changed && now - shownAt < frameRateRefreshMs) {
    if constexpr (revision::diagnosticsEnabled) gameState->lastFrameTicks = now;
    return;
  }
  shown = true;
  shownAt = now;
  draw();
  SDL_Flip(screen);
  EM_ASM({
    if (Module['onPresent']) Module['onPresent']();
  });
}

void restWhenIdle(void (*catchUp)(double)) {
  if (quitRequested || unchangedPasses < restPasses || Mix_Playing(-1) != 0) return;
  restSound(true);
  catchUpAfterRest = catchUp;
  restingSinceMs = emscripten_get_now();
  emscripten_pause_main_loop();
}

// After a key, the pointer or a move the game stays awake half a second.
extern "C" EMSCRIPTEN_KEEPALIVE void spindrel_wake() {
  unchangedPasses = 0;
  if (restingSinceMs == 0) return;
  if (catchUpAfterRest) catchUpAfterRest(restingSinceMs);
  unchangedPasses = 0;
  restingSinceMs = 0;
  restSound(false);
  emscripten_resume_main_loop();
}

// The page's pointer on the game, in the game's own coordinates: 0 a move,
// 1 a left press, 2 a left release, each with the pointer's position; SDL's
// queue takes them as the mouse events the game reads.
extern "C" EMSCRIPTEN_KEEPALIVE void spindrel_pointer(int kind, int x, int y) {
  SDL_Event event{};
  if (kind == 0) {
    event.type = SDL_MOUSEMOTION;
    event.motion.state = 0;
    event.motion.x = static_cast<Uint16>(x);
    event.motion.y = static_cast<Uint16>(y);
  } else {
    event.type = kind == 1 ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.button.button = SDL_BUTTON_LEFT;
    event.button.state = kind == 1 ? SDL_PRESSED : SDL_RELEASED;
    event.button.x = static_cast<Uint16>(x);
    event.button.y = static_cast<Uint16>(y);
  }
  SDL_PushEvent(&event);
}

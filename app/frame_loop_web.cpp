#include <SDL_mixer.h>
#include <emscripten.h>

#include "app/page.h"
#include "app/shell.h"
#include "revisions/settings.h"

namespace {
// A display faster than the game's pace (120 Hz and up) skips the display
// frames that come too early, so the game keeps the desktop's speed; a few
// milliseconds of slack absorb the browser's jitter.
constexpr double framePeriodMs = 1000.0 / revision::framesPerSecond;
constexpr double jitterMs = 4.0;
double lastPassMs = 0;
double restingSinceMs = 0;  // 0 while the passes run

void displayFrame() {
  const double now = emscripten_get_now();
  if (lastPassMs != 0 && now - lastPassMs < framePeriodMs - jitterMs) return;
  lastPassMs = now;
  // runFrame's pass, with the picture shown only when it changed.
  advanceGame();
  presentScene();
  if (!quitRequested) {
    // At rest the page stops asking for display frames, which keeps a phone's
    // battery, until the player acts (spindrel_wake).
    // Its sound device rests too once no sound plays: a running one costs as
    // much as the passes.
    if (sceneAtRest() && Mix_Playing(-1) == 0) {
      restingSinceMs = now;
      emscripten_pause_main_loop();
      EM_ASM({
        if (typeof SDL != 'undefined' && SDL.audioContext) SDL.audioContext.suspend();
      });
    }
    return;
  }
  // A page cannot close itself: the game stops, keeps its last picture and
  // lets the page offer another game.
  emscripten_cancel_main_loop();
  shutDown();
  EM_ASM({
    if (Module['gameStopped']) Module['gameStopped']();
  });
}
}  // namespace

// The page calls this before it hands the game a key or the pointer. The
// passes the rest skipped run first, at once: at rest they change nothing
// drawn, and so the game has run as many passes as it would have at its pace.
extern "C" EMSCRIPTEN_KEEPALIVE void spindrel_wake() {
  if (restingSinceMs == 0) return keepSceneAwake();
  const double now = emscripten_get_now();
  for (double pass = restingSinceMs + framePeriodMs; pass + framePeriodMs <= now && !quitRequested;
       pass += framePeriodMs) {
    advanceGame();
    presentScene();
  }
  restingSinceMs = 0;
  keepSceneAwake();
  EM_ASM({
    if (typeof SDL != 'undefined' && SDL.audioContext) SDL.audioContext.resume();
  });
  lastPassMs = now - framePeriodMs;  // the next display frame runs a pass
  emscripten_resume_main_loop();
}

void runFrameLoop() { emscripten_set_main_loop(displayFrame, 0, 1); }

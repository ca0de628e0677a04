#include <emscripten.h>

#include "app/page.h"
#include "app/shell.h"

namespace {
double lastPassMs = 0;
long passes = 0;  // run since the page opened, made-up ones included

// The passes the rest skipped run at once: at rest they change nothing
// drawn, and so the game has run as many passes as it would have at its pace.
void catchUp(double sinceMs) {
  const double now = emscripten_get_now();
  for (double pass = sinceMs + webFramePeriodMs; pass + webFramePeriodMs <= now && !quitRequested;
       pass += webFramePeriodMs) {
    ++passes;
    advanceGame();
    presentScene(drawScene);
  }
  lastPassMs = now - webFramePeriodMs;  // the next display frame runs a pass
}

void displayFrame() {
  const double now = emscripten_get_now();
  if (lastPassMs != 0 && now - lastPassMs < webShortestPassGapMs) return;
  lastPassMs = now;
  // runFrame's pass, with the picture shown only when it changed.
  ++passes;
  advanceGame();
  presentScene(drawScene);
  restWhenIdle(catchUp);
  if (!quitRequested) return;
  // A page cannot close itself: the game stops, keeps its last picture and
  // lets the page offer another game.
  emscripten_cancel_main_loop();
  shutDown();
  EM_ASM({
    if (Module['gameStopped']) Module['gameStopped']();
  });
}
}  // namespace

// The passes run so far, for the page's tests.
extern "C" EMSCRIPTEN_KEEPALIVE long spindrel_passes() { return passes; }

void runFrameLoop() { emscripten_set_main_loop(displayFrame, 0, 1); }

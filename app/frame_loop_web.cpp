#include <emscripten.h>

#include "app/shell.h"

namespace {
double lastPassMs = 0;

void displayFrame() {
  const double now = emscripten_get_now();
  if (lastPassMs != 0 && now - lastPassMs < webShortestPassGapMs) return;
  lastPassMs = now;
  runFrame();
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

void runFrameLoop() { emscripten_set_main_loop(displayFrame, 0, 1); }

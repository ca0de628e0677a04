#include "app/shell.h"

void runFrameLoop() {
  while (!quitRequested) {
    runFrame();
    paceFrame();
  }
  shutDown();
}

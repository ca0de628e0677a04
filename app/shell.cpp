#include "app/shell.h"

#include <SDL.h>

#include "board/cascade.h"
#include "game/game_state.h"
#include "render/board_view.h"
#include "render/sprites.h"
#include "revisions/diagnostics.h"
#include "sound/sound.h"

SDL_Surface* screen = nullptr;
bool quitRequested = false;

const char* const windowCaption = "Spindrel-C by Tamwick 2005";

// Waits until a 60th of a second has passed since the previous flip. The
// deadline advances in whole 60ths, so the pace does not drift; after a
// stall it starts afresh rather than rushing to catch up.
void paceFrame() {
  static Uint32 periodStart = 0;
  static int framesInPeriod = 0;
  const Uint32 now = SDL_GetTicks();
  if (framesInPeriod == 0) periodStart = now;
  ++framesInPeriod;
  const Uint32 due =
      periodStart + static_cast<Uint32>(framesInPeriod * 1000 / revision::framesPerSecond);
  if (static_cast<Sint32>(due - now) > 0) {
    SDL_Delay(due - now);
  } else if (static_cast<Sint32>(now - due) > 1000 / revision::framesPerSecond) {
    framesInPeriod = 0;  // fell behind by more than a frame
  }
  if (framesInPeriod == revision::framesPerSecond) framesInPeriod = 0;
}

bool initVideo(int depth) {
  SDL_Init(SDL_INIT_TIMER | SDL_INIT_AUDIO | SDL_INIT_VIDEO);
  if (depth == 0) {
    const SDL_VideoInfo* info = SDL_GetVideoInfo();
    depth = info && info->vfmt ? info->vfmt->BytesPerPixel * 8 : 32;
  }
  screen = SDL_SetVideoMode(revision::windowWidth, revision::windowHeight, depth,
                            SDL_HWSURFACE | SDL_DOUBLEBUF);
  if (!screen) return false;
  SDL_WM_SetCaption(windowCaption, nullptr);
  // Some SDL builds show the cursor again when the video mode is set; the
  // panel draws its own pointer, so the system one stays hidden.
  SDL_ShowCursor(SDL_DISABLE);
  return true;
}

bool startUp() {
  createNodes();
  SDL_ShowCursor(SDL_DISABLE);
  initSound();
  if (!initVideo()) {
    diag("Couldn't start SDL\n");
    return false;
  }
  if (const SheetFile* failed = loadSheets()) {
    diag("%s", failed->failure);
    return false;
  }
  return true;
}

void shutDown() {
  freeNodes();
  closeSound();
  SDL_Quit();
}

void advanceGame() {
  gameState->update();
  tickAllFuses();
}

void drawScene() {
  drawBackground();
  drawBoard();
  gameState->drawPanel();
}

void runFrame() {
  drawBackground();
  advanceGame();  // GameState::update, then every node's fuse tick
  drawBoard();    // every connector, then every node
  gameState->drawPanel();
  SDL_Flip(screen);
}

int runProgram() {
  diag("Program Started\n");
  if (startUp()) {
    runFrameLoop();  // shuts down when the loop ends
  } else {
    shutDown();
  }
  return 0;
}

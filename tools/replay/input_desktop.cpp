#include "tools/replay/input.h"

namespace {
bool pushing = false;  // true while the tool itself queues a script's event

// SDL asks the filter about each event its own code queues; SDL_PushEvent
// may or may not ask, depending on the library.
int onlyWhilePushing(const SDL_Event*) { return pushing; }
}  // namespace

void admitOnlyScriptEvents() {
  SDL_SetEventFilter(onlyWhilePushing);  // SDL_Init resets the filter: set it after
  SDL_Event stale;
  while (SDL_PollEvent(&stale)) {
  }  // what opening the display queued
}

int pushScriptEvent(SDL_Event& event) {
  pushing = true;
  const int result = SDL_PushEvent(&event);
  pushing = false;
  return result;
}

#include "tools/replay/input.h"

void admitOnlyScriptEvents() {}

int pushScriptEvent(SDL_Event& event) { return SDL_PushEvent(&event); }

// How a script's events reach the game, and only they: the desktop tool
// drops every event SDL queues by itself (sdl12-compat, for one, queues a
// pointer motion to (0, 0) when the display toggles to full screen), so a
// trace is the same on every SDL; a page gets no events of its own
// (tools/replay/input_desktop.cpp, tools/replay/input_web.cpp).
#pragma once

#include <SDL.h>

// Called once the display is up, before the first frame.
void admitOnlyScriptEvents();
// Queues one of the script's events; 0 when it was queued.
int pushScriptEvent(SDL_Event& event);

// The display surface every picture is drawn on. The application shell
// defines it and opens it at start-up; null until video has started.
#pragma once

struct SDL_Surface;

extern SDL_Surface* screen;

// Turning a freshly loaded bitmap into a sheet the blits can use: the colour
// of its top-left pixel is the key, drawn as nothing. The desktop and the
// browser do this differently (render/sheet_key_desktop.cpp and
// render/sheet_key_web.cpp); the build compiles the one of its platform.
#pragma once

struct SDL_Surface;

// Takes ownership of loaded and returns the keyed sheet, or null when it
// cannot be converted (loaded is freed either way).
SDL_Surface* keyedSheet(SDL_Surface* loaded);

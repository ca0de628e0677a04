// Where the replay tool's pictures go and how it ends: the desktop tool
// writes BMP files and closes SDL; the browser's page shows them on its
// canvas (tools/replay/output_desktop.cpp, tools/replay/output_web.cpp).
#pragma once

// Called once the screen has been drawn for a screenshot; 0 when it was
// kept, otherwise SDL_GetError says why not.
int saveScreenshot(const char* path);
// Called with the exit code of the run, after the last trace line; returns
// the exit code.
int endReplay(int code);

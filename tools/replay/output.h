// How the replay tool ends once its frames have run: the desktop tool closes
// SDL; the browser's page keeps the last frame on its canvas
// (tools/replay/ending_desktop.cpp, tools/replay/ending_web.cpp).
#pragma once

// Called with the exit code of the run, after the last trace line; returns
// the exit code.
int endReplay(int code);

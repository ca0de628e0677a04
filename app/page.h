// What the browser's game pages share with their program: the picture is
// drawn and shown only when it changed, and the page's pointer reaches the
// game as SDL's mouse events (app/page_web.cpp; the browser build only).
#pragma once

// Draws the scene (draw: drawScene on the game page) and shows it, unless nothing drawn has changed
// since the picture on show: then it only keeps the frame-rate clock, as drawing the panel would.
// The frame rate on show is refreshed once a second. Tells the page (Module.onPresent) after each
// picture shown.
void presentScene(void (*draw)());
// The next presentScene draws, changed or not: for what is drawn beside the
// game, such as the online page's mark.
void forgetShownScene();
// When the picture has not changed for half a second of display frames and
// no sound plays, stops the display frames and the sound device, which keeps
// a phone's battery, until the page calls spindrel_wake: it does before it
// hands the game a key, the pointer or a move. Called at the end of a
// display frame. On waking it first calls catchUp, if any, with the time the
// rest began (emscripten_get_now): the game page runs the passes it skipped.
void restWhenIdle(void (*catchUp)(double sinceMs));
// Wakes a resting page (see restWhenIdle); the game stays awake half a
// second. Pages call it from their script; the online program from its own
// entry points.
extern "C" void spindrel_wake();

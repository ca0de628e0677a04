// What the browser's game pages share with their program: the picture is
// drawn and shown only when it changed, and the page's pointer reaches the
// game as SDL's mouse events (app/page_web.cpp; the browser build only).
#pragma once

// Draws the scene and shows it, unless nothing drawn has changed since the
// picture on show: then it only keeps the frame-rate clock, as drawing the
// panel would. The frame rate on show is refreshed once a second. Tells the
// page (Module.onPresent) after each picture shown.
void presentScene();
// Whether the picture has not changed for half a second of passes: the page
// may then stop its passes until the player acts (app/frame_loop_web.cpp).
bool sceneAtRest();
// Counts the half second afresh: the player has just acted.
void keepSceneAwake();

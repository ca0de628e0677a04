// The background and the board.
#pragma once

// Tiles the window with the background slot.
void drawBackground();
// Every connector, then every node, in board order: bodies lie over bars.
void drawBoard();

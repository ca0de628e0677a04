// The data-file generator: every picture and sound of the game is made here.
#pragma once

#include <string>

// font.bmp, ui.bmp and nodes.bmp into the folder; false on a write failure.
bool writeSheets(const std::string& folder);
// click.wav and etm0507.mp3 into the folder; false on a write failure.
bool writeSounds(const std::string& folder);

// The status panel (GameState::drawPanel) and its frame-rate readout.
#pragma once

#include <cstdint>

// The rate shown for one frame that took `elapsed` milliseconds: 1000 /
// elapsed, truncated. A frame under a millisecond shows 1000, the most the
// clock can tell; a clock reading earlier than the last frame shows 0.
int measuredFrameRate(int32_t elapsed);

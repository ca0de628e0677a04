// The cascade: firing, capture, burnout and the frames the board needs to
// come to rest.
#pragma once

#include <cstdint>

#include "board/node.h"

// Frames until the board is at rest: above 0 busy, 0 the move ends in this
// frame, -1 idle (a human click is accepted). Every firing sets it to 10.
extern int32_t settleCountdown;

inline constexpr int32_t settleAfterFiring = 10;
inline constexpr int32_t settleAfterPause = 2;  // burnout pass, computer move
inline constexpr int32_t burnoutFiring = 8;     // the firing that burns out
inline constexpr int32_t burnoutWait = 4;       // passes until it comes back

// Every node's fuse tick, in board order.
void tickAllFuses();

// The round boundary: every burnt node waits one pass less; those whose wait
// is over come back and fire as nobody's. Only called where burnout exists.
void burnoutPass();

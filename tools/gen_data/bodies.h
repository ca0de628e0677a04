// The owners' bodies: each owner has a colour and a shape of its own, so that
// the seats stay apart for players who tell colours apart poorly or not at
// all. Nobody is a round grey pebble, blue a square, red a diamond, green a
// cog and yellow a cross.
#pragma once

#include "tools/gen_data/canvas.h"

// By PlayerId: nobody, blue, red, green, yellow.
extern const Colour ownerColours[5];

// The owner's body centred on (cx, cy), shaded as lit from the upper left,
// with a dark one-pixel rim; r is the radius of the round one, and the other
// shapes are sized to look about as big.
void drawBody(Canvas& c, double cx, double cy, double r, int owner);

// The game's own random generator: the same numbers on every platform.
// The C library's rand() runs to 2^31 - 1 here, while the game expects the
// classic 0..32767, so we keep the classic linear congruential generator.
#pragma once

#include <cstdint>

inline constexpr int gameRandMax = 32767;

// Seeding sets the state to the seed.
void gameSrand(uint32_t seed);

// Each draw: state = state * 214013 + 2531011 (mod 2^32), result
// (state >> 16) & 0x7FFF.
int gameRand();

// A number in 0..n-1 for n >= 1: r / 32767 * n truncated, where the single
// draw r = 32767 (which would give n) yields n - 1.
int randomInt(int n);

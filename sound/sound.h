// The firing sound. Every failure here is silent: no device, a missing or
// broken file, the game simply plays on without sound.
#pragma once

struct Mix_Chunk;

// 0: "click.wav" (loaded, never played); 1: "etm0507.mp3", every firing.
extern Mix_Chunk* soundSamples[2];
extern const char* const soundFiles[2];
// Toggled by the S key; false stops new sounds from starting.
extern bool soundOn;

// Opens the mixer and loads both samples; called before video starts.
void initSound();
// Starts a sample on a free channel and returns at once.
void playSound(int index);
// Closes the mixer at shutdown, after the nodes are freed.
void closeSound();

// What the desktop's SDL_mixer and the browser's do differently; the build
// compiles one of sound/mixer_desktop.cpp and sound/mixer_web.cpp.
#pragma once

struct Mix_Chunk;

// The firing sound's MP3 as a chunk the mixer plays as it is; null when the
// file cannot be read.
Mix_Chunk* loadMp3(const char* path);
// Called once the mixer is open with its channels allocated.
void watchChannels(int channels);
// The channel a new sound takes: a free one, or with all busy the one that
// has played longest. -1 when no sound can start now.
int channelForSound();

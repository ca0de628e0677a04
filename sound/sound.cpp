#include "sound/sound.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include "sound/mixer.h"

Mix_Chunk* soundSamples[2] = {nullptr, nullptr};
const char* const soundFiles[2] = {"click.wav", "etm0507.mp3"};
bool soundOn = true;

namespace {
constexpr int mixingRate = 32000;
constexpr int mixingChannels = 16;
// 512 frames: 16 ms at 32000 Hz, so a firing is heard with the frame that
// caused it.
constexpr int bufferFrames = 512;
// About half of full scale: a cascade starts many blips at once.
constexpr int effectsVolume = MIX_MAX_VOLUME / 2;

bool mixerOpen = false;
}  // namespace

void initSound() {
  if (mixerOpen) return;
  // Opening the mixer starts SDL's audio part by itself; the later SDL_Init
  // of the video start finds it running and leaves it alone.
  if (Mix_OpenAudio(mixingRate, AUDIO_S16SYS, 2, bufferFrames) != 0) return;
  mixerOpen = true;
  Mix_AllocateChannels(mixingChannels);
  watchChannels(mixingChannels);
  soundSamples[0] = Mix_LoadWAV(soundFiles[0]);
  soundSamples[1] = loadMp3(soundFiles[1]);
  Mix_Volume(-1, effectsVolume);
}

void playSound(int index) {
  if (!soundOn || index < 0 || index > 1) return;
  Mix_Chunk* sample = soundSamples[index];
  if (!sample) return;
  // With all channels busy the one that has played longest gives way: the
  // newest firing is the one worth hearing, and the oldest blip has mostly
  // faded already.
  const int channel = channelForSound();
  if (channel >= 0) Mix_PlayChannel(channel, sample, 0);
}

void closeSound() {
  if (!mixerOpen) return;
  Mix_HaltChannel(-1);
  for (Mix_Chunk*& sample : soundSamples) {
    Mix_FreeChunk(sample);
    sample = nullptr;
  }
  Mix_CloseAudio();
  mixerOpen = false;
}

#include "sound/sound.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <cstring>
#include <vector>

#include "sound/mp3_decode.h"

Mix_Chunk* soundSamples[2] = {nullptr, nullptr};
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

// The MP3 decoded whole into a chunk in the mixer's own layout, which the
// mixer frees like one of its own (Mix_FreeChunk releases both blocks).
Mix_Chunk* loadMp3(const char* path) {
  PcmFormat mixer;
  if (!Mix_QuerySpec(&mixer.rate, &mixer.format, &mixer.channels)) return nullptr;
  std::vector<Uint8> pcm;
  if (!decodeMp3File(path, mixer, pcm) || pcm.empty()) return nullptr;
  Mix_Chunk* chunk = static_cast<Mix_Chunk*>(SDL_malloc(sizeof(Mix_Chunk)));
  Uint8* samples = static_cast<Uint8*>(SDL_malloc(pcm.size()));
  if (!chunk || !samples) {
    SDL_free(chunk);
    SDL_free(samples);
    return nullptr;
  }
  std::memcpy(samples, pcm.data(), pcm.size());
  chunk->allocated = 1;
  chunk->abuf = samples;
  chunk->alen = static_cast<Uint32>(pcm.size());
  chunk->volume = MIX_MAX_VOLUME;
  return chunk;
}
}  // namespace

void initSound() {
  if (mixerOpen) return;
  // Opening the mixer starts SDL's audio part by itself; the later SDL_Init
  // of the video start finds it running and leaves it alone.
  if (Mix_OpenAudio(mixingRate, AUDIO_S16SYS, 2, bufferFrames) != 0) return;
  mixerOpen = true;
  Mix_AllocateChannels(mixingChannels);
  soundSamples[0] = Mix_LoadWAV("click.wav");
  soundSamples[1] = loadMp3("etm0507.mp3");
  Mix_Volume(-1, effectsVolume);
}

void playSound(int index) {
  if (!soundOn || index < 0 || index > 1) return;
  Mix_Chunk* sample = soundSamples[index];
  if (!sample) return;
  // With all channels busy the one that has played longest gives way: the
  // newest firing is the one worth hearing, and the oldest blip has mostly
  // faded already.
  int channel = Mix_GroupAvailable(-1);
  if (channel < 0) channel = Mix_GroupOldest(-1);
  Mix_PlayChannel(channel, sample, 0);
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

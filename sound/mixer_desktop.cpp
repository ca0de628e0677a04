#include <SDL.h>
#include <SDL_mixer.h>

#include <cstring>
#include <vector>

#include "sound/mixer.h"
#include "sound/mp3_decode.h"

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

// The mixer keeps track of its channels itself.
void watchChannels(int) {}

int channelForSound() {
  const int channel = Mix_GroupAvailable(-1);
  return channel >= 0 ? channel : Mix_GroupOldest(-1);
}

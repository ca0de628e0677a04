#include <SDL_mixer.h>
#include <emscripten.h>

#include <memory>

#include "sound/channel_book.h"
#include "sound/mixer.h"

namespace {
std::unique_ptr<ChannelBook> book;
int halting = -1;  // the channel being stopped to make room

void channelFinished(int channel) {
  if (book && channel != halting) book->finished(channel);
}

// Browsers start audio only once the player has clicked or pressed a key.
// A sound started before that would wait and then sound together with every
// other early one, so until then firings are silent.
bool audioRunning() {
  return EM_ASM_INT({
    return typeof SDL != 'undefined' && SDL.audioContext && SDL.audioContext.state == 'running' ? 1
                                                                                                : 0;
  });
}
}  // namespace

// The browser decodes the MP3 itself.
Mix_Chunk* loadMp3(const char* path) { return Mix_LoadWAV(path); }

void watchChannels(int channels) {
  book = std::make_unique<ChannelBook>(channels);
  Mix_ChannelFinished(channelFinished);
}

int channelForSound() {
  if (!book || !audioRunning()) return -1;
  const int channel = book->claim();
  // The sound a channel drops is stopped first: left playing, it would
  // report the channel free when it ends, under the new sound.
  if (channel >= 0 && Mix_Playing(channel)) {
    halting = channel;
    Mix_HaltChannel(channel);
    halting = -1;
  }
  return channel;
}

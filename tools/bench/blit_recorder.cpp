#include "tools/bench/blit_recorder.h"

namespace {
FrameBlits* recording = nullptr;
}

// The linker sends every SDL_UpperBlit of the program here (--wrap).
extern "C" int __real_SDL_UpperBlit(SDL_Surface* source, SDL_Rect* sourceRect, SDL_Surface* target,
                                    SDL_Rect* targetRect);

extern "C" int __wrap_SDL_UpperBlit(SDL_Surface* source, SDL_Rect* sourceRect, SDL_Surface* target,
                                    SDL_Rect* targetRect) {
  if (recording && sourceRect && targetRect)
    recording->push_back(RecordedBlit{source, *sourceRect, *targetRect});
  return __real_SDL_UpperBlit(source, sourceRect, target, targetRect);
}

void recordBlitsInto(FrameBlits* frame) { recording = frame; }

void replayBlits(const FrameBlits& frame, SDL_Surface* target) {
  for (const RecordedBlit& blit : frame) {
    SDL_Rect sourceRect = blit.sourceRect;
    SDL_Rect targetRect = blit.targetRect;
    __real_SDL_UpperBlit(blit.source, &sourceRect, target, &targetRect);
  }
}

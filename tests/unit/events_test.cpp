// A flood of input in one frame. SDL 1.2 holds at most 127 events in its own
// queue and hands them out one poll at a time; a frame polls until nothing
// is left. These tests stand in for the window system with a backlog of a
// hundred thousand events: a wrapper around SDL_PollEvent tops SDL's real
// queue up from the backlog before every poll, as far as the queue has room,
// and then lets the real SDL_PollEvent hand out the next event. So the whole
// backlog reaches the game within the one frame, as long as the game keeps
// polling. (SDL's own X11 pump moves every pending X event at once and drops
// what does not fit in its queue; that loss happens inside SDL, before the
// game sees anything.)
#include <SDL.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <vector>

#include "app/shell.h"
#include "board/cascade.h"
#include "game/game_state.h"
#include "sound/sound.h"
#include "tests/unit/test_support.h"

using namespace revision;

namespace {
// Events that have happened but have not reached SDL's queue yet.
struct Backlog {
  const SDL_Event* events = nullptr;
  size_t count = 0;
  size_t next = 0;  // the first event not yet in SDL's queue
};
Backlog* activeBacklog = nullptr;

using PollFunction = int (*)(SDL_Event*);
PollFunction sdlPollEvent() {
  static const PollFunction real =
      reinterpret_cast<PollFunction>(dlsym(RTLD_NEXT, "SDL_PollEvent"));
  return real;
}

// Empties SDL's queue.
void drainQueue() {
  SDL_Event event;
  while (sdlPollEvent()(&event)) {
  }
}

SDL_Event motion(int x, int y) {
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.x = static_cast<Uint16>(x);
  e.motion.y = static_cast<Uint16>(y);
  return e;
}

SDL_Event button(Uint8 type, Uint8 which, int x, int y) {
  SDL_Event e{};
  e.type = type;
  e.button.button = which;
  e.button.x = static_cast<Uint16>(x);
  e.button.y = static_cast<Uint16>(y);
  return e;
}

SDL_Event key(Uint8 type, SDLKey sym) {
  SDL_Event e{};
  e.type = type;
  e.key.keysym.sym = sym;
  return e;
}

// The centre of a node's cell on screen.
int cellX(int column) { return boardOriginX + cellSize * column + cellSize / 2; }
int cellY(int row) { return boardOriginY + cellSize * row + cellSize / 2; }

// An idle board on which blue, a human, is to move; two blue nodes.
void humanToMove(int columnA, int rowA, int columnB, int rowB) {
  openTestScreen();
  resetGame();
  drainQueue();
  gameState->firstDealDone = true;
  gameState->currentPlayer = Blue;
  gameState->seats[0].computer = false;
  gameState->turnSense = +1;
  board[columnA][rowA]->owner = Blue;
  board[columnB][rowB]->owner = Blue;
  soundOn = true;
}
}  // namespace

// The wrapper: while a test has a backlog, every poll first moves as much of
// it into SDL's queue as the queue takes. Transparent otherwise.
extern "C" int SDL_PollEvent(SDL_Event* event) {
  if (Backlog* b = activeBacklog) {
    while (b->next < b->count && SDL_PushEvent(const_cast<SDL_Event*>(&b->events[b->next])) == 0)
      ++b->next;
  }
  return sdlPollEvent()(event);
}

TEST(Events, AHundredThousandEventsAreAllHandledInTheFrameTheyArriveIn) {
  ASSERT_NE(sdlPollEvent(), nullptr);
  const int ac = 1, ar = 2, bc = lastIndex - 1, br = lastIndex - 2;
  humanToMove(ac, ar, bc, br);

  // Motion all over the window, presses of other buttons, other keys and
  // their releases, S pressed an odd number of times, a left press on node A
  // early on and again near the end; the very last event moves the pointer
  // to node B.
  constexpr size_t total = 100000;
  std::vector<SDL_Event> flood;
  flood.reserve(total);
  int sPresses = 0;
  flood.push_back(button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, cellX(ac), cellY(ar)));
  while (flood.size() < total - 3) {
    const size_t i = flood.size();
    switch (i % 7) {
      case 0:
        flood.push_back(
            motion(static_cast<int>(i % windowWidth), static_cast<int>(i % windowHeight)));
        break;
      case 1: flood.push_back(button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 5, 5)); break;
      case 2: flood.push_back(button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 7, 7)); break;
      case 3: flood.push_back(key(SDL_KEYDOWN, SDLK_a)); break;
      case 4: flood.push_back(key(SDL_KEYUP, SDLK_s)); break;
      case 5:
        flood.push_back(key(SDL_KEYDOWN, SDLK_s));
        ++sPresses;
        break;
      default: flood.push_back(motion(static_cast<int>(i % 97), static_cast<int>(i % 89))); break;
    }
  }
  if (sPresses % 2 == 0) {
    flood.push_back(key(SDL_KEYDOWN, SDLK_s));
    ++sPresses;
  }
  flood.push_back(button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, cellX(ac), cellY(ar)));
  while (flood.size() < total - 1) flood.push_back(key(SDL_KEYUP, SDLK_a));
  flood.push_back(motion(cellX(bc), cellY(br)));
  ASSERT_EQ(flood.size(), total);

  Backlog backlog{flood.data(), flood.size(), 0};
  activeBacklog = &backlog;
  const Direction directionA = board[ac][ar]->direction;
  const Direction directionB = board[bc][br]->direction;
  gameState->update();  // one frame
  activeBacklog = nullptr;

  // Every event reached the game in this one frame, and none is left over.
  EXPECT_EQ(backlog.next, total);
  SDL_Event leftOver;
  EXPECT_EQ(sdlPollEvent()(&leftOver), 0);
  // Each key press counted; the pointer is where the last event put it.
  EXPECT_FALSE(soundOn) << sPresses << " presses of S";
  EXPECT_EQ(gameState->mouseX, cellX(bc));
  EXPECT_EQ(gameState->mouseY, cellY(br));
  // One click, at the last position: node B moved, node A did not.
  EXPECT_EQ(board[bc][br]->direction, turnedDirection(directionB, +1));
  EXPECT_EQ(board[ac][ar]->direction, directionA);
  EXPECT_EQ(settleCountdown, settleAfterFiring);
  EXPECT_FALSE(quitRequested);
}

TEST(Events, AFullQueueIsDrainedInOneFrame) {
  // SDL's own queue, without a backlog: filled until it refuses an event.
  humanToMove(0, 0, lastIndex, lastIndex);
  int pushed = 0;
  for (;; ++pushed) {
    SDL_Event e = pushed % 2 ? key(SDL_KEYDOWN, SDLK_s) : motion(300 + pushed, 200 + pushed);
    if (SDL_PushEvent(&e) != 0) break;
  }
  ASSERT_GT(pushed, 100);  // SDL 1.2 holds 127
  const int lastMotion = (pushed - 1) / 2 * 2;
  const bool soundAfter = (pushed / 2) % 2 == 0;

  gameState->update();
  SDL_Event leftOver;
  EXPECT_EQ(sdlPollEvent()(&leftOver), 0);
  EXPECT_EQ(gameState->mouseX, 300 + lastMotion);
  EXPECT_EQ(gameState->mouseY, 200 + lastMotion);
  EXPECT_EQ(soundOn, soundAfter);

  // What arrives after the frame's poll waits for the next frame.
  SDL_Event later = motion(123, 45);
  ASSERT_EQ(SDL_PushEvent(&later), 0);
  gameState->update();
  EXPECT_EQ(gameState->mouseX, 123);
  EXPECT_EQ(gameState->mouseY, 45);
  soundOn = true;
}

// spindrel-soak GAMES SEED: the games SEED to SEED + GAMES - 1, each from its
// own seed to its winner or 20,000 frames, with random settings, clicks and S
// presses, the rules checked after every frame (see HACKING.md). Exit code 1
// at the first broken rule, with the command that repeats that game; 2 on
// bad arguments.
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/shell.h"
#include "board/cascade.h"
#include "render/sheet_layout.h"

using namespace revision;

namespace {
constexpr long frameCap = 20000;

// The soak's own choices come from a generator apart from the game's
// (xorshift), so that its input never disturbs the game's random numbers.
uint64_t soakState = 1;
int below(int n) {
  soakState ^= soakState << 13;
  soakState ^= soakState >> 7;
  soakState ^= soakState << 17;
  return static_cast<int>((soakState >> 33) % static_cast<uint64_t>(n));
}

// A click at a random spot of the panel above New Game, on one of the
// current player's nodes, or anywhere on the board; now and then New Game;
// now and then S.
void randomInput() {
  SDL_Event e{};
  e.type = SDL_MOUSEBUTTONDOWN;
  e.button.button = SDL_BUTTON_LEFT;
  int x = boardOriginX + below(cellSize * boardSize), y = below(windowHeight);
  const int kind = below(5000);
  if (kind < 64) {
    const int owned = countNodes(gameState->currentPlayer);
    int pick = below(owned > 0 ? owned : 1);
    forEachNode([&](const Node& n) {
      if (n.owner == gameState->currentPlayer && pick-- == 0) x = n.x + 5, y = n.y + 5;
    });
  } else if (kind < 80) {
    x = below(200), y = below(layout::newGameButton.y);
  } else if (kind == 80) {
    x = layout::newGameButton.x, y = layout::newGameButton.y;
  } else if (kind >= 600) {
    if (kind < 610) e.type = SDL_KEYDOWN, e.key.keysym.sym = SDLK_s;
    if (kind < 610) SDL_PushEvent(&e);
    return;
  }
  e.button.x = static_cast<Uint16>(x), e.button.y = static_cast<Uint16>(y);
  SDL_PushEvent(&e);
}

// What must hold after every frame; null when it does. Folds the frame into
// the game's digest.
const char* brokenRule(long busyFrames, uint64_t& digest) {
  const GameState& g = *gameState;
  auto fold = [&digest](int value) {
    digest = (digest ^ static_cast<uint32_t>(value)) * 1099511628211ull;
  };
  fold(settleCountdown), fold(g.currentPlayer), fold(winner);
  // New Game takes the new player count at once and deals the next frame.
  const int lastSeat = g.newGameRequested ? Yellow : g.lastSeat();
  int counts[playerIdCount] = {};
  bool bad = false;
  forEachNode([&](const Node& n) {
    fold(n.owner * 64 + n.direction * 4 + n.fuse);
    bad |= n.direction < 0 || n.direction > 3 || n.fuse < -1 || n.fuse > 1 || n.owner < 0 ||
           n.owner > lastSeat;
    n.withBurnout([&](const auto& b) {
      bad |= b.burnt ? b.owner != Nobody || b.fuse != -1 || b.fireCount < 1 || b.fireCount > 4
                     : b.fireCount < 0 || b.fireCount > 7;
    });
    if (!bad) ++counts[n.owner];
  });
  if (bad) return "a node is in a state the rules never give it";
  for (int p = Blue; p <= lastSeat && winner != 0; ++p)
    if (p != winner && counts[p] > 0) return "a player other than the winner owns nodes";
  if (settleCountdown < -1 || settleCountdown > settleAfterFiring)
    return "settleCountdown out of range";
  // The deal draws the first player among all four colours, also for two.
  if (g.currentPlayer < 0 || g.currentPlayer > Yellow) return "the turn is on no colour";
  // A captured node fires at most two frames after its capture and every
  // firing restarts a count of ten: F firings keep the board busy for at most
  // 2F + 10 frames, and a node fires at most eight times between two rests.
  if (busyFrames > 2L * 8 * nodeCount + 10) return "the board never comes to rest";
  return nullptr;
}
}  // namespace

int main(int argc, char** argv) {
  const long games = argc == 3 ? std::atol(argv[1]) : 0, seed = argc == 3 ? std::atol(argv[2]) : 0;
  if (games < 1 || seed < 1) {
    std::fprintf(stderr, "usage: %s GAMES SEED\n", argv[0]);
    return 2;
  }
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  createNodes();
  // The game's own diagnostic lines go nowhere.
  if (!initVideo(32) || !std::freopen("/dev/null", "w", stdout)) return 1;

  long frames = 0, shortest = frameCap, longest = 0, wins[playerIdCount] = {};
  uint64_t digest = 0;
  for (long game = seed; game < seed + games; ++game) {
    startSeededGame(static_cast<uint32_t>(game));
    soakState = static_cast<uint64_t>(game) * 0x9E3779B97F4A7C15ull + 1;
    GameState& g = *gameState;  // random settings, some seats human
    g.pendingFourPlayers = below(2);
    g.pendingTurnSense = below(2) ? 1 : -1;
    for (Seat& s : g.seats) s.pendingComputer = below(3) != 0, s.pendingAiMode = below(3);
    g.applyPendingSettings();
    digest = 14695981039346656037ull;
    long f = 0, busy = 0;
    while (winner == 0 && f < frameCap) {
      ++f;
      randomInput();
      advanceGame();
      busy = settleCountdown > 0 ? busy + 1 : 0;
      if (const char* broken = brokenRule(busy, digest)) {
        std::fprintf(stderr, "%s: frame %ld of game %ld: %s (digest %016llx)\n  repeat: %s 1 %ld\n",
                     argv[0], f, game, broken, static_cast<unsigned long long>(digest), argv[0],
                     game);
        return 1;
      }
    }
    frames += f, shortest = std::min(shortest, f), longest = std::max(longest, f);
    ++wins[winner];
  }
  std::fprintf(stderr,
               "%s: %ld games, %ld frames, %ld won (blue %ld, red %ld, green %ld, yellow %ld), "
               "shortest %ld, longest %ld frames; game %ld digest %016llx; every rule held\n",
               argv[0], games, frames, games - wins[Nobody], wins[Blue], wins[Red], wins[Green],
               wins[Yellow], shortest, longest, seed + games - 1,
               static_cast<unsigned long long>(digest));
  SDL_Quit();
  return 0;
}

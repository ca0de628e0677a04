// spindrel-soak: plays seeded games through the game's own frame logic on
// SDL's dummy display, with random clicks, motion, S presses and New Game
// mixed in, and checks after every frame that the board and the turn are in
// a state the rules allow. Built on the game library compiled with
// AddressSanitizer and UndefinedBehaviorSanitizer, so a bad read or write,
// an overflow or a leak also ends the run.
//
//   spindrel-soak [--games N] [--seed S] [--game-frames F]
//
// A game ends with its winner or after F frames (default 20000). Exit code
// 0 when every frame passed; 1 at the first broken rule, with the command
// that repeats that game; 2 on bad arguments.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/shell.h"
#include "board/cascade.h"
#include "board/random.h"

using namespace revision;

namespace {
// The soak's own choices come from a generator apart from the game's
// (xorshift), so that its input never disturbs the game's random numbers.
uint64_t soakState = 1;
int below(int n) {
  soakState ^= soakState << 13;
  soakState ^= soakState >> 7;
  soakState ^= soakState << 17;
  return static_cast<int>((soakState >> 33) % static_cast<uint64_t>(n));
}

// Random input for one frame: mostly clicks on the board, sometimes on the
// panel's buttons, now and then S.
void randomInput() {
  SDL_Event e{};
  if (below(8) == 0) {
    e.type = SDL_MOUSEBUTTONDOWN;
    e.button.button = SDL_BUTTON_LEFT;
    e.button.x = static_cast<Uint16>(below(4) == 0 ? below(200) : boardOriginX + below(cellSize * boardSize));
    e.button.y = static_cast<Uint16>(below(windowHeight));
    SDL_PushEvent(&e);
  }
  if (below(400) == 0) {
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = SDLK_s;
    SDL_PushEvent(&e);
  }
}

// What must hold after every frame; null when it does.
const char* brokenRule(long busyFrames) {
  static char message[200];
  const GameState& g = *gameState;
  // New Game takes the new player count at once and deals the next frame.
  const int lastSeat = g.newGameRequested ? Yellow : g.lastSeat();
  int counts[playerIdCount] = {};
  for (int c = 0; c < boardSize; ++c)
    for (int r = 0; r < boardSize; ++r) {
      const Node& n = *board[c][r];
      if (n.direction < 0 || n.direction > 3 || n.fuse < -1 || n.fuse > 1 || n.owner < 0 ||
          n.owner > lastSeat) {
        std::snprintf(message, sizeof message, "node (%d, %d): owner %d, direction %d, fuse %d", c,
                      r, n.owner, n.direction, n.fuse);
        return message;
      }
      bool badBurnout = false;
      n.withBurnout([&](const auto& b) {
        badBurnout = b.burnt ? b.owner != Nobody || b.fuse != -1 || b.fireCount < 1 || b.fireCount > 4
                             : b.fireCount < 0 || b.fireCount > 7;
      });
      if (badBurnout) return "a node's burnout state is impossible";
      ++counts[n.owner];
    }
  for (int p = 0; p < playerIdCount; ++p)
    if (g.nodeCounts[p] < 0 || g.nodeCounts[p] > nodeCount) return "a node count is out of range";
  for (int p = Blue; p <= lastSeat && winner != 0; ++p)
    if (p != winner && counts[p] > 0) return "a player other than the winner owns nodes";
  if (settleCountdown < -1 || settleCountdown > settleAfterFiring) return "settleCountdown out of range";
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
  long games = 200, gameFrames = 20000, seed = 1;
  for (int i = 1; i < argc; i += 2) {
    long* target = !std::strcmp(argv[i], "--games")         ? &games
                   : !std::strcmp(argv[i], "--seed")        ? &seed
                   : !std::strcmp(argv[i], "--game-frames") ? &gameFrames
                                                            : nullptr;
    char* end = nullptr;
    if (!target || i + 1 >= argc || (*target = std::strtol(argv[i + 1], &end, 10)) < 1 || *end) {
      std::fprintf(stderr, "usage: %s [--games N] [--seed S] [--game-frames F]\n", argv[0]);
      return 2;
    }
  }
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  createNodes();
  if (!initVideo(32)) {
    std::fprintf(stderr, "%s: no dummy display\n", argv[0]);
    return 1;
  }
  std::freopen("/dev/null", "w", stdout);  // the game's own diagnostic lines

  long frames = 0;
  for (long game = 0; game < games; ++game) {
    const long gameSeed = seed + game;
    gameSrand(static_cast<uint32_t>(gameSeed));
    soakState = static_cast<uint64_t>(gameSeed) * 0x9E3779B97F4A7C15ull + 1;
    *gameState = GameState();
    GameState& g = *gameState;
    // Random settings for this game, some seats human.
    g.pendingFourPlayers = below(2);
    g.pendingTurnSense = below(2) ? 1 : -1;
    for (Seat& s : g.seats) {
      s.pendingComputer = below(3) != 0;
      s.pendingAiMode = below(3);
    }
    g.applyPendingSettings();
    long busy = 0;
    for (long f = 1; f <= gameFrames && winner == 0; ++f, ++frames) {
      randomInput();
      advanceGame();
      quitRequested = false;
      busy = settleCountdown > 0 ? busy + 1 : 0;
      if (const char* broken = brokenRule(busy)) {
        std::fprintf(stderr, "%s: frame %ld of game %ld: %s\n  repeat: %s --seed %ld --games 1 --game-frames %ld\n",
                     argv[0], f, game, broken, argv[0], gameSeed, gameFrames);
        return 1;
      }
    }
  }
  std::fprintf(stderr, "%s: %ld games, %ld frames, every rule held\n", argv[0], games, frames);
  SDL_Quit();
  return 0;
}

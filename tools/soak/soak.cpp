// spindrel-soak: plays thousands of seeded games through the game's own frame
// logic (GameState::update, then every fuse tick) on SDL's dummy display,
// with random clicks, keys, motion and New Game presses mixed in, and checks
// after every frame that the board and the turn are in a state the rules
// allow. Built against the sanitized game library, so a bad read or write,
// an overflow or a leak also ends the run.
//
//   spindrel-soak [--games N] [--frames N] [--game-frames N] [--seed N]
//                 [--diagnostics] [--list]
//
// --games: games to play (a game ends with the next deal); --frames: stop
// after that many frames instead; --game-frames: a game still undecided
// after that many frames is ended with New Game; --seed: the game's and the
// soak's random numbers, so a run repeats exactly; --list: one line per game.
// The game's diagnostic lines are dropped unless --diagnostics is given; the
// soak's own report goes to standard error. Exit code 0 when every frame
// passed, 1 on the first broken rule (with the frame and the command that
// repeats it), 2 on bad arguments.
#include <SDL.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/shell.h"
#include "board/cascade.h"
#include "board/random.h"
#include "game/game_state.h"
#include "sound/sound.h"
#include "tools/soak/invariants.h"

namespace {
const char* toolName = "spindrel-soak";

struct Options {
  long games = 200;         // games to play
  long frames = 0;          // stop after this many frames (0: no limit)
  long gameFrames = 60000;  // a game still undecided after this is ended
  uint32_t seed = 1;
  bool diagnostics = false;
  bool listGames = false;  // one line per game on standard error
};

// The soak's own choices come from this generator (xorshift64*), apart from
// the game's, so that the input never disturbs the game's random numbers.
class SoakRandom {
 public:
  explicit SoakRandom(uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint32_t next() {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return static_cast<uint32_t>((state * 0x2545F4914F6CDD1Dull) >> 32);
  }
  int below(int n) { return static_cast<int>(next() % static_cast<uint32_t>(n)); }
  bool oneIn(int n) { return below(n) == 0; }

 private:
  uint64_t state;
};

// Pushing events; the queue holds 127, a frame pushes far fewer.
void push(SDL_Event& event) {
  if (SDL_PushEvent(&event) != 0) {
    std::fprintf(stderr, "%s: the event queue is full\n", toolName);
    std::exit(1);
  }
}

void pushMotion(FrameInput& in, int32_t x, int32_t y) {
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.x = static_cast<Uint16>(x);
  e.motion.y = static_cast<Uint16>(y);
  push(e);
  in.positional = true;
  in.lastX = e.motion.x;
  in.lastY = e.motion.y;
}

void pushButton(FrameInput& in, Uint8 type, Uint8 button, int32_t x, int32_t y) {
  SDL_Event e{};
  e.type = type;
  e.button.button = button;
  e.button.x = static_cast<Uint16>(x);
  e.button.y = static_cast<Uint16>(y);
  push(e);
  if (type != SDL_MOUSEBUTTONDOWN) return;  // releases are not the game's business
  in.positional = true;
  in.lastX = e.button.x;
  in.lastY = e.button.y;
  if (button == SDL_BUTTON_LEFT) in.leftClick = true;
}

void pushKey(FrameInput& in, Uint8 type, SDLKey key) {
  SDL_Event e{};
  e.type = type;
  e.key.keysym.sym = key;
  push(e);
  if (type != SDL_KEYDOWN) return;
  if (key == SDLK_ESCAPE) in.quit = true;
  if (key == SDLK_s) ++in.soundToggles;
}

void pushOfType(Uint8 type) {
  SDL_Event e{};
  e.type = type;
  push(e);
}

// Keys a player might press; Escape, S and F are among them.
constexpr SDLKey someKeys[] = {SDLK_a,      SDLK_f,      SDLK_s,   SDLK_q,  SDLK_SPACE,
                               SDLK_RETURN, SDLK_1,      SDLK_n,   SDLK_UP, SDLK_LEFT,
                               SDLK_F1,     SDLK_LSHIFT, SDLK_TAB, SDLK_z,  SDLK_DELETE};

// A point in the window. The last position of a frame is where its click
// lands, so points on New Game are kept only now and then: most games then
// run to their end.
void windowPoint(SoakRandom& rng, int32_t& x, int32_t& y) {
  do {
    x = rng.below(revision::windowWidth);
    y = rng.below(revision::windowHeight);
  } while (gameState->buttons[ButtonNewGame].contains(x, y) && !rng.oneIn(100));
}

// A few random events of every kind the game sees, and some it ignores.
void pushNoise(SoakRandom& rng, FrameInput& in, bool allowLeftPress) {
  const int count = 1 + rng.below(12);
  for (int i = 0; i < count; ++i) {
    const int kind = rng.below(100);
    int32_t x, y;
    windowPoint(rng, x, y);
    if (kind < 40) {
      pushMotion(in, x, y);
    } else if (kind < 42) {
      pushMotion(in, rng.below(65536), rng.below(65536));  // far off the window
    } else if (kind < 52) {
      if (allowLeftPress) pushButton(in, SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, x, y);
    } else if (kind < 60) {
      pushButton(in, SDL_MOUSEBUTTONDOWN, static_cast<Uint8>(2 + rng.below(4)), x, y);
    } else if (kind < 68) {
      pushButton(in, SDL_MOUSEBUTTONUP, static_cast<Uint8>(1 + rng.below(5)), x, y);
    } else if (kind < 83) {
      pushKey(in, SDL_KEYDOWN, someKeys[rng.below(sizeof someKeys / sizeof someKeys[0])]);
    } else if (kind < 92) {
      pushKey(in, SDL_KEYUP, someKeys[rng.below(sizeof someKeys / sizeof someKeys[0])]);
    } else if (kind < 93) {
      // Escape and the close request, rarely: the soak then plays on.
      if (rng.oneIn(20)) pushKey(in, SDL_KEYDOWN, SDLK_ESCAPE);
      if (rng.oneIn(20)) {
        pushOfType(SDL_QUIT);
        in.quit = true;
      }
    } else {
      // Window-manager events carry a message only SDL itself can fill in.
      const Uint8 others[] = {SDL_ACTIVEEVENT, SDL_VIDEOEXPOSE,   SDL_VIDEORESIZE,
                              SDL_USEREVENT,   SDL_JOYAXISMOTION, SDL_JOYBUTTONDOWN};
      pushOfType(others[rng.below(sizeof others)]);
    }
  }
}

// Settings for the next game: mostly four computers at mixed strengths,
// sometimes human seats, which the soak then plays with random clicks.
void chooseSettings(SoakRandom& rng) {
  GameState& g = *gameState;
  g.pendingFourPlayers = rng.oneIn(2);
  g.pendingTurnSense = rng.oneIn(2) ? 1 : -1;
  for (Seat& seat : g.seats) {
    seat.pendingComputer = !rng.oneIn(6);
    seat.pendingAiMode = rng.below(3);  // EASY, NORMAL and TOUGH
  }
}

// A left press somewhere on the New Game button, edges included.
void pressNewGame(SoakRandom& rng, FrameInput& in) {
  const PanelButton& b = gameState->buttons[ButtonNewGame];
  pushButton(in, SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, b.x + rng.below(b.width + 1),
             b.y + rng.below(b.height + 1));
}

// A click on a random node of the human player to move, anywhere inside
// its cell. False when the player has no node that can be played.
bool clickOwnNode(SoakRandom& rng, FrameInput& in) {
  const PlayerId player = gameState->currentPlayer;
  const int start = rng.below(revision::nodeCount);
  for (int i = 0; i < revision::nodeCount; ++i) {
    const int index = (start + i) % revision::nodeCount;
    const Node& n = *board[index / revision::boardSize][index % revision::boardSize];
    if (n.owner != player || n.isBurnt()) continue;
    pushButton(in, SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT,
               n.x + 1 + rng.below(revision::cellSize - 1),
               n.y + 1 + rng.below(revision::cellSize - 1));
    in.humanMove = true;
    in.moveColumn = n.column;
    in.moveRow = n.row;
    return true;
  }
  return false;
}

void describeSettings(char* out, size_t size) {
  const GameState& g = *gameState;
  const char* strengths[] = {"easy", "normal", "tough"};
  int used = std::snprintf(out, size, "%s players, turn sense %+d, seats",
                           g.fourPlayers ? "four" : "two", g.turnSense);
  for (int s = 0; s < 4 && used > 0 && static_cast<size_t>(used) < size; ++s) {
    const Seat& seat = g.seats[s];
    const int mode = seat.aiMode >= 0 && seat.aiMode <= 2 ? seat.aiMode : 0;
    used +=
        std::snprintf(out + used, size - used, " %s", seat.computer ? strengths[mode] : "human");
  }
}

void dumpBoard() {
  std::fprintf(stderr,
               "board (owner, direction ESWN as >^<v, * waiting to fire, # burnt), "
               "row by row:\n");
  const char arrows[] = {'>', '^', '<', 'v'};
  for (int r = 0; r < revision::boardSize; ++r) {
    std::fputs("  ", stderr);
    for (int c = 0; c < revision::boardSize; ++c) {
      const Node& n = *board[c][r];
      const char mark = n.isBurnt() ? '#' : (n.fuse >= 0 ? '*' : ' ');
      std::fprintf(stderr, "%d%c%c", n.owner,
                   n.direction >= 0 && n.direction <= 3 ? arrows[n.direction] : '?', mark);
    }
    std::fputc('\n', stderr);
  }
  std::fprintf(stderr, "settleCountdown %d, currentPlayer %d, winner %d, moves %d, turns %d\n",
               settleCountdown, gameState->currentPlayer, winner, gameState->moveCount,
               gameState->turnCount);
}

bool parseNumber(const char* text, long low, long& value) {
  char* end = nullptr;
  const long parsed = std::strtol(text, &end, 10);
  if (!text[0] || *end || parsed < low) return false;
  value = parsed;
  return true;
}

bool parseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    const bool hasValue = i + 1 < argc;
    long seed = 0;
    if (!std::strcmp(arg, "--diagnostics")) {
      options.diagnostics = true;
    } else if (!std::strcmp(arg, "--list")) {
      options.listGames = true;
    } else if (!std::strcmp(arg, "--games") && hasValue) {
      if (!parseNumber(argv[++i], 1, options.games)) return false;
    } else if (!std::strcmp(arg, "--frames") && hasValue) {
      if (!parseNumber(argv[++i], 0, options.frames)) return false;
    } else if (!std::strcmp(arg, "--game-frames") && hasValue) {
      if (!parseNumber(argv[++i], 1, options.gameFrames)) return false;
    } else if (!std::strcmp(arg, "--seed") && hasValue) {
      if (!parseNumber(argv[++i], 0, seed) || seed > 0xFFFFFFFFL) return false;
      options.seed = static_cast<uint32_t>(seed);
    } else {
      return false;
    }
  }
  return true;
}

struct Tally {
  long frames = 0;
  long games = 0;        // games ended by the next deal
  long won = 0;          // games that ended with a winner
  long undecided = 0;    // ended by the soak after gameFrames
  long interrupted = 0;  // ended by a New Game press before a winner
  long quits = 0;        // Escape or close requests seen (and then ignored)
  long humanMoves = 0;
  long wonFrames = 0;  // frames from the deal to the winner, over the won games
};
}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: %s [--games N] [--frames N] [--game-frames N] [--seed N] "
                 "[--diagnostics] [--list]\n",
                 revision::programName);
    return 2;
  }
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  if (!options.diagnostics && !std::freopen("/dev/null", "w", stdout)) return 1;

  // The real start-up order, without the sheets: nothing is drawn.
  createNodes();
  initSound();
  if (!initVideo(32)) {
    std::fprintf(stderr, "%s: no dummy display: %s\n", toolName, SDL_GetError());
    return 1;
  }
  gameSrand(options.seed);
  SoakRandom rng(options.seed);
  InvariantChecker checker;
  Tally tally;

  long gameStartFrame = 0;
  long newGameAt = -1;  // frame at which the soak presses New Game
  bool gameWon = false;
  char lastSettings[160] = "";
  int exitCode = 0;
  const Uint32 startTicks = SDL_GetTicks();

  while (tally.games < options.games) {
    if (options.frames > 0 && tally.frames >= options.frames) break;
    FrameInput in;
    const long frame = tally.frames;
    const bool idleHuman = settleCountdown == -1 && winner == 0 && !gameState->newGameRequested &&
                           gameState->firstDealDone && gameState->currentPlayer >= Blue &&
                           gameState->currentPlayer <= Yellow &&
                           !gameState->seats[gameState->currentPlayer - 1].computer;

    const bool dealPending = gameState->newGameRequested;
    if (!dealPending && (frame == newGameAt || frame - gameStartFrame >= options.gameFrames)) {
      // Another game: noise first, then the press, so the press counts.
      if (rng.oneIn(2)) pushNoise(rng, in, false);
      chooseSettings(rng);
      pressNewGame(rng, in);
      newGameAt = -1;
    } else {
      if (rng.oneIn(8)) pushNoise(rng, in, true);
      if (idleHuman && rng.oneIn(3) && clickOwnNode(rng, in)) ++tally.humanMoves;
    }

    checker.beforeFrame(in);
    advanceGame();
    ++tally.frames;

    if (const char* failure = checker.afterFrame(in)) {
      char settings[160];
      describeSettings(settings, sizeof settings);
      std::fprintf(stderr,
                   "%s: rule broken in game %ld, frame %ld of the game (%ld overall), seed %u:\n"
                   "  %s\n  active settings: %s\n",
                   revision::programName, tally.games + 1, tally.frames - gameStartFrame,
                   tally.frames, options.seed, failure, settings);
      dumpBoard();
      std::fprintf(stderr, "  rerun: spindrel-soak%s --seed %u --game-frames %ld --frames %ld\n",
                   revision::programName + std::strlen("CSpindrel"), options.seed,
                   options.gameFrames, tally.frames);
      exitCode = 1;
      break;
    }

    if (in.quit) {
      ++tally.quits;
      quitRequested = false;  // the soak plays on
    }
    if (checker.dealtThisFrame()) {
      // A deal ends the game before it (the first deal ends none).
      if (tally.frames > 1) {
        ++tally.games;
        if (options.listGames)
          std::fprintf(stderr, "game %ld: %s, %ld frames, %s\n", tally.games, lastSettings,
                       tally.frames - 1 - gameStartFrame,
                       gameWon ? "won" : "ended without a winner");
        if (gameWon)
          ++tally.won;
        else if (tally.frames - 1 - gameStartFrame >= options.gameFrames)
          ++tally.undecided;
        else
          ++tally.interrupted;
      }
      gameStartFrame = tally.frames - 1;
      gameWon = false;
      describeSettings(lastSettings, sizeof lastSettings);
    }
    if (winner != 0 && !gameWon) {
      gameWon = true;
      tally.wonFrames += tally.frames - gameStartFrame;
      newGameAt = tally.frames + rng.below(30);  // look at the won board a moment
    }
  }

  const double seconds = (SDL_GetTicks() - startTicks) / 1000.0;
  const double rate = seconds > 0 ? tally.games / seconds : 0;
  std::fprintf(stderr,
               "%s: %s: %ld games in %ld frames, %.1f s (%.1f games/s); %ld won (in %ld frames "
               "on average), %ld ended undecided after %ld frames, %ld interrupted by New Game; "
               "%ld human moves, %ld quit requests; longest busy stretch %ld frames (bound %ld)\n",
               revision::programName, exitCode ? "FAILED" : "passed", tally.games, tally.frames,
               seconds, rate, tally.won, tally.won ? tally.wonFrames / tally.won : 0,
               tally.undecided, options.gameFrames, tally.interrupted, tally.humanMoves,
               tally.quits, checker.longestBusy(), busyFrameBound);
  shutDown();
  return exitCode;
}

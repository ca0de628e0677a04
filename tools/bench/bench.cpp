// The benchmark: what a frame costs, what the rules cost alone, how far our
// own code is above the bare blits, allocations in the frame loop, start-up
// time and the CPU taken at the 60 Hz pace. Every figure is the median of
// several runs. Run it in the folder that holds the data files.
//
//   spindrel-bench [--runs N]                        the headless table (dummy video)
//   spindrel-bench --cpu GAME [--seconds S] [--runs N]  CPU at the pace, under a real display
//   (--startup-child and --paced-floor are its own helpers; --help)
#include <SDL.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "app/shell.h"
#include "board/cascade.h"
#include "game/game_state.h"
#include "render/sprites.h"
#include "revisions/diagnostics.h"
#include "tools/bench/alloc_counter.h"
#include "tools/bench/blit_recorder.h"

namespace {
constexpr int openingFrames = 3000;
constexpr uint32_t openingSeed = 2005;
constexpr int recordedFloorFrames = 600;  // the paced floor cycles these

double nowSeconds() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The opening of the program's first game, the same every time: four
// computers at TOUGH, dealt on the first frame from a fixed seed.
void restartOpening() { startSeededGame(openingSeed); }

void startHeadless() {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  createNodes();
  if (!initVideo(32) || loadSheets()) {
    std::fprintf(stderr, "cannot start: run in the folder with the data files\n");
    std::exit(1);
  }
}

struct HeadlessFigures {
  double frameMicros, floorMicros, rulesFramesPerSecond, allocationsPerFrame;
};

HeadlessFigures measureHeadless(int runs) {
  // One untimed pass records every blit of every frame.
  std::vector<FrameBlits> recorded(openingFrames);
  restartOpening();
  for (FrameBlits& frame : recorded) {
    recordBlitsInto(&frame);
    runFrame();
  }
  recordBlitsInto(nullptr);

  std::vector<double> frame, floor, rules, allocations;
  for (int run = 0; run < runs; ++run) {
    restartOpening();
    runFrame();
    const uint64_t allocationsBefore = heapAllocations();
    double start = nowSeconds();
    for (int f = 1; f < openingFrames; ++f) runFrame();
    frame.push_back((nowSeconds() - start) * 1e6 / (openingFrames - 1));
    allocations.push_back(double(heapAllocations() - allocationsBefore) / (openingFrames - 1));

    start = nowSeconds();
    for (int f = 1; f < openingFrames; ++f) {
      replayBlits(recorded[f], screen);
      SDL_Flip(screen);
    }
    floor.push_back((nowSeconds() - start) * 1e6 / (openingFrames - 1));

    // The rules alone: the same opening again and again, no drawing.
    constexpr int repeats = 100;
    start = nowSeconds();
    for (int r = 0; r < repeats; ++r) {
      restartOpening();
      for (int f = 0; f < openingFrames; ++f) advanceGame();
    }
    rules.push_back(repeats * openingFrames / (nowSeconds() - start));
  }
  return {median(frame), median(floor), median(rules), median(allocations)};
}

// Starts this program again with the given arguments; its standard output
// comes back through the returned descriptor.
pid_t spawn(const std::vector<std::string>& args, int& output) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], STDOUT_FILENO);
    close(fds[0]);
    close(fds[1]);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(fds[1]);
  output = fds[0];
  return pid;
}

// Reads lines from the descriptor until one starts with the prefix.
bool waitForLine(int fd, const char* prefix, std::string& line) {
  std::string buffer;
  char c;
  while (read(fd, &c, 1) == 1) {
    if (c != '\n') {
      buffer += c;
      continue;
    }
    if (buffer.rfind(prefix, 0) == 0) {
      line = buffer;
      return true;
    }
    buffer.clear();
  }
  return false;
}

std::string selfPath() {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  path[n > 0 ? n : 0] = '\0';
  return path;
}

// Process start to the first flipped frame, in a fresh process each time.
double measureStartup(int runs) {
  std::vector<double> millis;
  for (int run = 0; run < runs; ++run) {
    int output = -1;
    const double start = nowSeconds();
    const pid_t pid = spawn({selfPath(), "--startup-child"}, output);
    std::string line;
    if (waitForLine(output, "FIRST_FLIP ", line))
      millis.push_back((std::atof(line.c_str() + 11) - start) * 1000);
    close(output);
    waitpid(pid, nullptr, 0);
  }
  return millis.empty() ? -1 : median(millis);
}

int startupChild() {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  diag("Program Started\n");
  if (startUp()) {
    runFrame();
    std::printf("FIRST_FLIP %.9f\n", nowSeconds());
    std::fflush(stdout);
  }
  shutDown();
  return 0;
}

// The floor at the game's pace under a real display: the recorded blits of
// the opening, replayed at 60 frames a second until SDL_QUIT.
int pacedFloor() {
  createNodes();
  if (!initVideo() || loadSheets()) return 1;
  std::vector<FrameBlits> recorded(recordedFloorFrames);
  restartOpening();
  for (FrameBlits& frame : recorded) {
    recordBlitsInto(&frame);
    runFrame();
  }
  recordBlitsInto(nullptr);
  std::printf("ready\n");
  std::fflush(stdout);
  SDL_Event event;
  for (int f = 0;; f = (f + 1) % recordedFloorFrames) {
    while (SDL_PollEvent(&event))
      if (event.type == SDL_QUIT) return 0;
    replayBlits(recorded[f], screen);
    SDL_Flip(screen);
    paceFrame();
  }
}

// CPU seconds (user + system) of a process so far.
double cpuSeconds(pid_t pid) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
  FILE* file = std::fopen(path, "r");
  if (!file) return -1;
  char text[2048];
  const size_t n = std::fread(text, 1, sizeof text - 1, file);
  std::fclose(file);
  text[n] = '\0';
  // Fields after the command name's closing parenthesis; utime and stime
  // are the 14th and 15th fields of the line.
  const char* p = std::strrchr(text, ')');
  if (!p) return -1;
  unsigned long utime = 0, stime = 0;
  std::sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime, &stime);
  return double(utime + stime) / sysconf(_SC_CLK_TCK);
}

// Share of one core a process takes over the given seconds, once it has
// printed the ready line.
double measurePacedCpu(const std::vector<std::string>& args, const char* readyPrefix,
                       double seconds) {
  int output = -1;
  const pid_t pid = spawn(args, output);
  std::string line;
  double share = -1;
  if (waitForLine(output, readyPrefix, line)) {
    SDL_Delay(1000);  // past the first frames and the sheet loading
    const double cpuStart = cpuSeconds(pid), wallStart = nowSeconds();
    SDL_Delay(static_cast<Uint32>(seconds * 1000));
    share = (cpuSeconds(pid) - cpuStart) / (nowSeconds() - wallStart);
  }
  kill(pid, SIGINT);
  close(output);
  waitpid(pid, nullptr, 0);
  return share;
}

int cpuAtPace(const char* game, double seconds, int runs) {
  std::vector<double> gameShare, floorShare;
  for (int run = 0; run < runs; ++run) {
    gameShare.push_back(measurePacedCpu({game}, "Program Started", seconds));
    floorShare.push_back(measurePacedCpu({selfPath(), "--paced-floor"}, "ready", seconds));
  }
  const double g = median(gameShare), f = median(floorShare);
  std::printf(
      "| CPU at the 60 Hz pace (game / floor) | %.1f %% / %.1f %% of a core | ratio %.2f "
      "(target at most 1.10) |\n",
      g * 100, f * 100, g / f);
  return 0;
}
}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "The game's speed figures, each the median of several runs; run it in the folder that "
      "holds the data files. Without --cpu, the headless table (dummy video)."};
  int runs = 5;
  double seconds = 10;
  std::string game;
  bool asStartupChild = false, asPacedFloor = false;
  app.add_option("--runs", runs, "runs of each figure")
      ->capture_default_str()
      ->check(CLI::Range(1, 1000));
  app.add_option("--cpu", game, "GAME: the CPU the game takes at its pace, under a real display")
      ->check(CLI::ExistingFile);
  app.add_option("--seconds", seconds, "seconds of each --cpu run")
      ->capture_default_str()
      ->check(CLI::Range(1.0, 3600.0));
  // Its own helpers, started by the figures above.
  app.add_flag("--startup-child", asStartupChild)->group("");
  app.add_flag("--paced-floor", asPacedFloor)->group("");
  CLI11_PARSE(app, argc, argv);
  if (asStartupChild) return startupChild();
  if (asPacedFloor) return pacedFloor();
  if (!game.empty()) return cpuAtPace(game.c_str(), seconds, runs);

  const double startup = measureStartup(runs);
  startHeadless();
  const HeadlessFigures h = measureHeadless(runs);
  std::printf("| figure | median of %d runs | target |\n|---|---|---|\n", runs);
  std::printf("| full frame (first %d frames of the opening) | %.1f us | |\n", openingFrames,
              h.frameMicros);
  std::printf("| drawing floor (the same blits, replayed) | %.1f us | |\n", h.floorMicros);
  std::printf("| full frame / floor | %.3f | at most 1.10 |\n", h.frameMicros / h.floorMicros);
  std::printf("| rules alone (update and fuse ticks) | %.0f frames/s | at least 1,000,000 |\n",
              h.rulesFramesPerSecond);
  std::printf("| heap allocations per frame after the first | %.3f | 0 |\n", h.allocationsPerFrame);
  std::printf("| start-up to the first flipped frame | %.1f ms | |\n", startup);
  return 0;
}

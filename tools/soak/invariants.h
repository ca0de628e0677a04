// What must hold after every frame of a game, whatever the input was. The
// soak reads the state before a frame, runs the frame, and asks whether the
// state after it is one the rules allow.
#pragma once

#include <cstdint>

#include "board/node.h"

// The input the soak pushed for one frame, as far as the checks need it.
struct FrameInput {
  bool positional = false;  // a motion or button press was pushed
  int32_t lastX = 0;        // the position of the last of them
  int32_t lastY = 0;
  bool leftClick = false;  // a left-button press was pushed
  bool quit = false;       // Escape or the window's close request
  int soundToggles = 0;    // presses of S
  // A left press meant as a move: a node of the waiting human player.
  bool humanMove = false;
  int32_t moveColumn = 0;
  int32_t moveRow = 0;
};

// Frames a board may stay busy without a deal or an end of move between.
// A captured node fires one or two frames after its last capture, so while
// a cascade runs some node fires at least every second frame, and the
// countdown runs out ten frames after the last firing: F firings keep the
// board busy for at most 2 × F + 10 frames (a computer's pause of 2 before
// its move is covered, since its move fires in that same frame).
// With burnout, a node fires at most eight times between two burnout passes
// (the eighth firing burns it out, and a burnt node is neither captured nor
// back before the next pass, which runs only once the board has settled):
// F ≤ 8 × N². Without burnout, a move's cascade has one owner: every node it
// captures takes the mover's colour and can no longer be captured by it, so
// no node fires twice: F ≤ N². The opening deal fires two or four corners of
// different colours; the same bound is applied to it, and a longer opening
// is reported.
inline constexpr long busyFrameBound =
    2L * (revision::burnoutEnabled ? 8 : 1) * revision::nodeCount + 10;

class InvariantChecker {
 public:
  // Reads the state before a frame, once its input is pushed. Call right
  // before advanceGame().
  void beforeFrame(const FrameInput& input);
  // Checks the state after the frame against the state before it and the
  // input. Returns null when everything holds, otherwise a description of
  // the first broken rule (valid until the next call).
  const char* afterFrame(const FrameInput& input);

  // The number of players of the game on the board (2 or 4).
  int dealtPlayers() const { return dealtFourPlayers ? 4 : 2; }
  // Whether the frame just checked dealt a new game.
  bool dealtThisFrame() const { return dealDue; }
  // The longest busy stretch seen so far.
  long longestBusy() const { return longestBusyStretch; }

 private:
  const char* checkNodes();
  const char* checkDeal();
  const char* checkTurn();
  const char* checkInput(const FrameInput& input);

  // Before the frame.
  bool dealDue = false;
  bool fourPlayersBefore = false;
  int32_t settleBefore = 0;
  int32_t playerBefore = 0;
  int32_t moveCountBefore = 0;
  int32_t turnCountBefore = 0;
  int32_t winnerBefore = 0;
  bool soundBefore = false;
  int32_t countsBefore[playerIdCount] = {};
  int32_t moveDirectionBefore = 0;

  // Across frames.
  bool dealtFourPlayers = true;
  long busyStretch = 0;
  long longestBusyStretch = 0;
};

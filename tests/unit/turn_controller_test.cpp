// The turn controller: events, clicks and panel buttons, the end of a move,
// the rotation, the winner and New Game. Input goes through SDL's queue.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdarg>
#include <string>
#include <vector>

#include "app/shell.h"
#include "board/cascade.h"
#include "game/game_state.h"
#include "sound/sound.h"
#include "tests/unit/test_support.h"

using namespace revision;

namespace {
constexpr int endX = boardOriginX + cellSize * boardSize;  // first x past the board
constexpr int endY = boardOriginY + cellSize * boardSize;

void fill(PlayerId owner, Direction direction) {
  for (int c = 0; c < boardSize; ++c)
    for (int r = 0; r < boardSize; ++r) {
      board[c][r]->owner = owner;
      board[c][r]->direction = direction;
    }
}

// Blue holds the left half, Red the right half.
void halves(Direction left, Direction right) {
  for (int c = 0; c < boardSize; ++c)
    for (int r = 0; r < boardSize; ++r) {
      board[c][r]->owner = c < halfBoard ? Blue : Red;
      board[c][r]->direction = c < halfBoard ? left : right;
    }
}

// An idle board, four human seats, Blue to move, the first game already
// dealt and no events waiting.
GameState& humanGame(PlayerId owner = Nobody, Direction direction = North) {
  openTestScreen();
  resetGame();
  fill(owner, direction);
  gameState->firstDealDone = true;
  gameState->currentPlayer = Blue;
  for (Seat& seat : gameState->seats) seat.computer = false;
  SDL_Event stale;
  while (SDL_PollEvent(&stale)) {
  }
  return *gameState;
}

void push(Uint8 type, int x = 0, int y = 0, int detail = SDL_BUTTON_LEFT) {
  SDL_Event e{};
  e.type = type;
  if (type == SDL_MOUSEBUTTONDOWN) {
    e.button = SDL_MouseButtonEvent{type,
                                    0,
                                    static_cast<Uint8>(detail),
                                    SDL_PRESSED,
                                    static_cast<Uint16>(x),
                                    static_cast<Uint16>(y)};
  } else if (type == SDL_MOUSEMOTION) {
    e.motion.x = static_cast<Uint16>(x);
    e.motion.y = static_cast<Uint16>(y);
  } else if (type == SDL_KEYDOWN || type == SDL_KEYUP) {
    e.key.keysym.sym = static_cast<SDLKey>(detail);
  }
  ASSERT_EQ(SDL_PushEvent(&e), 0);
}
void click(int x, int y) { push(SDL_MOUSEBUTTONDOWN, x, y); }

// One frame of the game (update, then the fuse ticks) and what it printed.
std::string frame() {
  testing::internal::CaptureStdout();
  advanceGame();
  return testing::internal::GetCapturedStdout();
}

// Diagnostic lines as the builds that print them print them.
std::string said(const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return diagnosticsEnabled ? text : "";
}

// The cells whose node no longer points North, as column * 100 + row.
std::vector<int> turnedCells() {
  std::vector<int> cells;
  for (int c = 0; c < boardSize; ++c)
    for (int r = 0; r < boardSize; ++r)
      if (board[c][r]->direction != North) cells.push_back(c * 100 + r);
  return cells;
}
}  // namespace

TEST(Clicks, TheBoardBoundsAreStrictAndMapToCells) {
  const int last = lastIndex;
  const struct {
    int x, y, cell;  // -1: misses the board
  } cases[] = {{boardOriginX, boardOriginY + 1, -1},
               {boardOriginX + 1, boardOriginY, -1},
               {boardOriginX + 1, boardOriginY + 1, 0},
               {boardOriginX + 24, boardOriginY + 23, 100},
               {endX - 1, endY - 1, last * 100 + last},
               {endX, endY - 1, -1},
               {endX - 1, endY, -1}};
  for (const auto& k : cases) {
    humanGame(Blue);
    click(k.x, k.y);
    const std::string screenLine = said("mouse clicked on screen %d %d\n", k.x, k.y);
    if (k.cell < 0) {
      EXPECT_EQ(frame(), screenLine);
      EXPECT_TRUE(turnedCells().empty());
      EXPECT_EQ(settleCountdown, -1);
    } else {
      EXPECT_EQ(frame(),
                screenLine + said("mouse clicked on grid %d %d\n", k.cell / 100, k.cell % 100));
      EXPECT_EQ(turnedCells(), std::vector<int>{k.cell}) << k.x << "," << k.y;
      EXPECT_EQ(settleCountdown, 10);
    }
  }
}

TEST(Clicks, OnlyTheCurrentPlayersNodeMovesOnAnIdleUndecidedBoard) {
  const int x = boardOriginX + 24 * 4 + 5, y = boardOriginY + 24 * 6 + 5;  // cell (4, 6)
  const std::string both =
      said("mouse clicked on screen %d %d\n", x, y) + said("mouse clicked on grid 4 6\n");
  const std::string screenOnly = said("mouse clicked on screen %d %d\n", x, y);
  for (PlayerId owner : {Red, Nobody}) {
    humanGame(owner);
    click(x, y);
    EXPECT_EQ(frame(), both);
  }
  humanGame(Blue);
  settleCountdown = 1;  // still busy after this frame's countdown
  click(x, y);
  EXPECT_EQ(frame(), screenOnly);
  humanGame(Blue);
  winner = Blue;
  click(x, y);
  EXPECT_EQ(frame(), screenOnly);
  EXPECT_TRUE(turnedCells().empty());

  // The frame in which Blue's move ends already takes Red's click.
  GameState& g = humanGame(Blue);
  board[4][6]->owner = Red;
  settleCountdown = 0;
  click(x, y);
  frame();
  EXPECT_EQ(g.currentPlayer, Red);
  EXPECT_EQ(turnedCells(), std::vector<int>{406});
}

TEST(Clicks, ButtonEdgesCountAndTheGapBetweenButtonsDoesNot) {
  GameState& g = humanGame();
  click(10, 211);  // between button 0 (y 192..210) and button 1 (212..230)
  EXPECT_EQ(frame(), said("mouse clicked on screen 10 211\n"));
  click(9, 192);
  frame();
  EXPECT_FALSE(g.pendingFourPlayers);
  EXPECT_EQ(g.pendingTurnSense, +1);

  click(190, 210);  // button 0's far corner
  EXPECT_EQ(frame(), said("mouse clicked on screen 190 210\nmouse clicked in button 190 210\n"));
  EXPECT_TRUE(g.pendingFourPlayers);
  click(10, 212);
  frame();
  EXPECT_EQ(g.pendingTurnSense, -1);
  click(100, 370);  // yellow's seat type
  frame();
  EXPECT_FALSE(g.seats[3].pendingComputer);
  // Strength steps NORMAL, TOUGH, NORMAL, TOUGH; from EASY it goes to NORMAL.
  for (int expected : {AiTough, AiNormal, AiTough}) {
    click(10, 255);
    frame();
    EXPECT_EQ(g.seats[0].pendingAiMode, expected);
  }
  g.seats[1].pendingAiMode = AiEasy;
  click(10, 298);
  frame();
  EXPECT_EQ(g.seats[1].pendingAiMode, AiNormal);
  // None of it touches the game being played.
  EXPECT_TRUE(g.fourPlayers && !g.newGameRequested && g.seats[3].aiMode == AiTough);
  EXPECT_EQ(g.turnSense, -1);
}

TEST(Clicks, SeveralPressesInOneFrameAreOneClickWhereThePointerEnds) {
  GameState& g = humanGame(Blue);
  click(10, 200);                                        // button 0
  click(boardOriginX + 1, boardOriginY + 1);             // the board
  push(SDL_MOUSEBUTTONDOWN, 10, 220, SDL_BUTTON_RIGHT);  // button 1, not a left press
  push(SDL_MOUSEMOTION, 10, 240);                        // blue's seat type
  EXPECT_EQ(frame(), said("mouse clicked on screen 10 240\nmouse clicked in button 10 240\n"));
  EXPECT_TRUE(g.seats[0].pendingComputer);
  EXPECT_FALSE(g.pendingFourPlayers);
  EXPECT_EQ(g.pendingTurnSense, +1);
  EXPECT_TRUE(turnedCells().empty());

  push(SDL_MOUSEBUTTONDOWN, 10, 200, SDL_BUTTON_RIGHT);  // other buttons only move the pointer
  push(SDL_MOUSEBUTTONDOWN, 10, 200, 4);
  EXPECT_EQ(frame(), "");
  EXPECT_FALSE(g.pendingFourPlayers);
  EXPECT_EQ(g.mouseX * 1000 + g.mouseY, 10200);
}

TEST(Keys, EscapeSAndTheCloseRequestActOtherKeysDoNothing) {
  humanGame();
  const bool sound = soundOn;
  push(SDL_KEYDOWN, 0, 0, SDLK_a);
  push(SDL_KEYUP, 0, 0, SDLK_ESCAPE);
  push(SDL_KEYUP, 0, 0, SDLK_s);
  frame();
  EXPECT_FALSE(quitRequested);
  EXPECT_EQ(soundOn, sound);
  push(SDL_KEYDOWN, 0, 0, SDLK_s);
  frame();
  EXPECT_EQ(soundOn, !sound);
  push(SDL_KEYDOWN, 0, 0, SDLK_s);
  push(SDL_KEYDOWN, 0, 0, SDLK_ESCAPE);
  frame();
  EXPECT_EQ(soundOn, sound);
  EXPECT_TRUE(quitRequested);
  humanGame();
  push(SDL_QUIT);
  frame();
  EXPECT_TRUE(quitRequested);
}

TEST(Rotation, TheRoundEndsOnNobodyOrWrapsStraightToBlue) {
  GameState& g = humanGame();
  for (PlayerId p = Blue; p <= Yellow; ++p) board[p][p]->owner = p;
  g.currentPlayer = Yellow;
  settleCountdown = 0;
  frame();
  EXPECT_EQ(g.moveCount * 10 + g.turnCount, 11);
  EXPECT_EQ(g.nodeCounts[Nobody], nodeCount - 4);
  if (burnoutEnabled) {
    // Two frames on nobody (the burnout pass set 2) in which no click acts.
    EXPECT_EQ(g.currentPlayer, Nobody);
    EXPECT_EQ(settleCountdown, 1);
    click(boardOriginX + 24 + 1, boardOriginY + 24 + 1);  // Blue's node
    frame();
    EXPECT_EQ(g.currentPlayer, Nobody);
    frame();
    EXPECT_EQ(g.moveCount, 2);
  }
  EXPECT_EQ(g.currentPlayer, Blue);
  EXPECT_EQ(settleCountdown, -1);
  EXPECT_EQ(g.turnCount, 1);
  EXPECT_TRUE(turnedCells().empty());
  // A player without nodes is passed over.
  board[Red][Red]->owner = Nobody;
  settleCountdown = 0;
  frame();
  EXPECT_EQ(g.currentPlayer, Green);
}

TEST(Rotation, AWrapWithoutNeutralNodesSkipsOrMovesTheComputer) {
  // Blue's best move is (half - 1, 0) turning East onto Red's (half, 0).
  GameState& g = humanGame();
  halves(North, North);
  g.fourPlayers = false;
  g.seats[0].computer = true;
  g.currentPlayer = Red;
  settleCountdown = 0;
  EXPECT_EQ(frame(), "");
  EXPECT_EQ(g.currentPlayer, Blue);  // the rotation passed over nobody
  EXPECT_EQ(g.turnCount, 1);
  if (burnoutEnabled) {
    // The computer is not asked in a wrap frame: Blue's turn runs out.
    EXPECT_TRUE(turnedCells().empty());
    frame();
    frame();
    EXPECT_EQ(g.currentPlayer, Red);
    EXPECT_EQ(g.moveCount, 2);
  } else {
    EXPECT_EQ(turnedCells(), std::vector<int>{(halfBoard - 1) * 100});
    EXPECT_EQ(board[halfBoard][0]->owner, Blue);
    EXPECT_EQ(settleCountdown, 9);
  }
}

TEST(Rotation, AComputerWithoutAMoveHandsOnTwoFramesLater) {
  // Every node on the border already points at the other side.
  GameState& g = humanGame();
  halves(East, West);
  g.fourPlayers = false;
  for (Seat& seat : g.seats) seat.computer = true;
  g.seats[1].aiMode = AiNormal;
  g.currentPlayer = Nobody;  // the round boundary; Blue is next
  settleCountdown = 0;
  EXPECT_EQ(frame(), said("could not find move!!!\n"));
  EXPECT_EQ(g.currentPlayer, Blue);
  EXPECT_EQ(frame(), "");
  EXPECT_EQ(settleCountdown, 0);
  EXPECT_EQ(frame(), said("Player 2 didn't take a turn!!!\n"));
  EXPECT_EQ(g.currentPlayer, Red);
  EXPECT_EQ(countNodes(Blue), nodeCount / 2);
}

TEST(Rotation, TheWinnerStaysAndIsNeverAskedToMove) {
  GameState& g = humanGame();
  board[5][5]->owner = Blue;  // one turn from the neutral (6, 5)
  for (Seat& seat : g.seats) seat.computer = true;
  g.currentPlayer = Yellow;
  settleCountdown = 0;
  for (int i = 0; i < 6; ++i) frame();
  EXPECT_EQ(winner, Blue);
  EXPECT_EQ(g.currentPlayer, Blue);  // the rotation went on
  EXPECT_TRUE(turnedCells().empty());
  board[5][5]->owner = Nobody;  // no live player: the winner stays
  settleCountdown = 0;
  frame();
  EXPECT_EQ(winner, Blue);
}

TEST(Rotation, ABrokenBoardCannotHangTheRotation) {
  // Only Green owns nodes in a two-player game: no PlayerId of the rotation
  // owns anything, yet the update returns within one cycle.
  GameState& g = humanGame(Green);
  g.fourPlayers = false;
  settleCountdown = 0;
  frame();
  EXPECT_TRUE(g.currentPlayer >= 0 && g.currentPlayer <= 2);
}

TEST(NewGame, PressedMidCascadeItAppliesAtOnceAndDealsNextFrame) {
  GameState& g = humanGame(Nobody, East);
  board[0][5]->owner = Blue;  // a cascade running east along row 5
  board[0][5]->fuse = 0;
  settleCountdown = 10;
  g.moveCount = 7;
  click(20, 410);  // the New Game button's corner
  frame();
  EXPECT_TRUE(g.newGameRequested);
  EXPECT_FALSE(g.fourPlayers);
  EXPECT_EQ(g.turnSense, +1);
  EXPECT_TRUE(!g.seats[0].computer && g.seats[1].computer && g.seats[1].aiMode == AiNormal);
  EXPECT_EQ(g.moveCount, 7);            // the old game stands until the deal,
  EXPECT_EQ(board[1][5]->owner, Blue);  // and its cascade ran this frame's ticks
  EXPECT_EQ(board[1][5]->fuse, 0);
  frame();
  EXPECT_FALSE(g.newGameRequested);
  EXPECT_EQ(board[1][5]->fuse, -1);
  EXPECT_EQ(board[2][5]->owner, Nobody);
  EXPECT_EQ(g.nodeCounts[Green] + g.nodeCounts[Yellow], 0);
  EXPECT_EQ(g.moveCount, 0);
  EXPECT_EQ(settleCountdown, 9);
}

// The turn controller: events, clicks and panel buttons, the end of a move,
// the rotation, the winner and New Game. Input goes through SDL's queue.
#include <SDL.h>
#include <gtest/gtest.h>

#include <string>

#include "app/shell.h"
#include "board/cascade.h"
#include "game/game_state.h"
#include "sound/sound.h"
#include "tests/unit/test_support.h"

using namespace revision;

namespace {
constexpr int last = lastIndex;
constexpr int boardEndX = boardOriginX + cellSize * boardSize;  // first x past the board
constexpr int boardEndY = boardOriginY + cellSize * boardSize;

// An idle board of neutral East-pointing nodes, four human seats, Blue to
// move, the first game already dealt, and an empty event queue.
void humanGame() {
  openTestScreen();
  resetGame();
  gameState->firstDealDone = true;
  gameState->currentPlayer = Blue;
  for (Seat& seat : gameState->seats) seat.computer = false;
  SDL_Event stale;
  while (SDL_PollEvent(&stale)) {
  }
}

void fill(PlayerId owner, Direction direction) {
  for (int c = 0; c < boardSize; ++c)
    for (int r = 0; r < boardSize; ++r) {
      board[c][r]->owner = owner;
      board[c][r]->direction = direction;
    }
}

void push(SDL_Event event) { ASSERT_EQ(SDL_PushEvent(&event), 0); }
void press(int x, int y, Uint8 button = SDL_BUTTON_LEFT) {
  SDL_Event e{};
  e.type = SDL_MOUSEBUTTONDOWN;
  e.button.button = button;
  e.button.state = SDL_PRESSED;
  e.button.x = static_cast<Uint16>(x);
  e.button.y = static_cast<Uint16>(y);
  push(e);
}
void motion(int x, int y) {
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.x = static_cast<Uint16>(x);
  e.motion.y = static_cast<Uint16>(y);
  push(e);
}
void key(SDLKey sym, bool down = true) {
  SDL_Event e{};
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.keysym.sym = sym;
  push(e);
}

// One frame of the game (update, then the fuse ticks) and what it printed.
std::string frame() {
  testing::internal::CaptureStdout();
  advanceGame();
  return testing::internal::GetCapturedStdout();
}

// The diagnostic lines a click prints in builds that print them.
std::string said(const std::string& lines) { return diagnosticsEnabled ? lines : ""; }
std::string screenLine(int x, int y) {
  return "mouse clicked on screen " + std::to_string(x) + " " + std::to_string(y) + "\n";
}
std::string gridLine(int c, int r) {
  return "mouse clicked on grid " + std::to_string(c) + " " + std::to_string(r) + "\n";
}
std::string buttonLine(int x, int y) {
  return "mouse clicked in button " + std::to_string(x) + " " + std::to_string(y) + "\n";
}

// The cells whose node has turned away from North, as column * 100 + row.
std::vector<int> turnedCells() {
  std::vector<int> cells;
  for (int c = 0; c < boardSize; ++c)
    for (int r = 0; r < boardSize; ++r)
      if (board[c][r]->direction != North) cells.push_back(c * 100 + r);
  return cells;
}
}  // namespace

TEST(Clicks, TheBoardBoundsAreStrictAndMapToCells) {
  struct Case {
    int x, y, cell;  // cell -1: misses the board
  } cases[] = {
      {boardOriginX, boardOriginY + 1, -1},
      {boardOriginX + 1, boardOriginY, -1},
      {boardOriginX + 1, boardOriginY + 1, 0},
      {boardOriginX + 24, boardOriginY + 23, 100},
      {boardEndX - 1, boardEndY - 1, last * 100 + last},
      {boardEndX, boardEndY - 1, -1},
      {boardEndX - 1, boardEndY, -1},
  };
  for (const Case& k : cases) {
    humanGame();
    fill(Blue, North);
    press(k.x, k.y);
    const std::string out = frame();
    if (k.cell < 0) {
      EXPECT_EQ(out, said(screenLine(k.x, k.y)));
      EXPECT_TRUE(turnedCells().empty());
      EXPECT_EQ(settleCountdown, -1);
    } else {
      EXPECT_EQ(out, said(screenLine(k.x, k.y) + gridLine(k.cell / 100, k.cell % 100)));
      EXPECT_EQ(turnedCells(), std::vector<int>{k.cell}) << k.x << "," << k.y;
      EXPECT_EQ(settleCountdown, 10);
    }
  }
  if (boardSize == 24) {  // the game's own numbers
    EXPECT_EQ(boardOriginX + 1, 213);
    EXPECT_EQ(boardEndX - 1, 787);
  }
}

TEST(Clicks, OnlyTheCurrentPlayersNodeMovesOnAnIdleUndecidedBoard) {
  const int x = boardOriginX + 24 * 4 + 5, y = boardOriginY + 24 * 6 + 5;  // cell (4, 6)
  for (PlayerId owner : {Red, Nobody}) {
    humanGame();
    fill(owner, North);
    press(x, y);
    EXPECT_EQ(frame(), said(screenLine(x, y) + gridLine(4, 6)));
    EXPECT_TRUE(turnedCells().empty());
  }
  // Busy, even in the frame that counts down to 0: only the screen line.
  humanGame();
  fill(Blue, North);
  settleCountdown = 1;
  press(x, y);
  EXPECT_EQ(frame(), said(screenLine(x, y)));
  EXPECT_TRUE(turnedCells().empty());
  // Won: the board no longer answers.
  humanGame();
  fill(Blue, North);
  winner = Blue;
  press(x, y);
  EXPECT_EQ(frame(), said(screenLine(x, y)));
  EXPECT_TRUE(turnedCells().empty());
  // The frame in which Blue's move ends already takes Red's click.
  humanGame();
  fill(Blue, North);
  board[4][6]->owner = Red;
  settleCountdown = 0;
  press(x, y);
  frame();
  EXPECT_EQ(gameState->currentPlayer, Red);
  EXPECT_EQ(turnedCells(), std::vector<int>{406});
}

TEST(Clicks, ButtonEdgesCountAndTheGapBetweenButtonsDoesNot) {
  humanGame();
  GameState& g = *gameState;
  press(10, 211);  // between button 0 (y 192..210) and button 1 (212..230)
  EXPECT_EQ(frame(), said(screenLine(10, 211)));
  press(9, 192);
  frame();
  EXPECT_FALSE(g.pendingFourPlayers);
  EXPECT_EQ(g.pendingTurnSense, +1);

  press(190, 210);  // button 0's far corner
  EXPECT_EQ(frame(), said(screenLine(190, 210) + buttonLine(190, 210)));
  EXPECT_TRUE(g.pendingFourPlayers);
  press(10, 212);
  frame();
  EXPECT_EQ(g.pendingTurnSense, -1);
  press(100, 370);  // yellow's seat type
  frame();
  EXPECT_FALSE(g.seats[3].pendingComputer);

  // Strength steps NORMAL, TOUGH, NORMAL; from EASY it goes to NORMAL too.
  const int expected[] = {AiTough, AiNormal, AiTough};
  for (int step : expected) {
    press(10, 255);
    frame();
    EXPECT_EQ(g.seats[0].pendingAiMode, step);
  }
  g.seats[1].pendingAiMode = AiEasy;
  press(10, 298);
  frame();
  EXPECT_EQ(g.seats[1].pendingAiMode, AiNormal);

  // None of it touches the game being played.
  EXPECT_TRUE(g.fourPlayers);
  EXPECT_EQ(g.turnSense, -1);
  EXPECT_TRUE(g.seats[3].computer == false && g.seats[0].aiMode == AiTough);
  EXPECT_FALSE(g.newGameRequested);
}

TEST(Clicks, SeveralPressesInOneFrameAreOneClickWhereThePointerEnds) {
  humanGame();
  GameState& g = *gameState;
  press(10, 200);                             // button 0
  press(boardOriginX + 1, boardOriginY + 1);  // the board
  press(10, 220, SDL_BUTTON_RIGHT);           // button 1, but not a left press
  motion(10, 240);                            // blue's seat type
  EXPECT_EQ(frame(), said(screenLine(10, 240) + buttonLine(10, 240)));
  EXPECT_TRUE(g.seats[0].pendingComputer);
  EXPECT_FALSE(g.pendingFourPlayers);
  EXPECT_EQ(g.pendingTurnSense, +1);

  press(10, 200, SDL_BUTTON_RIGHT);  // other buttons only move the pointer
  press(10, 200, 4);
  EXPECT_EQ(frame(), "");
  EXPECT_FALSE(g.pendingFourPlayers);
  EXPECT_EQ(g.mouseX * 1000 + g.mouseY, 10200);
}

TEST(Keys, EscapeSAndTheCloseRequestActOtherKeysDoNothing) {
  humanGame();
  const bool sound = soundOn;
  key(SDLK_a);
  key(SDLK_ESCAPE, false);
  key(SDLK_s, false);
  frame();
  EXPECT_FALSE(quitRequested);
  EXPECT_EQ(soundOn, sound);
  key(SDLK_s);
  frame();
  EXPECT_EQ(soundOn, !sound);
  key(SDLK_s);
  key(SDLK_ESCAPE);
  frame();
  EXPECT_EQ(soundOn, sound);
  EXPECT_TRUE(quitRequested);

  humanGame();
  SDL_Event close{};
  close.type = SDL_QUIT;
  push(close);
  frame();
  EXPECT_TRUE(quitRequested);
}

TEST(Rotation, TheRoundEndsOnNobodyOrWrapsStraightToBlue) {
  humanGame();
  board[1][1]->owner = Blue;
  board[2][2]->owner = Red;
  board[3][3]->owner = Green;
  board[4][4]->owner = Yellow;
  GameState& g = *gameState;
  g.currentPlayer = Yellow;
  settleCountdown = 0;
  frame();
  EXPECT_EQ(g.moveCount, 1);
  EXPECT_EQ(g.turnCount, 1);
  EXPECT_EQ(g.nodeCounts[Nobody], nodeCount - 4);
  if (burnoutEnabled) {
    // Two frames on nobody (the burnout pass set 2), then Blue.
    EXPECT_EQ(g.currentPlayer, Nobody);
    EXPECT_EQ(settleCountdown, 1);
    press(boardOriginX + 24 + 1, boardOriginY + 24 + 1);  // Blue's node: no click acts
    frame();
    EXPECT_EQ(g.currentPlayer, Nobody);
    EXPECT_EQ(board[1][1]->direction, East);
    frame();
    EXPECT_EQ(g.moveCount, 2);
  }
  EXPECT_EQ(g.currentPlayer, Blue);
  EXPECT_EQ(settleCountdown, -1);
  EXPECT_EQ(g.turnCount, 1);

  // A player without nodes is passed over.
  board[2][2]->owner = Nobody;
  settleCountdown = 0;
  frame();
  EXPECT_EQ(g.currentPlayer, Green);
}

TEST(Rotation, AWrapWithoutNeutralNodesSkipsOrMovesTheComputer) {
  // Blue holds the left half and Red the right half, all pointing North;
  // Blue's best move is (half - 1, 0) turning East onto Red's (half, 0).
  humanGame();
  for (int c = 0; c < boardSize; ++c)
    for (int r = 0; r < boardSize; ++r) {
      board[c][r]->owner = c < halfBoard ? Blue : Red;
      board[c][r]->direction = North;
    }
  GameState& g = *gameState;
  g.fourPlayers = false;
  g.seats[0].computer = true;
  g.currentPlayer = Red;
  settleCountdown = 0;
  const std::string out = frame();
  EXPECT_EQ(g.currentPlayer, Blue);
  EXPECT_EQ(g.turnCount, 1);
  if (burnoutEnabled) {
    // Nobody owns nothing, so the rotation passes over it; but the computer
    // is not asked in a wrap frame, and Blue's turn just runs out.
    EXPECT_TRUE(turnedCells().empty());
    EXPECT_EQ(settleCountdown, 1);
    frame();
    frame();
    EXPECT_EQ(g.currentPlayer, Red);
    EXPECT_EQ(g.moveCount, 2);
  } else {
    EXPECT_EQ(turnedCells(), std::vector<int>{(halfBoard - 1) * 100});
    EXPECT_EQ(board[halfBoard][0]->owner, Blue);
    EXPECT_EQ(settleCountdown, 9);
  }
  EXPECT_EQ(out, "");
}

TEST(Rotation, AComputerWithoutAMoveHandsOnTwoFramesLater) {
  // Blue's nodes next to Red's already point at them, and so do Red's at
  // Blue's: neither side has a node to turn.
  humanGame();
  for (int c = 0; c < boardSize; ++c)
    for (int r = 0; r < boardSize; ++r) {
      board[c][r]->owner = c < halfBoard ? Blue : Red;
      board[c][r]->direction = c < halfBoard ? East : West;
    }
  GameState& g = *gameState;
  g.fourPlayers = false;
  for (Seat& seat : g.seats) seat.computer = true;
  g.currentPlayer = Nobody;  // the round boundary; Blue is next
  settleCountdown = 0;
  EXPECT_EQ(frame(), said("could not find move!!!\n"));
  EXPECT_EQ(g.currentPlayer, Blue);
  EXPECT_EQ(settleCountdown, 1);
  EXPECT_EQ(frame(), "");
  EXPECT_EQ(settleCountdown, 0);
  g.seats[1].aiMode = AiNormal;
  EXPECT_EQ(frame(), said("Player 2 didn't take a turn!!!\n"));
  EXPECT_EQ(g.currentPlayer, Red);
  EXPECT_EQ(g.moveCount, 2);
  EXPECT_EQ(countNodes(Blue), nodeCount / 2);
}

TEST(Rotation, TheWinnerStaysAndIsNeverAskedToMove) {
  humanGame();
  fill(Nobody, North);
  board[5][5]->owner = Blue;  // one turn from the neutral (6, 5)
  GameState& g = *gameState;
  for (Seat& seat : g.seats) seat.computer = true;
  g.currentPlayer = Yellow;
  settleCountdown = 0;
  for (int i = 0; i < 6; ++i) frame();
  EXPECT_EQ(winner, Blue);
  EXPECT_EQ(g.currentPlayer, Blue);  // the rotation went on
  EXPECT_TRUE(turnedCells().empty());

  // Blue loses its node: no live player, the winner stays.
  board[5][5]->owner = Nobody;
  settleCountdown = 0;
  frame();
  EXPECT_EQ(winner, Blue);
}

TEST(Rotation, ABrokenBoardCannotHangTheRotation) {
  // Only Green owns nodes in a two-player game: no PlayerId of the rotation
  // owns anything, yet the update returns within one cycle.
  humanGame();
  fill(Green, North);
  gameState->fourPlayers = false;
  settleCountdown = 0;
  frame();
  EXPECT_GE(gameState->currentPlayer, 0);
  EXPECT_LE(gameState->currentPlayer, 2);
}

TEST(NewGame, PressedMidCascadeItAppliesAtOnceAndDealsNextFrame) {
  humanGame();
  GameState& g = *gameState;
  board[0][5]->owner = Blue;  // a cascade running east along row 5
  board[0][5]->fuse = 0;
  settleCountdown = 10;
  g.moveCount = 7;
  press(20, 410);  // the New Game button's corner
  frame();
  EXPECT_TRUE(g.newGameRequested);
  EXPECT_FALSE(g.fourPlayers);
  EXPECT_EQ(g.turnSense, +1);
  EXPECT_FALSE(g.seats[0].computer);
  EXPECT_TRUE(g.seats[1].computer);
  EXPECT_EQ(g.seats[1].aiMode, AiNormal);
  EXPECT_EQ(g.moveCount, 7);            // the old game stands until the deal
  EXPECT_EQ(board[1][5]->owner, Blue);  // and its cascade ran this frame's ticks
  EXPECT_EQ(board[1][5]->fuse, 0);

  frame();
  EXPECT_FALSE(g.newGameRequested);
  EXPECT_EQ(board[1][5]->fuse, -1);
  EXPECT_EQ(board[2][5]->owner, Nobody);
  EXPECT_EQ(board[0][0]->owner, Blue);
  EXPECT_EQ(g.nodeCounts[Green] + g.nodeCounts[Yellow], 0);
  EXPECT_EQ(g.moveCount, 0);
  EXPECT_EQ(settleCountdown, 9);
}

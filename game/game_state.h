// The one record of game control: whose turn it is, the active settings of
// the game being played, the pending settings on the panel, the panel's
// buttons, the counters and the last mouse position.
#pragma once

#include <cstdint>

#include "board/node.h"

// Computer strengths.
enum : int32_t { AiEasy = 0, AiNormal = 1, AiTough = 2 };

struct Seat {
  int32_t aiMode;         // active strength
  int32_t pendingAiMode;  // strength chosen on the panel
  bool computer;          // active: the computer plays this colour
  bool pendingComputer;   // chosen on the panel
};

// A clickable rectangle; all four edges count as inside.
struct PanelButton {
  int32_t x, y, width, height;
  bool contains(int32_t px, int32_t py) const {
    return x <= px && px <= x + width && y <= py && py <= y + height;
  }
};

enum PanelButtonId : int {
  ButtonPlayers,
  ButtonDirection,
  ButtonSeat1Type,
  ButtonSeat1Strength,
  ButtonSeat2Type,
  ButtonSeat2Strength,
  ButtonSeat3Type,
  ButtonSeat3Strength,
  ButtonSeat4Type,
  ButtonSeat4Strength,
  ButtonNewGame,
  panelButtonCount
};

// Before the first mouse event the pointer is parked off the window.
inline constexpr int32_t mouseUnknown = -1000;

struct GameState {
  int32_t currentPlayer;
  int32_t turnSense;  // active: +1 counter-clockwise, -1 clockwise
  int32_t pendingTurnSense;
  bool newGameRequested;
  PanelButton buttons[panelButtonCount];
  int32_t nodeCounts[playerIdCount];
  int32_t moveCount;
  int32_t turnCount;
  int32_t mouseX;
  int32_t mouseY;
  bool fourPlayers;  // active player count
  bool pendingFourPlayers;
  Seat seats[4];            // index = PlayerId - 1
  uint32_t lastFrameTicks;  // when the panel last measured the frame rate
  bool firstDealDone;

  GameState();

  // Once per frame: events, deals, end of move, rotation, computer moves,
  // the burnout pass, clicks (game/turn_controller.cpp).
  void update();
  // Deals a fresh game on the existing board (board/deal.cpp).
  void newGame();
  // The move of a computer seat (ai/computer_player.cpp).
  void takeComputerTurn(PlayerId player, int32_t aiMode);
  // The status panel and the pointer (render/panel.cpp).
  void drawPanel();

  // Whether a click on the node at (column, row) plays it now: the board
  // at rest, no winner, the node the mover's and not burnt. The round
  // boundary, which also refuses a click, is the click step's own.
  bool playable(int column, int row) const;

  // The last seat of the active player count.
  int32_t lastSeat() const { return fourPlayers ? 4 : 2; }
  // New Game: copy every pending setting into the active one.
  void applyPendingSettings();
};

// The board cell under a screen point; false off the board (all four bounds
// strict), which a click there does not reach.
bool cellAtPoint(int32_t x, int32_t y, int& column, int& row);
// The screen point a click on the cell lands on: the cell's centre. What
// enters a move as (column, row) at the click step (web/online/).
void cellClickPoint(int column, int row, int32_t& x, int32_t& y);

// Created with new during static initialisation, before main; never deleted.
extern GameState* gameState;

// A game as the program starts one, but from a chosen seed, for the tools and
// tests that replay games: a fresh GameState, the generator seeded after it
// (the constructor seeds from the clock), the board busy for the
// constructor's four frames, no winner and no quit. The first update deals.
void startSeededGame(uint32_t seed);

// The winner's PlayerId, 0 while the game is undecided.
extern int32_t winner;

// Set by Escape or the window's close request; the frame loop, which the
// application shell runs and defines this for, stops when it is set.
extern bool quitRequested;

// The turn controller, driven through SDL's event queue as a player would:
// clicks on the board and the panel, the end of a move, the rotation, the
// winner and New Game. (Keys: the sound test presses S, the window test
// Escape and the close request.)
#include <gtest/gtest.h>

#include <vector>

#include "board/cascade.h"
#include "render/sheet_layout.h"
#include "tests/unit/support.h"

using namespace revision;

namespace {
constexpr int endX = boardOriginX + cellSize * boardSize;  // first x past the board
constexpr int endY = boardOriginY + cellSize * boardSize;

// The cells whose node no longer points North, as column * 100 + row.
std::vector<int> turnedCells() {
  std::vector<int> cells;
  forEachNode([&](const Node& n) {
    if (n.direction != North) cells.push_back(n.column * 100 + n.row);
  });
  return cells;
}

GameState& humanGame(PlayerId owner = Nobody) {
  GameState& g = resetGame();
  fillBoard(owner, North);
  return g;
}
}  // namespace

TEST(Clicks, BoardBoundsAreStrictOnAllFourEdgesAndOnlyAnIdleTurnMoves) {
  const struct {
    int x, y, cell;  // -1: misses the board
  } cases[] = {{boardOriginX, boardOriginY + 1, -1},
               {boardOriginX + 1, boardOriginY, -1},
               {boardOriginX + 1, boardOriginY + 1, 0},
               {boardOriginX + 24, boardOriginY + 23, 100},
               {endX - 1, endY - 1, lastIndex * 100 + lastIndex},
               {endX, endY - 1, -1},
               {endX - 1, endY, -1}};
  for (const auto& k : cases) {
    humanGame(Blue);
    click(k.x, k.y);
    std::string expected = said("mouse clicked on screen %d %d\n", k.x, k.y);
    if (k.cell >= 0) expected += said("mouse clicked on grid %d %d\n", k.cell / 100, k.cell % 100);
    EXPECT_EQ(frame(), expected);
    EXPECT_EQ(turnedCells(), k.cell < 0 ? std::vector<int>{} : std::vector<int>{k.cell})
        << k.x << "," << k.y;
    EXPECT_EQ(settleCountdown, k.cell < 0 ? -1 : 10);
  }

  const int x = boardOriginX + 24 * 4 + 5, y = boardOriginY + 24 * 6 + 5;  // cell (4, 6)
  // Someone else's node, busy, decided, and where burnout exists, burnt.
  for (int blocked = 0; blocked < (burnoutEnabled ? 4 : 3); ++blocked) {
    humanGame(blocked == 0 ? Red : Blue);
    if (blocked == 1) settleCountdown = 1;
    if (blocked == 2) winner = Blue;
    if (blocked == 3) board[4][6]->withBurnout([](auto& n) { n.burnt = true; });
    click(x, y);
    frame();
    EXPECT_TRUE(turnedCells().empty()) << blocked;
  }
  // The frame in which Blue's move ends already takes Red's click.
  GameState& g = humanGame(Blue);
  board[4][6]->owner = Red;
  settleCountdown = 0;
  click(x, y);
  frame();
  EXPECT_EQ(g.currentPlayer, Red);
  EXPECT_EQ(turnedCells(), std::vector<int>{406});
}

TEST(Clicks, ButtonEdgesOneClickPerFrameAndNewGameAppliesThePendingSettings) {
  GameState& g = humanGame();
  const layout::Rect players = layout::settingButton(0, 0), sense = layout::settingButton(0, 1);
  click(players.x, players.y + players.height + 1);  // the gap between two buttons
  click(players.x - 1, players.y);                   // only the last press counts
  EXPECT_EQ(frame(), said("mouse clicked on screen %d %d\n", players.x - 1, players.y));
  EXPECT_FALSE(g.pendingFourPlayers);
  click(players.x + players.width, players.y + players.height);  // the far corner counts
  frame();
  EXPECT_TRUE(g.pendingFourPlayers);
  click(sense.x, sense.y);
  frame();
  EXPECT_EQ(g.pendingTurnSense, -1);

  // Several presses and a motion in one frame: one click where the pointer ends.
  const layout::Rect blueType = layout::settingButton(1, 0),
                     blueStrength = layout::settingButton(1, 1);
  click(boardOriginX + 1, boardOriginY + 1);
  push(SDL_MOUSEBUTTONDOWN, players.x, players.y, SDL_BUTTON_RIGHT);
  push(SDL_MOUSEMOTION, blueType.x, blueType.y);
  EXPECT_EQ(frame(), said("mouse clicked on screen %d %d\nmouse clicked in button %d %d\n",
                          blueType.x, blueType.y, blueType.x, blueType.y));
  EXPECT_TRUE(g.seats[0].pendingComputer);
  EXPECT_TRUE(g.pendingFourPlayers);
  push(SDL_MOUSEBUTTONDOWN, players.x, players.y, SDL_BUTTON_RIGHT);  // moves the pointer only
  EXPECT_EQ(frame(), "");
  EXPECT_EQ(g.mouseX * 1000 + g.mouseY, players.x * 1000 + players.y);
  // Strength steps NORMAL, TOUGH, NORMAL; EASY is never offered.
  for (int expected : {AiTough, AiNormal}) {
    click(blueStrength.x, blueStrength.y);
    frame();
    EXPECT_EQ(g.seats[0].pendingAiMode, expected);
  }
  click(layout::settingButton(4, 0).x, layout::settingButton(4, 0).y);  // yellow's type
  frame();
  EXPECT_FALSE(g.seats[3].pendingComputer);
  EXPECT_FALSE(g.seats[0].computer || g.newGameRequested);  // nothing active changed yet

  // New Game mid-cascade: the settings apply at once, the cascade runs this
  // frame's ticks, and the next frame deals.
  g.fourPlayers = false;  // the active settings differ from every pending one
  g.turnSense = +1;
  g.seats[3].computer = true;
  fillBoard(Nobody, East);
  put(0, 5, Blue, East)->fuse = 0;
  settleCountdown = 10;
  g.moveCount = 7;
  click(layout::newGameButton.x, layout::newGameButton.y);
  frame();
  EXPECT_TRUE(g.fourPlayers && g.turnSense == -1 && g.seats[0].computer && !g.seats[3].computer);
  EXPECT_EQ(g.seats[1].aiMode, AiNormal);
  EXPECT_EQ(g.moveCount, 7);
  EXPECT_EQ(board[1][5]->fuse, 0);
  frame();
  EXPECT_FALSE(g.newGameRequested);
  EXPECT_EQ(board[2][5]->owner, Nobody);
  EXPECT_GT(g.nodeCounts[Yellow], 0);
  EXPECT_EQ(g.moveCount, 0);
  EXPECT_EQ(settleCountdown, 9);
}

TEST(Rotation, ComputersWithoutAMoveAndTheWinner) {
  // Two players, Blue on the left half and Red on the right, every border
  // node already pointing across: no computer finds a move, and each hands on
  // two frames later.
  GameState& g = humanGame();
  g.fourPlayers = false;
  forEachCell(
      [](int c, int r) { put(c, r, c < halfBoard ? Blue : Red, c < halfBoard ? East : West); });
  for (Seat& seat : g.seats) seat.computer = true;
  g.seats[1].aiMode = AiNormal;
  g.currentPlayer = Nobody;
  settleCountdown = 0;
  EXPECT_EQ(frame(), said("could not find move!!!\n"));
  EXPECT_EQ(frame(), "");
  EXPECT_EQ(frame(), said("Player 2 didn't take a turn!!!\n"));
  EXPECT_EQ(g.currentPlayer, Red);

  // The last player with nodes wins, the rotation goes on, nobody is asked.
  humanGame();
  board[5][5]->owner = Blue;  // one turn from the neutral (6, 5)
  for (Seat& seat : gameState->seats) seat.computer = true;
  gameState->currentPlayer = Yellow;
  settleCountdown = 0;
  for (int i = 0; i < 6; ++i) frame();
  EXPECT_EQ(winner, Blue);
  EXPECT_EQ(gameState->currentPlayer, Blue);
  EXPECT_TRUE(turnedCells().empty());
  board[5][5]->owner = Nobody;  // nobody left at all: the winner stays
  settleCountdown = 0;
  frame();
  EXPECT_EQ(winner, Blue);
}

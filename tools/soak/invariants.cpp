#include "tools/soak/invariants.h"

#include <cstdarg>
#include <cstdio>

#include "app/shell.h"
#include "board/cascade.h"
#include "game/game_state.h"
#include "sound/sound.h"

namespace {
char message[512];

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
const char*
broken(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format, args);
  va_end(args);
  return message;
}

// Our own count of the board, independent of countNodes.
void countOwners(int32_t counts[playerIdCount]) {
  for (int p = 0; p < playerIdCount; ++p) counts[p] = 0;
  for (int c = 0; c < revision::boardSize; ++c)
    for (int r = 0; r < revision::boardSize; ++r) {
      const int32_t owner = board[c][r]->owner;
      if (owner >= 0 && owner < playerIdCount) ++counts[owner];
    }
}
}  // namespace

void InvariantChecker::beforeFrame(const FrameInput& input) {
  dealDue = !gameState->firstDealDone || gameState->newGameRequested;
  fourPlayersBefore = gameState->fourPlayers;
  // The deal of this frame uses the player count that is active now; a New
  // Game press later in the same frame only changes the next deal.
  if (dealDue) dealtFourPlayers = gameState->fourPlayers;
  settleBefore = settleCountdown;
  playerBefore = gameState->currentPlayer;
  moveCountBefore = gameState->moveCount;
  turnCountBefore = gameState->turnCount;
  winnerBefore = winner;
  soundBefore = soundOn;
  countOwners(countsBefore);
  if (input.humanMove) moveDirectionBefore = board[input.moveColumn][input.moveRow]->direction;
}

const char* InvariantChecker::afterFrame(const FrameInput& input) {
  if (const char* failure = checkNodes()) return failure;
  if (const char* failure = dealDue ? checkDeal() : checkTurn()) return failure;
  if (const char* failure = checkInput(input)) return failure;

  // A busy stretch ends with an end of move or a deal.
  busyStretch = settleCountdown > 0 ? (dealDue ? 1 : busyStretch + 1) : 0;
  if (busyStretch > longestBusyStretch) longestBusyStretch = busyStretch;
  if (busyStretch > busyFrameBound)
    return broken("the board has been busy for %ld frames, longer than any cascade can last (%ld)",
                  busyStretch, busyFrameBound);

  // The countdown rests at -1 only while a human has the turn or the game
  // is won; a computer seat always gets its pause or its move.
  if (settleCountdown == -1 && !gameState->newGameRequested && winner == 0) {
    const int32_t p = gameState->currentPlayer;
    if (p < Blue || p > Yellow || gameState->seats[p - 1].computer)
      return broken("the board is idle but player %d is not a waiting human", p);
  }
  return nullptr;
}

const char* InvariantChecker::checkNodes() {
  const int32_t lastOwner = dealtPlayers();
  for (int c = 0; c < revision::boardSize; ++c) {
    for (int r = 0; r < revision::boardSize; ++r) {
      const Node& n = *board[c][r];
      if (n.column != c || n.row != r)
        return broken("node (%d, %d) thinks it is at (%d, %d)", c, r, n.column, n.row);
      if (n.direction < 0 || n.direction > 3)
        return broken("node (%d, %d) points in direction %d", c, r, n.direction);
      if (n.owner < 0 || n.owner > lastOwner)
        return broken("node (%d, %d) belongs to %d in a %d-player game", c, r, n.owner, lastOwner);
      if (n.fuse < -1 || n.fuse > 1) return broken("node (%d, %d) has fuse %d", c, r, n.fuse);
      const char* problem = nullptr;
      n.withBurnout([&](const auto& b) {
        if (b.burnt && (b.owner != Nobody || b.fuse != -1 || b.fireCount < 1 || b.fireCount > 4))
          problem = broken("burnt node (%d, %d) has owner %d, fuse %d, fire count %d", c, r, b.owner,
                      b.fuse, b.fireCount);
        else if (!b.burnt && (b.fireCount < 0 || b.fireCount > 7))
          problem = broken("live node (%d, %d) has fire count %d", c, r, b.fireCount);
      });
      if (problem) return problem;
    }
  }
  int total = 0;
  for (PlayerId p = 0; p < playerIdCount; ++p) total += countNodes(p);
  if (total != revision::nodeCount)
    return broken("the owners' counts add up to %d, not %d", total, revision::nodeCount);
  if (settleCountdown < -1 || settleCountdown > settleAfterFiring)
    return broken("settleCountdown is %d", settleCountdown);
  if (gameState->currentPlayer < Nobody || gameState->currentPlayer > Yellow)
    return broken("currentPlayer is %d", gameState->currentPlayer);
  if (winner < Nobody || winner > Yellow) return broken("winner is %d", winner);
  return nullptr;
}

const char* InvariantChecker::checkDeal() {
  if (winner != 0 || gameState->moveCount != 0 || gameState->turnCount != 0)
    return broken("after a deal: winner %d, moves %d, turns %d", winner, gameState->moveCount,
                  gameState->turnCount);
  if (gameState->currentPlayer < Blue || gameState->currentPlayer > Yellow)
    return broken("after a deal the drawn player is %d", gameState->currentPlayer);
  // The corners fired for their players; no other colour reaches a corner
  // in the deal's own frame.
  const int last = revision::lastIndex;
  const struct {
    int column, row;
    PlayerId player;
  } corners[] = {{0, 0, Blue}, {last, last, Red}, {0, last, Green}, {last, 0, Yellow}};
  for (int i = 0; i < dealtPlayers(); ++i) {
    const Node& n = *board[corners[i].column][corners[i].row];
    if (n.owner != corners[i].player)
      return broken("after a deal corner (%d, %d) belongs to %d, not %d", corners[i].column,
                    corners[i].row, n.owner, corners[i].player);
  }
  return nullptr;
}

const char* InvariantChecker::checkTurn() {
  const GameState& g = *gameState;
  if (winnerBefore != 0 && winner != winnerBefore)
    return broken("the winner changed from %d to %d without a new game", winnerBefore, winner);

  if (settleBefore != 0) {
    // No end of move in this frame: the turn stays where it was.
    if (g.moveCount != moveCountBefore || g.currentPlayer != playerBefore ||
        g.turnCount != turnCountBefore)
      return broken("the turn moved (player %d to %d, moves %d to %d) with settleCountdown at %d",
                    playerBefore, g.currentPlayer, moveCountBefore, g.moveCount, settleBefore);
    return nullptr;
  }

  // settleCountdown was 0: the move ends in this frame.
  if (g.moveCount != moveCountBefore + 1)
    return broken("the countdown reached 0 but moves went from %d to %d", moveCountBefore,
                  g.moveCount);
  for (PlayerId p = 0; p < playerIdCount; ++p)
    if (g.nodeCounts[p] != countsBefore[p])
      return broken("at the end of move player %d was counted %d nodes, the board had %d", p,
                    g.nodeCounts[p], countsBefore[p]);

  // The turn goes to the next PlayerId of the rotation that owns nodes;
  // nobody takes part in it only where burnout exists.
  const int32_t lastSeat = fourPlayersBefore ? 4 : 2;
  const int32_t first = revision::burnoutEnabled ? Nobody : Blue;
  int32_t expected = playerBefore;
  int32_t wraps = 0;
  for (int step = 0; step < playerIdCount; ++step) {
    if (++expected > lastSeat) {
      expected = first;
      ++wraps;
    }
    if (countsBefore[expected] > 0) break;
  }
  if (countsBefore[expected] == 0)
    return broken("at the end of move no player of the rotation owns a node");
  if (g.currentPlayer != expected)
    return broken("the turn passed from %d to %d, the next player owning nodes is %d", playerBefore,
                  g.currentPlayer, expected);
  if (g.turnCount != turnCountBefore + wraps)
    return broken("turns went from %d to %d over %d wraps of the rotation", turnCountBefore,
                  g.turnCount, wraps);

  int live = 0;
  PlayerId lastLive = Nobody;
  for (PlayerId p = Blue; p <= Yellow; ++p)
    if (countsBefore[p] > 0) ++live, lastLive = p;
  const int32_t expectedWinner = winnerBefore != 0 ? winnerBefore : (live == 1 ? lastLive : 0);
  if (winner != expectedWinner)
    return broken("with %d players owning nodes the winner is %d, expected %d", live, winner,
                  expectedWinner);
  return nullptr;
}

const char* InvariantChecker::checkInput(const FrameInput& input) {
  const GameState& g = *gameState;
  if (input.positional && (g.mouseX != input.lastX || g.mouseY != input.lastY))
    return broken("the last event put the mouse at (%d, %d), the game has (%d, %d)", input.lastX,
                  input.lastY, g.mouseX, g.mouseY);
  if (quitRequested != input.quit)
    return input.quit ? broken("Escape or a close request did not ask to quit")
                      : broken("the game asked to quit without Escape or a close request");
  if (soundOn != (soundBefore != (input.soundToggles % 2 == 1)))
    return broken("%d presses of S left the sound %s", input.soundToggles, soundOn ? "on" : "off");

  if (input.humanMove) {
    // The click came on an idle board, on a node of the player to move.
    const Node& n = *board[input.moveColumn][input.moveRow];
    const Direction turned = turnedDirection(moveDirectionBefore, g.turnSense);
    if (n.direction != turned || settleCountdown != settleAfterFiring)
      return broken("a click on node (%d, %d) of the waiting player %d did not turn and fire it",
                    input.moveColumn, input.moveRow, g.currentPlayer);
  }

  const bool newGamePressed =
      input.leftClick && g.buttons[ButtonNewGame].contains(input.lastX, input.lastY);
  if (newGamePressed) {
    bool applied = g.newGameRequested && g.fourPlayers == g.pendingFourPlayers &&
                   g.turnSense == g.pendingTurnSense;
    for (const Seat& seat : g.seats)
      applied =
          applied && seat.computer == seat.pendingComputer && seat.aiMode == seat.pendingAiMode;
    if (!applied) return broken("New Game was pressed but its settings were not applied");
  } else if (g.newGameRequested) {
    return broken("a new game is pending without a press of New Game");
  }
  return nullptr;
}

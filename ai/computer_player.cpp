#include "ai/computer_player.h"

#include "game/game_state.h"
#include "revisions/diagnostics.h"

namespace {
bool eligible(const Node* neighbour, PlayerId player, MoveTarget target) {
  if (!neighbour || neighbour->isBurnt() || neighbour->owner == player) return false;
  return target == AnyForeign || neighbour->owner != Nobody;
}

// The neighbour the node would point at after k clicks in the turn sense.
const Node* turnSlot(const Node& node, int k, int sense) {
  return neighbourOf(node, turnedDirection(node.direction, k * sense));
}
}  // namespace

int findMove(PlayerId player, MoveTarget target, int& column, int& row) {
  const int sense = gameState->turnSense;
  int bestScore = noCandidate, bestColumn = 0, bestRow = 0;
  forEachNode([&](const Node& node) {
    if (node.owner != player || node.isBurnt()) return;
    for (int k = 1; k <= 3; ++k) {
      if (!eligible(turnSlot(node, k, sense), player, target)) continue;
      if (k < bestScore) {
        bestScore = k;
        bestColumn = node.column;
        bestRow = node.row;
      }
      break;  // within one node the smallest k counts
    }
  });
  if (bestScore == noCandidate) return 0;
  column = bestColumn;
  row = bestRow;
  return bestScore;
}

void GameState::takeComputerTurn(PlayerId player, int32_t aiMode) {
  int column = 0, row = 0;
  switch (aiMode) {
    case AiEasy:
    case AiNormal:
      if (findMove(player, AnyForeign, column, row) == 0) {
        diag("Player %i didn't take a turn!!!\n", player);
        return;
      }
      break;
    case AiTough: {
      int foreignColumn = 0, foreignRow = 0, opponentColumn = 0, opponentRow = 0;
      const int a = findMove(player, AnyForeign, foreignColumn, foreignRow);
      const int b = findMove(player, OpponentOnly, opponentColumn, opponentRow);
      if (a == 0 && b == 0) {
        diag("could not find move!!!\n");
        return;
      }
      // The opponent-facing node whenever it is no further than the nearest
      // foreign one.
      const bool playOpponent = a == 0 || (b != 0 && b <= a);
      column = playOpponent ? opponentColumn : foreignColumn;
      row = playOpponent ? opponentRow : foreignRow;
      break;
    }
    default: return;
  }
  board[column][row]->turnAndFire(turnSense);
}

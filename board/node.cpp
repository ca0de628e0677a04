#include "board/node.h"

#include <new>

#include "board/random.h"
#include "revisions/diagnostics.h"

Board board;

namespace {
// Storage that cannot fail: the nodes live here from createNodes to
// freeNodes, and board[column][row] points into it.
alignas(Node) unsigned char nodeStorage[revision::nodeCount][sizeof(Node)];
}  // namespace

Node::Node() : direction(randomInt(4)), owner(Nobody), x(0), y(0), column(-1), row(-1), fuse(-1) {}

void createNodes() {
  forEachCell([](int column, int row) {
    void* place = nodeStorage[column * revision::boardSize + row];
    Node* node = new (place) Node();
    board[column][row] = node;
    node->column = column;
    node->row = row;
    node->x = revision::boardOriginX + revision::cellSize * column;
    node->y = revision::boardOriginY + revision::cellSize * row;
  });
}

void freeNodes() {
  forEachCell([](int column, int row) {
    if (board[column][row]) board[column][row]->~Node();
    board[column][row] = nullptr;
  });
  diag("Nodes freed\n");
}

int countNodes(PlayerId owner) {
  int count = 0;
  forEachNode([&](const Node& node) { count += node.owner == owner; });
  return count;
}

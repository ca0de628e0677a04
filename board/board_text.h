// The board as text, five characters a node in board order: owner,
// direction, fuse ('.' when idle), fireCount and burnt ('b' or '-'); builds
// without burnout write '-' for the last two. The replay tool's trace and the
// online page's record of each rest both write it.
#pragma once

#include <cstddef>

#include "revisions/settings.h"

inline constexpr size_t boardTextLength = 5 * revision::nodeCount;

// Writes boardTextLength characters at out (no terminator) and returns the
// end. Allocates nothing.
char* writeBoardText(char* out);

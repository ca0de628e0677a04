// The game's diagnostic lines on standard output. Earlier revisions print
// nothing; the paths that would print behave the same either way.
#pragma once

#include <cstdarg>
#include <cstdio>

#include "revisions/settings.h"

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
inline void
diag(const char* format, ...) {
  if constexpr (revision::diagnosticsEnabled) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    // Lines reach a pipe or a log at once, also when the program is killed.
    std::fflush(stdout);
  } else {
    (void)format;
  }
}

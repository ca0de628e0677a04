// Included into every C++ file of the Windows build (windows/toolchain.cmake).
#pragma once
#include <SDL_main.h>  // main becomes SDL_main with C linkage, as SDLmain calls it

#include <cstdlib>

// The one POSIX call the programs use that MinGW's C library lacks.
inline int setenv(const char* name, const char* value, int overwrite) {
  if (!overwrite && std::getenv(name)) return 0;
  return _putenv_s(name, value);
}

// Included into every C++ file of the Windows build (windows/toolchain.cmake):
// the one POSIX call the programs use that MinGW's C library lacks.
#pragma once
#include <cstdlib>

inline int setenv(const char* name, const char* value, int overwrite) {
  if (!overwrite && std::getenv(name)) return 0;
  return _putenv_s(name, value);
}

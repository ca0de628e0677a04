# CLI11 reads the command lines of the server and the native tools
# (spindrel_cli11). It is header-only; its CMake files lie in different
# places across Debian releases, its header does not.
find_path(CLI11_INCLUDE_DIR CLI/CLI.hpp)
if(CLI11_INCLUDE_DIR)
  add_library(spindrel_cli11 INTERFACE)
  target_include_directories(spindrel_cli11 SYSTEM INTERFACE ${CLI11_INCLUDE_DIR})
endif()

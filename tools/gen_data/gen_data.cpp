// Writes the game's data files into the folder named by the first argument.
#include "tools/gen_data/gen_data.h"

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT-FOLDER\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  if (!writeSheets(folder) || !writeSounds(folder)) {
    std::fprintf(stderr, "could not write the data files into %s\n", folder.c_str());
    return 1;
  }
  return 0;
}

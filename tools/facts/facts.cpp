// spindrel-facts NAME: what the scripts and tests need to know of one
// deliverable, as shell assignments prefixed with NAME_ (window size, board
// geometry, program name), and for the game itself ("current") also what
// every deliverable shares: the caption, the data files and the panel's text
// rows. The build writes all four into facts.sh in the build folder.
#include <cstdio>
#include <cstring>
#include <string>

#include "app/shell.h"
#include "render/sheet_layout.h"
#include "render/sprites.h"
#include "sound/sound.h"

namespace {
const char* prefix = "";
void fact(const char* name, const std::string& value) {
  std::printf("%s%s='%s'\n", prefix, name, value.c_str());
}
void fact(const char* name, int value) { fact(name, std::to_string(value)); }
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string revisionPrefix = std::string(argv[1]) + "_";
  prefix = revisionPrefix.c_str();
  fact("program", SPINDREL_PROGRAM);
  fact("window_width", revision::windowWidth);
  fact("window_height", revision::windowHeight);
  fact("board_size", revision::boardSize);
  fact("board_origin_x", revision::boardOriginX);
  fact("board_origin_y", revision::boardOriginY);
  if (std::strcmp(argv[1], "current") != 0) return 0;

  prefix = "";
  fact("caption", windowCaption);
  std::string files;
  for (const SheetFile& sheet : sheetFiles) files += std::string(sheet.path) + " ";
  fact("data_files", files + soundFiles[0] + " " + soundFiles[1]);
  fact("cell_size", revision::cellSize);
  fact("node_step", layout::nodeStep);
  fact("text_advance", layout::textAdvance);
  fact("frame_rate_y", layout::frameRateY);
  fact("frames_per_second", revision::framesPerSecond);
  return 0;
}

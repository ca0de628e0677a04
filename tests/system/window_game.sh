#!/bin/bash
# CSpindrel in a real window under Xvfb: its caption and size, the panel and
# the board drawn, the system cursor hidden under the game's own pointer,
# Escape ends it with exit code 0 and "Nodes freed" as the last line.
#   window_game.sh OUTPUT_DIR SOURCE_DIR BUILD_DIR
set -u
exec python3 "$2/tests/system/window_check.py" game "$1" "$3/window-shots"

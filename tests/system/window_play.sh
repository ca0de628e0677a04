#!/bin/bash
# A move in a real window: New Game, wait for blue's turn, click one of
# blue's nodes; its arrow turns and the status line changes. Screenshots
# before and after land in BUILD_DIR/window-shots.
#   window_play.sh OUTPUT_DIR SOURCE_DIR BUILD_DIR
set -u
exec python3 "$2/tests/system/window_check.py" play "$1" "$3/window-shots"

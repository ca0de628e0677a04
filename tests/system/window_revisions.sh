#!/bin/bash
# The three earlier revisions in a real window: size and caption, the board
# at its origin, no frame-rate line, Escape, and nothing on standard output.
#   window_revisions.sh OUTPUT_DIR SOURCE_DIR BUILD_DIR
set -u
exec python3 "$2/tests/system/window_check.py" revisions "$1" "$3/window-shots"

#!/bin/bash
# The window's close request (WM_DELETE_WINDOW, as a window manager sends it)
# ends each of the four programs with exit code 0.
#   window_close.sh OUTPUT_DIR SOURCE_DIR BUILD_DIR
set -u
exec python3 "$2/tests/system/window_check.py" close "$1" "$3/window-shots"

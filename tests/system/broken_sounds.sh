#!/bin/bash
# The sounds' half of the broken-data-file table: the game runs, silent,
# whatever is wrong with click.wav or etm0507.mp3.
#   broken_sounds.sh OUTPUT_DIR SOURCE_DIR BUILD_DIR
BROKEN_ROWS=sounds exec bash "$(dirname "$0")/broken_files.sh" "$@"

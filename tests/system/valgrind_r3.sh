#!/bin/bash
# Memcheck on CSpindrel-r3: start, a few hundred frames, a click, Escape.
#   valgrind_r3.sh OUTPUT_DIR SOURCE_DIR BUILD_DIR
VALGRIND_PROGRAM=CSpindrel-r3 exec bash "$(dirname "$0")/valgrind_memcheck.sh" "$@"

#!/bin/bash
# Memcheck on CSpindrel-r2: start, a few hundred frames, a click, Escape.
#   valgrind_r2.sh OUTPUT_DIR SOURCE_DIR BUILD_DIR
VALGRIND_PROGRAM=CSpindrel-r2 exec bash "$(dirname "$0")/valgrind_memcheck.sh" "$@"

#!/bin/bash
# Memcheck on CSpindrel-r1: start, a few hundred frames, a click, Escape.
#   valgrind_r1.sh OUTPUT_DIR SOURCE_DIR BUILD_DIR
VALGRIND_PROGRAM=CSpindrel-r1 exec bash "$(dirname "$0")/valgrind_memcheck.sh" "$@"

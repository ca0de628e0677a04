#!/bin/bash
# The layering gate on a scratch tree under the project's own HACKING.md:
# includes and a CMake source list that break its table are named by file
# and line, what the table allows is not, and the gate fails.
#   layering.sh OUTPUT_DIR SOURCE_DIR BUILD_DIR
set -u
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
cp "$2/HACKING.md" "$tree/"
mkdir -p "$tree/board" "$tree/render" "$tree/app" "$tree/web/online" "$tree/tools/replay"
touch "$tree/render/panel.h" "$tree/board/node.h" "$tree/tools/replay/trace.cpp"
printf '#include <vector>\n#include "render/panel.h"\n#include "node.h"\n' > "$tree/board/node.cpp"
printf '#include "board/node.h"\n#include "../render/panel.h"\n' > "$tree/app/shell.cpp"
cat > "$tree/web/online/online.cmake" <<'EOF'
add_executable(page online_main.cpp
  ${CMAKE_SOURCE_DIR}/tools/replay/trace.cpp)
EOF
git -C "$tree" init -q
found=$(python3 "$2/tools/gates/layering.py" "$tree") && { echo "the gate passed: $found"; exit 1; }
expected="board/node.cpp:2: includes render/panel.h is not allowed for board/ by HACKING.md's layering table
web/online/online.cmake:2: builds tools/replay/trace.cpp is not allowed for web/online/ by HACKING.md's layering table"
[ "$found" = "$expected" ] || { printf 'the gate said:\n%s\nexpected:\n%s\n' "$found" "$expected"; exit 1; }
echo "the layering gate names each planted violation and nothing else"

# Shared by the replay system tests (sourced, not run). Needs OUT, the
# output folder with the replay tools and the data files. Gives each test a
# scratch folder, TMP, removed when the test ends.

TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT

# The four builds: tool, board size, window, burnout, diagnostics.
BUILDS="current r1 r2 r3"
declare -A TOOL=([current]=spindrel-replay [r1]=spindrel-replay-r1 [r2]=spindrel-replay-r2 [r3]=spindrel-replay-r3)
declare -A SIZE=([current]=24 [r1]=24 [r2]=14 [r3]=18)
declare -A WIDTH=([current]=800 [r1]=800 [r2]=640 [r3]=640)
declare -A HEIGHT=([current]=600 [r1]=600 [r2]=480 [r3]=480)
declare -A ORIGIN_X=([current]=212 [r1]=212 [r2]=260 [r3]=204)
declare -A ORIGIN_Y=([current]=12 [r1]=12 [r2]=70 [r3]=24)
declare -A BURNOUT=([current]=1 [r1]=0 [r2]=0 [r3]=0)

FAILURES=0
fail() {
  echo "FAIL: $*" >&2
  FAILURES=$((FAILURES + 1))
}
expect_eq() {  # what expected actual
  [ "$2" == "$3" ] || fail "$1: expected '$2', got '$3'"
}
finish() {
  if [ "$FAILURES" -ne 0 ]; then
    echo "$FAILURES failure(s)" >&2
    exit 1
  fi
  echo "all passed"
}

# replay BUILD [args...]: the build's tool, killed if it ever hangs (SDL
# turns a plain TERM into a quit request, so KILL it).
replay() {
  local build=$1
  shift
  (cd "$OUT" && timeout -s KILL 120 "./${TOOL[$build]}" "$@")
}

# token N BOARD COLUMN ROW: the five characters of one node.
token() {
  local n=$1 board=$2 c=$3 r=$4
  echo "${board:$(((c * n + r) * 5)):5}"
}

# check_trace BUILD [OTHER] < TRACE: the invariants every trace line of a
# game without any input must hold; OTHER is a regular expression for the
# other lines the game may print. Prints "frames moves winner" of the last line.
#
# The counter: a move ends (moves + 1) exactly in the frame after one that
# left the counter at 0, and that frame leaves it at 9 (a computer move, or
# nodes back from burnout, fired), 1 (a pause of 2, nothing fired) or -1 (no
# one is asked to move). Otherwise it counts down by one, or a firing in the
# fuse ticks sets it to 10; at -1 it stays.
check_trace() {
  local build=$1 other=${2:-}
  awk -v n="${SIZE[$build]}" -v burnout="${BURNOUT[$build]}" -v other="$other" '
    function bad(what) { printf "frame %s: %s\n", $2, what > "/dev/stderr"; errors++ }
    /^T / {
      ++lines
      if (NF != 9) { bad("expected 9 fields"); next }
      if ($2 != lines) bad("frame number " $2 " after " lines - 1 " lines")
      if ($3 < -1 || $3 > 10) bad("settle " $3)
      if ($4 < (burnout ? 0 : 1) || $4 > 4) bad("current " $4)
      if ($5 < 0 || $5 > 4) bad("winner " $5)
      if (won && $5 != won) bad("winner changed from " won " to " $5)
      if ($5 != 0) won = $5
      if (lines > 1) {
        ended = $6 == moves + 1
        if (!ended && $6 != moves) bad("moves went from " moves " to " $6)
        if (ended != (settle == 0)) bad("moves " $6 " after a counter of " settle)
        if ($7 != turns && !(ended && $7 == turns + 1)) bad("turns went from " turns " to " $7)
        if (settle == 0 && $3 != 9 && $3 != 1 && $3 != -1) bad("counter " $3 " after an end of move")
        if (settle > 0 && $3 != settle - 1 && $3 != 10) bad("counter " $3 " after " settle)
        if (settle == -1 && $3 != -1) bad("counter " $3 " after -1")
      }
      settle = $3; moves = $6; turns = $7
      split($8, c, ",")
      if (c[1] + c[2] + c[3] + c[4] + c[5] != n * n) bad("counts " $8 " do not add up")
      if (length($9) != 5 * n * n) bad("board of " length($9) " characters")
      if (burnout) {
        if ($9 !~ /^([0-4][0-3][.01][0-7][-b])+$/) bad("malformed node token")
        # A burnt node belongs to nobody and waits 1 to 4 more passes.
        for (i = 1; i <= length($9); i += 5)
          if (substr($9, i + 4, 1) == "b" && substr($9, i, 1) substr($9, i + 3, 1) !~ /^0[1-4]$/)
            bad("burnt node " substr($9, i, 5))
      } else if ($9 !~ /^([0-4][0-3][.01]--)+$/) bad("malformed node token")
      next
    }
    other != "" && $0 ~ other { next }
    { bad("unexpected line: " substr($0, 1, 60)) }
    END { print lines + 0, moves + 0, won + 0; exit errors > 0 }'
}

# tline FRAME TRACE_FILE: the T line of one frame.
tline() { awk -v f="$1" '$1 == "T" && $2 == f' "$2"; }
# field K LINE: one space-separated field of a line (1 is the "T").
field() { echo "$2" | awk -v k="$1" '{ print $k }'; }

# check_layout N FOUR BOARD: the deal's symmetry of the directions. Two
# players: (N-1-k, N-1-m) is (k, m) reversed. Four players: the top-left
# quadrant turned a half, a quarter counter-clockwise to (m, N-1-k) and a
# quarter clockwise to (N-1-m, k).
check_layout() {
  awk -v n="$1" -v four="$2" -v b="$3" '
    function d(c, r) { return substr(b, (c * n + r) * 5 + 2, 1) + 0 }
    function want(c, r, value) {
      if (d(c, r) != value % 4) { printf "node %d,%d points %d, not %d\n", c, r, d(c, r), value % 4; bad++ }
    }
    BEGIN {
      h = int(n / 2); l = n - 1
      for (k = 0; k < h; ++k)
        for (m = 0; m < (four ? h : n); ++m) {
          want(l - k, l - m, d(k, m) + 2)
          if (four) { want(m, l - k, d(k, m) + 1); want(l - m, k, d(k, m) + 3) }
        }
      exit bad > 0
    }'
}

# owner_counts BOARD: how many nodes each of 0..4 owns, as c0,c1,c2,c3,c4.
owner_counts() {
  awk -v b="$1" 'BEGIN {
    for (i = 1; i <= length(b); i += 5) ++c[substr(b, i, 1)]
    printf "%d,%d,%d,%d,%d\n", c[0], c[1], c[2], c[3], c[4] }'
}

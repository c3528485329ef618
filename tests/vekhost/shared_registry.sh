#!/usr/bin/env bash
# Two vekhost processes share one registry file, as two hosts of one user
# share HKEY_CURRENT_USER, and play SESSIONS sessions each at the same time.
# Each process switches its own box once per session. A write the other
# process lost would show up in this process's next session: the box would
# open in the state it had before the lost click. So every session must open
# its box in the state the previous one left, and the file must end with
# both boxes as their last sessions left them.
#   shared_registry.sh VEKHOST DRAWING WORK SESSIONS
set -euo pipefail
vekhost=$1 drawing=$2 work=$3 sessions=$4

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

rm -rf "$work"
mkdir -p "$work"
cd "$work"
cp "$drawing" drawing.json
# The settings exist before the race starts: a first start writes its
# defaults for what is missing, and two first starts at once would race on
# those in any registry, Windows' included.
printf 'run\n' >first.vks
"$vekhost" drawing.json --script first.vks --registry shared.reg >first.log ||
  fail "the first session failed: $(cat first.log)"

play() {
  local box=$1 log=$2
  # Cancel, not OK: a click stores its own box at once, while OK stores all
  # seven boxes as this dialog shows them, which in any registry would undo
  # a box the other process switched meanwhile.
  printf 'run\nexit\nclick %s\ncancel\n' "$box" >"$box.vks"
  : >"$log"
  for ((i = 1; i <= sessions; i++)); do
    "$vekhost" drawing.json --script "$box.vks" --registry shared.reg >>"$log" 2>&1 ||
      { echo "session $i failed" >>"$log"; return 1; }
  done
}

play hole hole.log &
first=$!
play tolerance tolerance.log &
second=$!
status=0
wait $first || status=1
wait $second || status=1
[ $status -eq 0 ] || fail "a session failed: $(grep -h -B5 'failed' hole.log tolerance.log | tail -20)"

check() {
  local box=$1 name=$2 log=$3
  # The click lines, "    12000 IsHoleLayerChanged: [ ] -> [x]", in order.
  local clicks
  clicks=$(grep -E "^    [0-9]+ $name: " "$log" | sed -E 's/.*: \[(.)\] -> \[(.)\]$/\1\2/')
  [ "$(wc -l <<<"$clicks")" -eq "$sessions" ] || fail "$box: $(wc -l <<<"$clicks") clicks in $sessions sessions"
  local expected=" " n=0 lost=0
  while IFS= read -r pair; do
    n=$((n + 1))
    [ "${pair:0:1}" = "$expected" ] || lost=$((lost + 1))
    expected=${pair:1:1}
  done <<<"$clicks"
  [ $lost -eq 0 ] || fail "$box: $lost of $sessions sessions opened with a stale state (a write was lost)"
  local last=0
  [ "$expected" = "x" ] && last=1
  grep -qx "\"$name\"=\"$last\"" <<<"$(tr -d "\r" <shared.reg)" || fail "$box: the file does not end with $name=$last"
  echo "$box: $n sessions, each opened as the one before left it; the file ends with $name=$last"
}
check hole IsHoleLayerChanged hole.log
check tolerance mIsTolerance tolerance.log

leftovers=$(find . -name '*.vekhost-partial-*' | wc -l)
[ "$leftovers" -eq 0 ] || fail "$leftovers partial files left behind"

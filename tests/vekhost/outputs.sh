#!/usr/bin/env bash
# vekhost's outputs respect what is at the path, as a shell's redirection
# and an editor's save do: a link's target is replaced and the link stays,
# a file keeps its mode, a device or a pipe is written where it is and a
# full device is an error. Paths are checked before the session: two options
# naming one file, and a registry that cannot be written, are refused.
#
#   outputs.sh VEKHOST DRAWING WORKDIR
#
# As root the devices are nodes of the test's own (made with mknod), so that
# a vekhost that replaced a device would not replace the machine's.
set -u
vekhost=$1 drawing=$2 work=$3
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
cp "$drawing" drawing.json
printf 'run\npick 101\nselect 301\n' >session.vks

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
# Runs vekhost on the session with the options given; its status.
run() {
  "$vekhost" drawing.json --script session.vks "$@" >stdout.txt 2>stderr.txt
}
expect_status() {
  local want=$1 got=$2 what=$3
  [ "$got" -eq "$want" ] || fail "$what: status $got, not $want: $(cat stderr.txt)"
}

# A link: its target gets the result, and the link stays a link.
echo old >target.json
ln -s target.json link.json
run --registry fresh --out link.json
expect_status 0 $? "--out through a link"
[ -L link.json ] || fail "--out replaced the link with a file"
grep -q '"elements"' target.json || fail "--out left the link's target stale"

# Modes are kept.
for mode in 600 640; do
  echo old >"mode$mode.svg"
  chmod "$mode" "mode$mode.svg"
  run --registry fresh --svg "mode$mode.svg"
  expect_status 0 $? "--svg onto a file of mode $mode"
  got=$(stat -c %a "mode$mode.svg")
  [ "$got" = "$mode" ] || fail "a file of mode $mode came back $got"
done

# Devices are written where they are.
if [ "$(id -u)" -eq 0 ]; then
  mknod null c 1 3 && mknod full c 1 7 || exit 1
  null=$PWD/null full=$PWD/full
else
  null=/dev/null full=/dev/full
fi
run --registry fresh --out "$null" --svg "$null" --log "$null"
expect_status 0 $? "outputs to a null device"
[ -c "$null" ] || fail "$null is no longer a device"
run --registry fresh --out "$full"
expect_status 1 $? "--out to a full device"
grep -q "No space left on device" stderr.txt || fail "--out to a full device: $(cat stderr.txt)"
[ -c "$full" ] || fail "$full is no longer a device"

# A pipe, read as vekhost writes it.
mkfifo pipe
cat pipe >from-pipe.json &
reader=$!
run --registry fresh --out pipe
expect_status 0 $? "--out into a pipe"
if [ -p pipe ]; then
  # A vekhost that never opened the pipe would leave the reader waiting in
  # its open for ever: this shell opens it too (read-write, which does not
  # block) and closes it, so the reader always comes to the end.
  exec 3<>pipe
  exec 3>&-
  wait "$reader"
else
  # The reader waits for a writer of a pipe nobody can open any more.
  kill "$reader"
  fail "the pipe is no longer a pipe"
fi
grep -q '"elements"' from-pipe.json || fail "nothing came through the pipe"

# Standard output by name.
run --registry fresh --svg /dev/stdout
expect_status 0 $? "--svg /dev/stdout"
grep -q "<svg" stdout.txt || fail "--svg /dev/stdout wrote no picture to standard output"

# Two options naming one file, by any spelling or link: refused before
# anything is written, with both names.
echo "original" >kept.vks
ln -s kept.vks alias.vks
while IFS='|' read -r options named; do
  rm -f p.svg r.reg
  # shellcheck disable=SC2086 # the options are words
  run $options
  expect_status 2 $? "$options"
  grep -qF -- "$named name the same file" stderr.txt || fail "$options: $(cat stderr.txt)"
  [ ! -e p.svg ] && [ ! -e r.reg ] || fail "$options: a file was written"
  [ "$(cat kept.vks)" = original ] || fail "$options: kept.vks was rewritten"
done <<'EOF'
--registry fresh --svg p.svg --svg-before p.svg|--svg-before p.svg and --svg p.svg
--registry r.reg --log r.reg|--registry r.reg and --log r.reg
--registry fresh --svg p.svg --out ./p.svg|--svg p.svg and --out ./p.svg
--registry fresh --record alias.vks --log kept.vks|--record alias.vks and --log kept.vks
EOF
"$vekhost" drawing.json --script kept.vks --record alias.vks --registry fresh >/dev/null 2>stderr.txt
expect_status 2 $? "--script and --record through a link"
grep -qF -- "--script kept.vks and --record alias.vks name the same file" stderr.txt ||
  fail "--script and --record through a link: $(cat stderr.txt)"

# A registry that cannot be written stops vekhost before the session.
echo "a file" >not-a-folder
run --registry not-a-folder/registry.reg --out result.json
expect_status 1 $? "a registry in a folder that cannot be made"
[ ! -s stdout.txt ] || fail "the session started on a registry that cannot be written"
[ ! -e result.json ] || fail "the result was written on a registry that cannot be written"

# --registry fresh keeps nothing; ./fresh is a file of that name.
run --registry fresh
expect_status 0 $? "--registry fresh"
[ ! -e fresh ] || fail "--registry fresh made a file named fresh"
head -1 stdout.txt | grep -q "^registry: fresh" || fail "--registry fresh: $(head -1 stdout.txt)"
run --registry ./fresh
expect_status 0 $? "--registry ./fresh"
[ -s fresh ] || fail "--registry ./fresh made no file"

# Nothing is left beside the outputs.
leftover=$(find . -name '*.vekhost-partial-*')
[ -z "$leftover" ] || fail "partial files left: $leftover"

[ "$failures" -eq 0 ] || exit 1
echo "outputs: all held"

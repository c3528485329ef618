#!/usr/bin/env bash
# Two fresh clones of the repository, in folders of different names and
# depths, built one after the other with the `release` preset, must give a
# bit-identical Sorvane.dll (stripped and not) and package.
#
#   tests/release/check-reproducible.sh SOURCE_DIR OUTPUT_DIR
#
# Clones take what is committed: uncommitted changes are not in either build.
set -euo pipefail
src=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/sorvane-repro.XXXXXX")
trap 'rm -rf "$work"' EXIT

build() {
  local dir=$1
  git clone -q --no-hardlinks "$src" "$dir"
  # No time limits: how long a build takes is the machine's business, and
  # cpack only zips what the build step made.
  (cd "$dir" && cmake --preset release >"$out/$(basename "$dir")-configure.log" 2>&1 &&
    cmake --build --preset release >"$out/$(basename "$dir")-build.log" 2>&1 &&
    cd build/release && cpack >"$out/$(basename "$dir")-cpack.log" 2>&1) ||
    { tail -n 30 "$out"/"$(basename "$dir")"-*.log; echo "FAIL: building in $dir" >&2; exit 1; }
}

started=$SECONDS
build "$work/first"
echo "first clone built in $((SECONDS - started)) s"
sleep 2  # a later second, so that any time that leaks in shows
started=$SECONDS
build "$work/a/much/deeper/second-clone"
echo "second clone built in $((SECONDS - started)) s"

status=0
for f in bin/Sorvane.dll package/Sorvane.dll package/Sorvane.dll.debug dist/Sorvane-*-win64.zip; do
  a=$(cd "$work/first/build/release" && sha256sum $f)
  b=$(cd "$work/a/much/deeper/second-clone/build/release" && sha256sum $f)
  if [ "$a" = "$b" ]; then
    echo "same: $a"
  else
    echo "DIFFERENT: $a / $b"
    status=1
  fi
done
[ $status -eq 0 ] || { echo "FAIL: the two builds differ" >&2; exit 1; }
echo "two builds in different folders at different times gave the same bytes"

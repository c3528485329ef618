#!/usr/bin/env bash
# Two clean builds of what is committed, in folders of different names and
# depths and at different times, must give a bit-identical Sorvane.dll
# (stripped and not), package and MSI.
#
#   tests/release/check-reproducible.sh SOURCE_DIR OUTPUT_DIR
#
# The second build is always a fresh clone built with the `release` preset,
# deep in a temporary folder. The first is, where SORVANE_RELEASE_REFERENCE
# names one, a windows tree built from nothing earlier in the same run
# (scripts/test.sh passes the Wine suite's, made from a fresh configure, with
# the same compiler and flags; warnings as errors do not change the bytes);
# otherwise another fresh clone, built the same way. Clones take what is
# committed: uncommitted changes are in neither; a reference tree is used
# only when nothing is uncommitted. Nothing goes through a compiler cache:
# each build compiles every file itself.
set -euo pipefail
src=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/sorvane-repro.XXXXXX")
trap 'rm -rf "$work"' EXIT
export CCACHE_DISABLE=1
# Both unsigned, as the reference tree is (the Wine suite checks the signing).
unset SORVANE_SIGN_PKCS12 SORVANE_SIGN_PASSWORD_FILE SORVANE_SIGN_PASSWORD
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}

build() {
  local dir=$1 started=$SECONDS
  git clone -q --no-hardlinks "$src" "$dir"
  # No time limits: how long a build takes is the machine's business, and
  # cpack only zips what the build step made.
  (cd "$dir" && cmake --preset release >"$out/$(basename "$dir")-configure.log" 2>&1 &&
    cmake --build --preset release >"$out/$(basename "$dir")-build.log" 2>&1 &&
    cd build/release && cpack >"$out/$(basename "$dir")-cpack.log" 2>&1) ||
    { tail -n 30 "$out"/"$(basename "$dir")"-*.log; echo "FAIL: building in $dir" >&2; exit 1; }
  echo "built $dir in $((SECONDS - started)) s"
}

reference=${SORVANE_RELEASE_REFERENCE:-}
if [ -n "$reference" ] && [ -n "$(git -C "$src" status --porcelain)" ]; then
  echo "uncommitted changes in $src: not comparing against $reference"
  reference=""
fi
if [ -n "$reference" ]; then
  first=$(cd "$reference" && pwd)
  echo "first build: $first, from earlier in this run"
else
  build "$work/first"
  first=$work/first/build/release
  sleep 2  # a later second, so that any time that leaks in shows
fi
build "$work/a/much/deeper/second-clone"
second=$work/a/much/deeper/second-clone/build/release

status=0
for f in bin/Sorvane.dll package/Sorvane.dll package/Sorvane.dll.debug dist/Sorvane-*-win64.zip \
  dist/Sorvane-*-win64.msi; do
  a=$(cd "$first" && sha256sum $f)
  b=$(cd "$second" && sha256sum $f)
  if [ "$a" = "$b" ]; then
    echo "same: $a"
  else
    echo "DIFFERENT: $a / $b"
    status=1
  fi
done
[ $status -eq 0 ] || { echo "FAIL: the two builds differ" >&2; exit 1; }
echo "two builds in different folders at different times gave the same bytes"

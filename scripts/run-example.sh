#!/usr/bin/env bash
# The main job: builds the module and the simulated host, and runs one of the
# example sessions over the example drawing (examples/bracket.json) with a
# throw-away registry. The log goes to the terminal; the drawing before and
# after the session is drawn as pictures.
#
#   scripts/run-example.sh [figure|annotation|dimension|settings]   (default: figure)
#
# The figure session's pictures are docs/example-before.svg and
# docs/example-after.svg, shown in the README; another session's go to
# build/linux/examples/NAME-before.svg and NAME-after.svg.
#
# It installs only what the example needs (scripts/install-deps.sh example),
# and so builds the tests only when GoogleTest is already there;
# scripts/test.sh installs the rest and builds them.
set -euo pipefail
cd "$(dirname "$0")/.."
# Builds use every core unless CMAKE_BUILD_PARALLEL_LEVEL says otherwise.
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}

example="${1:-figure}"
case "$example" in
  figure | annotation | dimension | settings) ;;
  *)
    echo "usage: scripts/run-example.sh [figure|annotation|dimension|settings]" >&2
    exit 2
    ;;
esac

scripts/install-deps.sh example
tests=OFF
dpkg-query -W -f='${Status}' libgtest-dev 2>/dev/null | grep -q "install ok installed" && tests=ON
cmake --preset linux -DSORVANE_BUILD_TESTS="$tests" >/dev/null
cmake --build --preset linux --target Sorvane vekhost

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

mkdir -p build/linux/examples
pictures="docs/example"
[ "$example" = figure ] || pictures="build/linux/examples/$example"
result="build/linux/examples/$example-result.json"

build/linux/vekhost/vekhost examples/bracket.json --script "examples/$example.vks" \
  --registry "$work/registry.reg" --out "$result" \
  --svg-before "$pictures-before.svg" --svg "$pictures-after.svg"

echo
echo "drawing after the session: $result"
echo "pictures: $pictures-before.svg $pictures-after.svg"

#!/usr/bin/env bash
# The main job: builds the module and the simulated host, and runs one of the
# example sessions over the example drawing (examples/bracket.json) with a
# throw-away registry. The log goes to the terminal; the drawing before and
# after the session goes to docs/ as pictures.
#
#   scripts/run-example.sh [figure|annotation|dimension|settings]   (default: figure)
#
# The figure session's pictures are docs/example-before.svg and
# docs/example-after.svg, shown in the README; another session's go to
# docs/example-NAME-before.svg and docs/example-NAME-after.svg.
set -euo pipefail
cd "$(dirname "$0")/.."

example="${1:-figure}"
case "$example" in
  figure | annotation | dimension | settings) ;;
  *)
    echo "usage: scripts/run-example.sh [figure|annotation|dimension|settings]" >&2
    exit 2
    ;;
esac

scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux --target Sorvane vekhost

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

pictures="docs/example"
[ "$example" = figure ] || pictures="docs/example-$example"
mkdir -p build/linux/examples
result="build/linux/examples/$example-result.json"

build/linux/vekhost/vekhost examples/bracket.json --script "examples/$example.vks" \
  --registry "$work/registry.reg" --out "$result" \
  --svg-before "$pictures-before.svg" --svg "$pictures-after.svg"

echo
echo "drawing after the session: $result"
echo "pictures: $pictures-before.svg $pictures-after.svg"

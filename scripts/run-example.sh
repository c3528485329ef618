#!/usr/bin/env bash
# The main job: builds the module and runs it in the simulated host.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux --target Sorvane vekhost
build/linux/sim/vekhost "$@"

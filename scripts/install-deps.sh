#!/usr/bin/env bash
# Installs the Debian packages a job needs, only those that are missing, so a
# second run costs nothing. Runs as root (or with sudo).
#
#   scripts/install-deps.sh [example|all]   (default: all)
#
# example: what building the module and vekhost and playing an example takes
#          (scripts/run-example.sh);
# all:     that, and the tests, the Windows build and its tests under Wine on a
#          private X display, and the release package and its MSI.
set -euo pipefail

mode="${1:-all}"

example=(
  cmake make g++ pkg-config nlohmann-json3-dev
  # windres: the Linux build compiles the settings dialog's .rc with it too.
  # It preprocesses the script with MinGW's C compiler, which knows where
  # MinGW's windows.h is; the host's compiler cannot read that header.
  binutils-mingw-w64-x86-64 gcc-mingw-w64-x86-64-win32
  # vekhost's line editing and history at the prompt.
  libedit-dev
)
rest=(
  googletest libgtest-dev libgmock-dev libbenchmark-dev zip unzip
  # The release's MSI: wixl, with faketime and msitools' msibuild for the
  # times and the package code wixl cannot fix (cmake/package-msi.cmake);
  # osslsigncode signs the release, and openssl makes the Wine suite's
  # throw-away certificate.
  wixl msitools faketime osslsigncode openssl
  # The golden result drawings are kept as their changes, made whole by patch.
  patch
  # scripts/bench.sh: peak memory and wall time of vekhost (/usr/bin/time -v).
  time python3
  g++-mingw-w64-x86-64-win32
  wine wine64 xvfb xauth x11-utils imagemagick fonts-nanum
  # The fuzzers (clang's libFuzzer) and the static checks.
  clang-14 libclang-rt-14-dev clang-tidy clang-format cppcheck
  # The README's first command tried in a brand-new Debian 12 root.
  mmdebstrap
  # scripts/test.sh: the line and branch coverage of src/, and the compiler
  # cache of its Linux builds.
  gcovr ccache
)

case "$mode" in
  example) packages=("${example[@]}") ;;
  all) packages=("${example[@]}" "${rest[@]}") ;;
  *)
    echo "usage: scripts/install-deps.sh [example|all]" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"

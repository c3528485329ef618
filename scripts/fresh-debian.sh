#!/usr/bin/env bash
# Runs a command from a fresh clone of the project's committed HEAD inside a
# brand-new Debian 12 root file system, with nothing installed beyond a
# minimal base (apt, git, ca-certificates). It is what a new user's machine
# does with the README's commands: a missing install step shows here, and
# nowhere else, since every development machine already has the packages.
#
#   scripts/fresh-debian.sh COMMAND [ARG...]
#   e.g. scripts/fresh-debian.sh scripts/run-example.sh
#
# The base is made once per machine with mmdebstrap and kept outside the
# clone, in /var/cache/sorvane-fresh-debian (SORVANE_FRESH_CACHE); each run
# unpacks it anew, gives it this machine's package sources and name
# resolution, and runs COMMAND in /root/project with CI=true. Uncommitted
# changes are not in the clone.
#
# Exits with COMMAND's status. Where a root cannot be made (not root, no
# mmdebstrap, no package archive reachable), says why and exits 0 without
# running anything, unless SORVANE_FRESH_REQUIRED=1, which makes that exit 2.
set -euo pipefail
cd "$(dirname "$0")/.."

[ $# -gt 0 ] || { echo "usage: scripts/fresh-debian.sh COMMAND [ARG...]" >&2; exit 2; }

cannot() {
  echo "fresh-debian: SKIPPED, $*" >&2
  [ "${SORVANE_FRESH_REQUIRED:-0}" = 1 ] && exit 2
  exit 0
}

[ "$(id -u)" -eq 0 ] || cannot "a new root file system needs root"
command -v mmdebstrap >/dev/null || cannot "mmdebstrap is not installed (scripts/install-deps.sh)"
git rev-parse --verify -q HEAD >/dev/null || cannot "not in a git checkout with a commit"

cache=${SORVANE_FRESH_CACHE:-/var/cache/sorvane-fresh-debian}
base=$cache/bookworm-base.tar
if [ ! -s "$base" ]; then
  mkdir -p "$cache"
  echo "fresh-debian: making the Debian 12 base once, in $base"
  if ! mmdebstrap --quiet --format=tar --variant=apt --include=ca-certificates,git bookworm "$base.part" \
    >"$cache/mmdebstrap.log" 2>&1; then
    tail -n 5 "$cache/mmdebstrap.log" >&2
    rm -f "$base.part"
    cannot "mmdebstrap could not make the base (is a package archive reachable?)"
  fi
  mv "$base.part" "$base"
fi

root=$(mktemp -d /tmp/sorvane-fresh-debian.XXXXXX)
cleanup() {
  for m in "$root/dev/pts" "$root/dev/shm" "$root/proc"; do
    if mountpoint -q "$m"; then umount -R "$m" 2>/dev/null || umount -lR "$m" 2>/dev/null || true; fi
  done
  rm -rf --one-file-system "$root"
}
trap cleanup EXIT

tar -xf "$base" -C "$root"
rm -rf "$root/etc/apt"
cp -a /etc/apt "$root/etc/apt"
cp -L /etc/resolv.conf "$root/etc/resolv.conf"
# The root keeps the device nodes the base was made with rather than this
# machine's /dev: nothing run inside can touch the host's devices, and
# nothing the host has done to them shows inside. Only the pseudo-terminals
# are this machine's, for the tests that type at vekhost's prompt.
mount -t proc proc "$root/proc"
mount -t tmpfs tmpfs "$root/dev/shm"
mount --bind /dev/pts "$root/dev/pts"
ln -sf pts/ptmx "$root/dev/ptmx"

git clone -q --no-local . "$root/root/project"
echo "fresh-debian: $(git -C "$root/root/project" log --oneline -1) in a new Debian 12 root: $*"
started=$SECONDS
status=0
chroot "$root" /usr/bin/env -i HOME=/root CI=true TERM=dumb LANG=C.UTF-8 \
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  bash -c 'cd /root/project && exec "$@"' fresh-debian "$@" || status=$?
echo "fresh-debian: exit $status after $((SECONDS - started)) s"
exit "$status"

#!/bin/sh
# Runs the README's test command, `make test`, from a clean clone of the committed HEAD
# inside a fresh Debian 12 made with debootstrap, as a new user's first run would: every
# package comes from install-deps.sh, no cache is warm. Reports how long each step took.
# Needs root and the network. Usage: check-fresh.sh
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
root=$(mktemp -d /var/tmp/tesk-fresh-XXXXXX)
# As in check-deb.sh: only fresh file systems are mounted inside, and removal never crosses
# into a mounted one, so cleaning up cannot touch the host.
cleanup() {
    for p in /proc/[0-9]*; do
        [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ] && kill -9 "${p#/proc/}" 2>/dev/null
    done
    sleep 1
    for m in dev/shm proc; do
        mountpoint -q "$root/$m" && { umount "$root/$m" || umount -l "$root/$m"; }
    done
    rm -rf --one-file-system "$root"
}
trap cleanup EXIT INT TERM
step() { now=$(date +%s); echo "== $1 ($((now - ${last:-$now})) s since the last step)"; last=$now; }

step "debootstrap bookworm into $root"
# make is what the README's command itself needs; the rest comes from install-deps.sh.
debootstrap --variant=minbase --include=make bookworm "$root" "$mirror" >/dev/null
mountpoint -q "$root/proc" || mount -t proc proc "$root/proc"
mkdir -p "$root/dev/shm"
mount -t tmpfs shm "$root/dev/shm"
step "clone of $(git -C "$top" rev-parse --short HEAD)"
git clone -q --no-hardlinks "$top" "$root/root/tesk"
step "make test"
status=0
chroot "$root" env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
    sh -c 'cd /root/tesk && make test' || status=$?
step "done: make test exited with $status"
exit "$status"

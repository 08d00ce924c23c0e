#!/bin/sh
# Runs the README's test command, `make test`, from a clean clone of the committed HEAD
# inside a fresh Debian 12 made with debootstrap, as a new user's first run would: every
# package comes from install-deps.sh, no cache is warm. Reports how long each step took.
# Needs root and the network. Usage: check-fresh.sh
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/scripts/fresh-root.sh"
step() { now=$(date +%s); echo "== $1 ($((now - ${last:-$now})) s since the last step)"; last=$now; }

step "debootstrap bookworm"
# make is what the README's command itself needs; the rest comes from install-deps.sh.
fresh_root fresh make
step "clone of $(git -C "$top" rev-parse --short HEAD)"
git clone -q --no-hardlinks "$top" "$root/root/tesk"
step "make test"
status=0
chroot "$root" env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
    sh -c 'cd /root/tesk && make test' || status=$?
step "done: make test exited with $status"
exit "$status"

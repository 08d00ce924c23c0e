# Sourced by the scripts that try Tesk on a fresh Debian 12: makes one with debootstrap in
# $root and removes it on exit. Only fresh file systems are mounted inside (no bind of the
# host's folders), and removal never crosses into a mounted one, so cleaning up cannot
# touch the host. Usage: fresh_root NAME [EXTRA_PACKAGES]
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
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
fresh_root() {
    root=$(mktemp -d "/var/tmp/tesk-$1-XXXXXX")
    trap cleanup EXIT INT TERM
    debootstrap --variant=minbase ${2:+--include=$2} bookworm "$root" "$mirror" >/dev/null
    mountpoint -q "$root/proc" || mount -t proc proc "$root/proc"
    mkdir -p "$root/dev/shm"
    mount -t tmpfs shm "$root/dev/shm"
}

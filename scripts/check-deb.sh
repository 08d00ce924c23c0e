#!/bin/sh
# Installs the .deb on a clean Debian 12 made with debootstrap, starts the installed Tesk
# under Xvfb there and drives it (open, extract, compress), saving screenshots of the main
# window into the build folder. Needs root. Usage: check-deb.sh BUILD_DIR
set -eu
build=$(cd "$1" && pwd)
top=$(cd "$(dirname "$0")/.." && pwd)
deb=$(ls "$build"/tesk_*.deb | head -n 1)
. "$top/scripts/fresh-root.sh"

echo "== debootstrap bookworm"
fresh_root deb
cp "$deb" "$root/tmp/tesk.deb"
cp "$top/scripts/drive_tesk.py" "$root/tmp/"

echo "== apt-get install ./$(basename "$deb") (its dependencies come from the archive)"
chroot "$root" sh -c 'apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
    /tmp/tesk.deb >/dev/null'
chroot "$root" sh -c 'dpkg -s tesk | grep -E "^(Version|Depends):"'
echo "== the driving tools (not dependencies of the package)"
chroot "$root" sh -c 'DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    xvfb xdotool imagemagick x11-utils python3 zip >/dev/null'
chroot "$root" python3 /tmp/drive_tesk.py /usr/bin/tesk --shots /tmp/shots
mkdir -p "$build/deb-check"
cp "$root"/tmp/shots/*.png "$build/deb-check/"
echo "check-deb: Tesk from the .deb works on a clean Debian 12; screenshots in $build/deb-check"

#!/bin/sh
# Installs a build into a temporary DESTDIR and checks what a desktop expects of it: the
# layout, the desktop entry and metainfo validators, and that the installed program starts
# and finds its engines (it is driven to open, extract and create archives under Xvfb).
# Usage: check-install.sh BUILD_DIR
set -eu
build=$(cd "$1" && pwd)
top=$(cd "$(dirname "$0")/.." && pwd)
dest=$(mktemp -d "${TMPDIR:-/tmp}/tesk-install-XXXXXX")
trap 'rm -rf "$dest"' EXIT

DESTDIR="$dest" cmake --install "$build" --prefix /usr/local >/dev/null
root="$dest/usr/local"
for f in bin/tesk lib/tesk/tesk lib/tesk/libvbuzip10.so lib/tesk/libvbzip11.so \
         share/applications/org.tesk.Tesk.desktop share/metainfo/org.tesk.Tesk.metainfo.xml \
         share/icons/hicolor/scalable/apps/org.tesk.Tesk.svg; do
    [ -e "$root/$f" ] || { echo "missing after install: $f"; exit 1; }
done
for size in 16 32 48 256; do
    [ -e "$root/share/icons/hicolor/${size}x${size}/apps/org.tesk.Tesk.png" ] ||
        { echo "missing icon of $size pixels"; exit 1; }
done
[ "$(readlink "$root/bin/tesk")" = "../lib/tesk/tesk" ] || { echo "bin/tesk is no link"; exit 1; }

desktop-file-validate "$root/share/applications/org.tesk.Tesk.desktop"
appstreamcli validate --no-net --pedantic "$root/share/metainfo/org.tesk.Tesk.metainfo.xml" >/dev/null ||
    { appstreamcli validate --no-net "$root/share/metainfo/org.tesk.Tesk.metainfo.xml"; exit 1; }

python3 "$top/scripts/drive_tesk.py" "$root/bin/tesk"
echo "check-install: the installed Tesk works"

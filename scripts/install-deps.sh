#!/bin/sh
# Installs the Debian packages that building, running and testing Tesk need, and only
# those that are missing. Runs apt-get directly as root, through sudo otherwise.
set -eu

PACKAGES="cmake ninja-build g++ pkg-config qt6-base-dev libzip-dev libdeflate-dev zlib1g-dev libbz2-dev \
liblzma-dev libzstd-dev zstd \
libgtest-dev libgmock-dev zip unzip 7zip libarchive-tools python3 xvfb xauth \
xdotool imagemagick x11-utils desktop-file-utils appstream dpkg-dev"
if [ "${1:-}" = "--extra" ]; then
    shift
    PACKAGES="$PACKAGES $*"
fi

missing=""
for p in $PACKAGES; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    case "$status" in
        *"install ok installed"*) ;;
        *) missing="$missing $p" ;;
    esac
done
# The first start of a Qt program builds the font cache; do it here, not during the tests.
warm_fonts() { if command -v fc-cache >/dev/null; then fc-cache >/dev/null 2>&1 || true; fi; }
[ -z "$missing" ] && { warm_fonts; exit 0; }

echo "Installing:$missing"
if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing
warm_fonts

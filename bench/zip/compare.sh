#!/bin/sh
# Wall time of the zip engine against zip -r -q and 7-Zip on the same tree, same level.
#   bench/zip/compare.sh FOLDER [LEVEL]     (build first: cmake --build build --target zip_bench)
set -eu
folder=$(realpath "$1")
level=${2:-6}
bin=$(dirname "$0")/../../build/bin
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
# Warm the page cache so every tool reads from memory.
tar cf /dev/null -C "$(dirname "$folder")" "$(basename "$folder")"
t() { /usr/bin/time -f "%e s wall, %U s user, %S s sys" "$@"; }
echo "engine:"; t sh -c '"$0" "$1" "$2" "$3" 2>/dev/null' "$bin/zip_bench" "$folder" "$out/engine.zip" "$level"
echo "zip -r -q -$level:"; (cd "$(dirname "$folder")" && t zip -r -q -"$level" "$out/zip.zip" "$(basename "$folder")")
if command -v 7zz >/dev/null; then
    echo "7zz a -tzip -mx=$level:"; (cd "$(dirname "$folder")" && t 7zz a -bd -bso0 -tzip -mx="$level" "$out/7z.zip" "$(basename "$folder")")
fi
ls -l "$out"

#!/bin/sh
# Runs every fuzz target of a fuzz build for a set time, each from its seed corpus.
# Usage: run-fuzzers.sh BUILD_DIR SECONDS
set -eu
build=$1
seconds=$2
top=$(cd "$(dirname "$0")/.." && pwd)
status=0
for target in $(find "$build/fuzz" -type f -name '*_fuzzer' -perm -u+x | sort); do
    name=$(basename "$target")
    corpus="$build/fuzz/corpus/$name"
    mkdir -p "$corpus"
    seeds="$top/fuzz/seeds/$name"
    [ -d "$seeds" ] || seeds=""
    echo "== $name for ${seconds}s"
    # -timeout flags a hang; -rss_limit_mb a memory bomb.
    if ! (cd "$(dirname "$target")" && "./$name" -max_total_time="$seconds" -timeout=20 \
            -rss_limit_mb=2048 -print_final_stats=1 "$corpus" $seeds 2>&1 |
            grep -E "^(stat::|==|INFO: seed corpus|Done|.*ERROR|SUMMARY)" ); then
        :
    fi
    if ls "$(dirname "$target")"/crash-* "$(dirname "$target")"/timeout-* \
          "$(dirname "$target")"/oom-* >/dev/null 2>&1; then
        echo "!! $name found a fault: see $(dirname "$target")"
        status=1
    fi
done
exit $status

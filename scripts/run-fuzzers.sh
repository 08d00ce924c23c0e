#!/bin/sh
# Runs every fuzz target of a fuzz build for a set time, each from its seed corpus
# (fuzz/seeds/<target>/, made by fuzz/make_seeds.py) plus a working corpus that grows from
# run to run, and ends with a line per target: time, executions and corpus size.
# Usage: run-fuzzers.sh BUILD_DIR SECONDS [TARGET...]   (default: every target)
set -eu
build=$1
seconds=$2
shift 2
only="$*"
top=$(cd "$(dirname "$0")/.." && pwd)
status=0
summary=""
for target in $(find "$build/fuzz" -type f -name '*_fuzzer' -perm -u+x | sort); do
    name=$(basename "$target")
    case " ${only:-$name} " in *" $name "*) ;; *) continue ;; esac
    dir=$(cd "$(dirname "$target")" && pwd)
    corpus="$(cd "$build" && pwd)/fuzz/corpus/$name"
    mkdir -p "$corpus"
    seeds="$top/fuzz/seeds/$name"
    [ -d "$seeds" ] || seeds=""
    log="$dir/$name.log"
    echo "== $name for ${seconds}s"
    # -timeout flags a hang; -rss_limit_mb a memory bomb. Findings land in the target's folder.
    (cd "$dir" && "./$name" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
        -print_final_stats=1 "$corpus" $seeds >"$log" 2>&1) || true
    grep -E "^(stat::|INFO: seed corpus|Done|.*ERROR|SUMMARY|FAULT)" "$log" || true
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    summary="$summary$name: ${seconds}s, ${runs:-?} executions, corpus $(ls "$corpus" | wc -l) files
"
    if ls "$dir"/crash-* "$dir"/timeout-* "$dir"/oom-* "$dir"/leak-* >/dev/null 2>&1; then
        echo "!! $name found a fault: see $dir and $log"
        status=1
    fi
done
printf '%s' "$summary"
exit $status

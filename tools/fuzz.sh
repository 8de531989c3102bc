#!/bin/sh
# Runs every fuzz target of a fuzz build for SECONDS each, from the committed
# seed corpus (fuzz/corpus/<name>) plus a working corpus under the build
# folder, and prints each target's execution count and rate. Fails on the
# first finding; the crashing input is left in the build folder.
# Usage: fuzz.sh FUZZ_BUILD_DIR SECONDS
set -e
dir="$1"
seconds="$2"
root="$(cd "$(dirname "$0")/.." && pwd)"
# The image targets write each input to a file under TMPDIR; memory-backed
# /dev/shm keeps that write from costing more than the parse.
[ -z "$TMPDIR" ] && [ -d /dev/shm ] && [ -w /dev/shm ] && export TMPDIR=/dev/shm
for target in "$dir"/fuzz_*; do
    [ -x "$target" ] || continue
    name=$(basename "$target" | sed 's/^fuzz_//')
    work="$dir/work/$name"
    mkdir -p "$work" "$dir/findings"
    dict=""
    [ -f "$root/fuzz/$name.dict" ] && dict="-dict=$root/fuzz/$name.dict"
    # fuzz/<name>.flags: extra libFuzzer flags of one target. The image
    # targets turn the per-input leak scan off: it would walk their 1 MB
    # buffer after every input, and the engine's leaks are the native
    # suites' to find (they run under LeakSanitizer).
    flags=""
    [ -f "$root/fuzz/$name.flags" ] && flags=$(cat "$root/fuzz/$name.flags")
    log="$dir/findings/$name.log"
    if ! "$target" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$dir/findings/$name-" \
        -timeout=10 -rss_limit_mb=2048 $dict $flags "$work" "$root/fuzz/corpus/$name" >"$log" 2>&1; then
        tail -n 40 "$log"
        echo "fuzz: $name found a fault; the input is in $dir/findings/" >&2
        exit 1
    fi
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    echo "fuzz: $name: $execs executions in ${seconds} s ($rate/s), no finding"
done

#!/usr/bin/env bash
# Runs every fuzz target of a sanitize build for a set time.
#   fuzz/run.sh <build folder> <seconds per target> [parallel runs] [target...]
# The programs are <build>/fuzz/fuzz_<name>. Each works on a copy of its seed
# corpus in <build>/fuzz-run/corpus/<name>
# (the copy keeps what it found from run to run; the repository's seeds stay
# as they are) and replays fuzz/regressions/<name> first. A crash, a leak, a
# hang (a single input over 10 s) or more than 2 GB of memory stops the target:
# the input is kept in <build>/fuzz-run/artifacts/<name>/ and the run fails.
set -u
build=${1:?build folder}
seconds=${2:?seconds per target}
jobs=${3:-1}
shift $(( $# < 3 ? $# : 3 ))
here=$(cd "$(dirname "$0")" && pwd)
programs="$build/fuzz"
work="$build/fuzz-run"
mkdir -p "$work/logs"

targets=()
for name in "$@"; do
    targets+=("fuzz_${name#fuzz_}")
done
if [ ${#targets[@]} -eq 0 ]; then
    for program in "$programs"/fuzz_*; do
        [ -x "$program" ] && targets+=("$(basename "$program")")
    done
fi
if [ ${#targets[@]} -eq 0 ]; then
    echo "fuzz/run.sh: no fuzz targets in $programs (build the sanitize preset with clang)" >&2
    exit 1
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

run_one() {
    local program=$1 name=${1#fuzz_}
    local corpus="$work/corpus/$name" artifacts="$work/artifacts/$name/"
    mkdir -p "$corpus" "$artifacts"
    cp -n "$here/corpus/$name"/* "$corpus/" 2>/dev/null || true
    local inputs=("$corpus")
    [ -d "$here/regressions/$name" ] && inputs+=("$here/regressions/$name")
    local scratch
    # Scratch files in memory when there is /dev/shm: the targets save files,
    # and a save waits for the disk.
    scratch=$(mktemp -d -p "$([ -d /dev/shm ] && [ -w /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")")
    TMPDIR=$scratch "$programs/$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len=8192 -print_final_stats=1 -artifact_prefix="$artifacts" "${inputs[@]}" \
        >"$work/logs/$name.log" 2>&1
    local status=$?
    rm -rf "$scratch"
    echo "$status" >"$work/logs/$name.status"
}

running=0
for program in "${targets[@]}"; do
    rm -f "$work/logs/${program#fuzz_}.status"
    run_one "$program" &
    running=$((running + 1))
    if [ "$running" -ge "$jobs" ]; then
        wait -n
        running=$((running - 1))
    fi
done
wait

failed=0
printf '%-16s %12s %8s %8s %s\n' target executions seconds corpus result
for program in "${targets[@]}"; do
    name=${program#fuzz_}
    log="$work/logs/$name.log"
    status=$(cat "$work/logs/$name.status" 2>/dev/null || echo 1)
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    time=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -1)
    units=$(find "$work/corpus/$name" -type f | wc -l)
    if [ "$status" = 0 ]; then
        result=ok
    else
        result="FAILED (exit $status, log $log)"
        failed=1
    fi
    printf '%-16s %12s %8s %8s %s\n' "$name" "${runs:-?}" "${time:-?}" "$units" "$result"
done
if [ "$failed" != 0 ]; then
    for program in "${targets[@]}"; do
        name=${program#fuzz_}
        [ "$(cat "$work/logs/$name.status" 2>/dev/null)" = 0 ] && continue
        echo "---- $name: end of $work/logs/$name.log"
        tail -n 40 "$work/logs/$name.log"
    done
    exit 1
fi

#!/usr/bin/env bash
# Builds the fuzzing harnesses of the file readers in build/fuzz (clang with
# libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer) and runs one of
# them, or all of them (one per core at a time), for the given number of
# seconds each. The corpus grows in build/fuzz/corpus between runs; an input
# that breaks a reader is kept in build/fuzz/findings and the script exits
# with status 1.
#
# usage: scripts/fuzz.sh NAME|all SECONDS
set -euo pipefail
cd "$(dirname "$0")/.."

harnesses=(settings_file sensor_file day_file period_files text_lines alarm_file)
usage() {
    echo "usage: scripts/fuzz.sh NAME|all SECONDS   (NAME: ${harnesses[*]})" >&2
    exit 2
}
[ $# -eq 2 ] && [[ $2 =~ ^[0-9]+$ ]] || usage
if [ "$1" = all ]; then
    selected=("${harnesses[@]}")
elif [[ " ${harnesses[*]} " == *" $1 "* ]]; then
    selected=("$1")
else
    usage
fi
seconds=$2

launcher=()
if command -v ccache > /dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
build=build/fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DQRV_FUZZ=ON -DQRV_BUILD_GUI=OFF -DQRV_BUILD_BENCH=OFF -DQRV_WERROR=ON \
    "${launcher[@]}" > /dev/null
cmake --build "$build" -j "$(nproc)" --target fuzz_seeds "${selected[@]/#/fuzz_}"

# Fuzzes one harness; its verdict goes to $build/fuzz_NAME.verdict, so that
# several run at once, one per core, and are reported in order afterwards.
fuzz_one() {
    local name=$1
    local corpus=$build/corpus/$name
    local log=$build/fuzz_$name.log
    mkdir -p "$corpus" "$build/findings"
    if ! "$build/tests/fuzz/fuzz_$name" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
        -print_final_stats=1 -artifact_prefix="$build/findings/$name-" \
        "$corpus" "$build/tests/fuzz/seeds/$name" > "$log" 2>&1; then
        {
            tail -n 40 "$log"
            echo "fuzz_$name: an input broke the reader, kept in $build/findings (log: $log)"
        } > "$build/fuzz_$name.verdict"
        return
    fi
    local executions coverage
    executions=$(awk '/stat::number_of_executed_units/ {print $2}' "$log")
    coverage=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -n 1)
    echo "fuzz_$name: $executions executions in ${seconds} s, $coverage, nothing found" \
        > "$build/fuzz_$name.verdict"
}

running=0
for name in "${selected[@]}"; do
    rm -f "$build/fuzz_$name.verdict"
    fuzz_one "$name" &
    running=$((running + 1))
    if [ "$running" -ge "$(nproc)" ]; then
        wait -n
        running=$((running - 1))
    fi
done
wait

passed=0
failed=0
for name in "${selected[@]}"; do
    verdict=$build/fuzz_$name.verdict
    if [ -f "$verdict" ] && grep -q 'nothing found$' "$verdict"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
    fi
    cat "$verdict" 2>/dev/null || echo "fuzz_$name: gave no verdict"
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

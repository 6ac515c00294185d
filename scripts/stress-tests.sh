#!/usr/bin/env bash
# Runs the whole test suite of a build N times in a row and stops at the first
# failure, to shake out tests that fail only now and then (races, timing).
#
#   scripts/stress-tests.sh N [--cpus LIST] [--build DIR]
#
# --cpus pins every test to the given cores (taskset syntax: 0 or 0,1), which
# makes threads interleave differently; pinning the script itself with
# taskset does the same. The build (default build/release, made by
# scripts/test-all.sh) is brought up to date first.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
    echo "usage: $0 N [--cpus LIST] [--build DIR]" >&2
    exit 2
}

[[ $# -ge 1 && $1 =~ ^[1-9][0-9]*$ ]] || usage
rounds=$1
shift
cpus=""
build=build/release
while [[ $# -gt 0 ]]; do
    case $1 in
        --cpus) [[ $# -ge 2 ]] || usage; cpus=$2; shift 2 ;;
        --build) [[ $# -ge 2 ]] || usage; build=$2; shift 2 ;;
        *) usage ;;
    esac
done

if [[ ! -f $build/CTestTestfile.cmake ]]; then
    echo "$build is not a configured build: run scripts/test-all.sh first" >&2
    exit 2
fi
# CI's Release build leaves out the test programs the sanitizer builds run;
# every round here runs them all.
cmake -S . -B "$build" -DQRV_ONLY_UNSANITIZED_TESTS=OFF > /dev/null
cmake --build "$build" -j "$(nproc)"

pin=()
if [[ -n $cpus ]]; then
    pin=(taskset -c "$cpus")
fi
# nproc counts only the cores this process may use, so a pinned run does not
# start more tests than it has cores.
jobs=$("${pin[@]}" nproc)

for ((round = 1; round <= rounds; round++)); do
    started=$SECONDS
    if ! "${pin[@]}" ctest --test-dir "$build" --output-on-failure -j "$jobs" >"$build/stress-round.log" 2>&1; then
        cat "$build/stress-round.log"
        echo "stress: round $round of $rounds FAILED (output above, also in $build/stress-round.log)" >&2
        exit 1
    fi
    echo "stress: round $round of $rounds passed in $((SECONDS - started)) s"
done
echo "stress: all $rounds rounds passed"

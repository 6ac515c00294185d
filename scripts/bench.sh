#!/bin/bash
# Runs every benchmark program of bench/ from a Release build and prints the
# figures the station is held to beside their goals, as ratios to a reference
# measured in the same run where there is one (mawk for the reports). The
# table at the end is the README's performance table; each program's own
# output follows it.
#
#   scripts/bench.sh [--build] [--build-dir DIR] [--data DIR] [--quick]
#
#   --build      configure and build the benchmark programs first:
#                  cmake -S . -B DIR -G Ninja -DCMAKE_BUILD_TYPE=Release -DQRV_BUILD_GUI=ON
#                  cmake --build DIR --target <the benchmark programs>
#   --build-dir  the Release build folder (default build/rel)
#   --data       where the generated month of 100 probes is kept between runs
#                (default /tmp/qrv-bench; about 170 MB, made by the first run)
#   --quick      one run of each instead of the best of three
#
# Nothing else is built or installed. A program that is not built, or whose
# reference (mosquitto, chromium) is missing, is listed as skipped with the
# reason. Exit status 1 when a goal of the table is missed, 2 on a usage error.
set -u

cd "$(dirname "$0")/.."
BUILD=build/rel
DATA=/tmp/qrv-bench
BUILD_FIRST=0
RUNS=3
while [ $# -gt 0 ]; do
    case "$1" in
        --build) BUILD_FIRST=1 ;;
        --build-dir) BUILD=${2:?--build-dir wants a folder}; shift ;;
        --data) DATA=${2:?--data wants a folder}; shift ;;
        --quick) RUNS=1 ;;
        -h|--help) sed -n '2,21p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "bench.sh: unknown argument $1 (see --help)" >&2; exit 2 ;;
    esac
    shift
done

BENCH_TARGETS="storage_bench day_stepping_bench report_pdf_bench monitoring_bench install_bench
    freshness_bench station_bench onewire_bench mqtt_bench web_bench startup_bench views_bench"

if [ "$BUILD_FIRST" = 1 ]; then
    cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQRV_BUILD_GUI=ON || exit 1
    # shellcheck disable=SC2086
    cmake --build "$BUILD" --target $BENCH_TARGETS || exit 1
fi

mkdir -p "$DATA"
LOG=$(mktemp -d /tmp/qrv-bench-log-XXXXXX)
MISSED=0
ROWS=()

# The built program of that name, or nothing.
program() {
    find "$BUILD/bench" -type f -name "$1" -perm -u+x 2>/dev/null | head -n 1
}

# run NAME TIMEOUT ARGS...: runs a benchmark program, its output in $LOG/NAME.
run() {
    local name=$1 limit=$2
    shift 2
    local exe
    exe=$(program "$name")
    if [ -z "$exe" ]; then
        echo "not built in $BUILD (scripts/bench.sh --build)" > "$LOG/$name.skipped"
        return 1
    fi
    echo "== $name $*" >&2
    timeout --kill-after=10 "$limit" "$exe" "$@" > "$LOG/$name" 2>&1
    local status=$?
    [ $status -eq 124 ] && echo "(stopped after $limit s)" >> "$LOG/$name"
    return 0
}

# The first number after the label in a program's output.
figure() {
    awk -v label="$2" 'index($0, label) {
        rest = substr($0, index($0, label) + length(label))
        if (match(rest, /[0-9]+(\.[0-9]+)?/)) { print substr(rest, RSTART, RLENGTH); exit }
    }' "$LOG/$1" 2> /dev/null
}

# within VALUE LIMIT: whether VALUE <= LIMIT (and VALUE is a number).
within() {
    [ -n "$1" ] && awk -v v="$1" -v l="$2" 'BEGIN { exit !(v <= l) }'
}

row() {
    ROWS+=("| $1 | $2 | $3 | $4 |")
}

# judge COMMAND...: VERDICT says whether the goal the command checks is met.
judge() {
    if "$@"; then
        VERDICT=met
    else
        VERDICT="**missed**"
        MISSED=1
    fi
}

# --- Reports: the month of 100 probes at one-minute interval -------------------
if run storage_bench 600 "$DATA" --repeat "$RUNS"; then
    month=$(figure storage_bench "month report, 100 probes:")
    mawk=$(figure storage_bench "mawk hourly min/max per key:")
    ratio=$(figure storage_bench "month report / mawk:")
    monthCpu=$(figure storage_bench "(CPU")
    sheet=$(figure storage_bench "daily sheet, 100 probes:")
    month_goal() { within "$month" 150 && within "$ratio" 0.05; }
    judge month_goal
    row "month report, 100 probes at 1-minute interval (statistics and minutes out of range)" \
        "${month:-?} ms (CPU ${monthCpu:-?} ms), ${ratio:-?} x mawk (${mawk:-?} ms)" \
        "<= 150 ms and <= 0.05 x mawk" "$VERDICT"
    row "daily min/max sheet of that month" "${sheet:-?} ms" "-" "-"
else
    row "month report, 100 probes at 1-minute interval" "skipped: $(cat "$LOG/storage_bench.skipped")" \
        "<= 150 ms and <= 0.05 x mawk" "-"
fi

if run report_pdf_bench 600 "$DATA" "$RUNS"; then
    pdf=$(figure report_pdf_bench "best monthly report PDF, 100 pages:")
    text=$(figure report_pdf_bench "best monthly report as text:")
    judge within "$pdf" 1.0
    row "its 100-page PDF (quorvanel-report month --pdf, whole process)" "${pdf:-?} s" "<= 1.0 s" \
        "$VERDICT"
    row "the month report as text (quorvanel-report month, whole process)" "${text:-?} s" "-" "-"
else
    row "its 100-page PDF" "skipped: $(cat "$LOG/report_pdf_bench.skipped")" "<= 1.0 s" "-"
fi

# --- Monitoring: 24 virtual hours of 100 probes on the simulated unit ----------
if run monitoring_bench 300 virtual 24; then
    real=$(figure monitoring_bench "real seconds")
    cpu=$(figure monitoring_bench "cpu seconds")
    judge within "$real" 3.0
    row "24 virtual hours of 100 probes (monitoring_bench virtual 24)" "${real:-?} s (CPU ${cpu:-?} s)" \
        "<= 3.0 s" "$VERDICT"
else
    row "24 virtual hours of 100 probes" "skipped: $(cat "$LOG/monitoring_bench.skipped")" \
        "<= 3.0 s" "-"
fi

# --- The real station: 100 probes to READY=1, and SIGTERM to exit --------------
if run station_bench 600; then
    ready=$(figure station_bench "start to READY=1:")
    judge within "$ready" 15.0
    row "100 probes installed, READY=1 of quorvanel-station (station_bench)" "${ready:-?} s" \
        "<= 15 s" "$VERDICT"
    slowest=$(awk '/into monitoring to exit:/ {
        sub(/.*to exit: */, ""); v = $1 + 0; if (v > m) m = v } END { if (NR) print m }' \
        "$LOG/station_bench")
    stored=$(grep -c "last block stored" "$LOG/station_bench")
    shutdown_goal() { within "$slowest" 2.0 && [ "$stored" = 3 ]; }
    judge shutdown_goal
    row "SIGTERM to exit while monitoring, slowest of three phases (station_bench)" \
        "${slowest:-?} s, last block stored ${stored}/3" "< 2 s, block stored" "$VERDICT"
else
    row "100 probes installed, READY=1 of quorvanel-station" \
        "skipped: $(cat "$LOG/station_bench.skipped")" "<= 15 s" "-"
fi
# --- Freshness: the longest interval between readings of any of 100 probes ----
if run freshness_bench 300 20; then
    together=$(figure freshness_bench "  simultaneous conversion:")
    single=$(figure freshness_bench "  one probe a step:")
    mixed=$(figure freshness_bench "mixed, simultaneous:")
    judge within "$together" 10.0
    row "each of 100 temperature probes read at least every (simultaneous conversion, freshness_bench)" \
        "${together:-?} s (one probe a step: ${single:-?} s)" "10 s" "$VERDICT"
    row "the same with 9 humidity and 9 switch probes among them" "${mixed:-?} s" "-" "-"
else
    row "each of 100 probes read at least every (simultaneous conversion)" \
        "skipped: $(cat "$LOG/freshness_bench.skipped")" "10 s" "-"
fi

# --- The other benchmarks: their own figures and targets ------------------------
run install_bench 300
run onewire_bench 300
run day_stepping_bench 300 --repeat 20
export QT_QPA_PLATFORM=offscreen
run startup_bench 300 "$RUNS"
run views_bench 300 "$RUNS"
run web_bench 300 5 4
if command -v mosquitto > /dev/null; then
    port=$((20000 + RANDOM % 20000))
    mosquitto -p "$port" > "$LOG/mosquitto.log" 2>&1 &
    broker=$!
    sleep 0.5
    run mqtt_bench 300 virtual 1 "$port"
    kill "$broker" 2> /dev/null
    wait "$broker" 2> /dev/null
else
    echo "mosquitto is not installed" > "$LOG/mqtt_bench.skipped"
fi
if command -v node > /dev/null && command -v chromium > /dev/null &&
    [ -d "$BUILD/tests/browser/node_modules" ] && [ -x "$BUILD/src/app/station/quorvanel-station" ]; then
    echo "== page_load_bench.mjs" >&2
    timeout 300 node bench/web/page_load_bench.mjs \
        --station-program "$BUILD/src/app/station/quorvanel-station" --web-root web \
        --node-modules "$BUILD/tests/browser/node_modules" --loads 5 --seconds 15 \
        > "$LOG/page_load_bench.mjs" 2>&1
else
    echo "needs node, chromium, puppeteer-core in $BUILD/tests/browser/node_modules and" \
        "quorvanel-station in $BUILD" > "$LOG/page_load_bench.mjs.skipped"
fi

echo
echo "Performance, $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, commit" \
    "$(git rev-parse --short HEAD 2> /dev/null || echo '?'), best of $RUNS:"
echo
echo "| what | measured | goal | |"
echo "| --- | --- | --- | --- |"
printf '%s\n' "${ROWS[@]}"
for file in "$LOG"/*; do
    name=$(basename "$file")
    echo
    case "$name" in
        *.skipped) echo "### ${name%.skipped}: skipped, $(cat "$file")" ;;
        mosquitto.log) continue ;;
        *) echo "### $name"; sed 's/^/    /' "$file" ;;
    esac
done
rm -rf "$LOG"
exit $MISSED

#!/usr/bin/env bash
# An independent DS2480B master (owserver from Debian's owfs) drives the
# simulated unit on its pseudo-terminal: every run must list the unit's
# devices and, through each coupler's main branch, the devices of its line,
# and the readings must agree with quorvanel-onewire scan within each
# family's resolution.
# usage: owserver_witness.sh QUORVANEL-NODEX-SIM QUORVANEL-ONEWIRE [RUNS]
set -u
sim=$1
tool=$2
runs=${3:-20}

fail() {
    echo "FAIL: $*"
    exit 1
}

for program in owserver owdir owread; do
    command -v "$program" >/dev/null ||
        fail "$program is not installed (scripts/install-deps.sh installs it)"
done

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null
    done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

"$sim" >"$work/sim.out" 2>"$work/sim.err" &
pids+=($!)
for _ in $(seq 50); do
    [ -s "$work/sim.out" ] && break
    sleep 0.1
done
pty=$(head -1 "$work/sim.out")
[ -c "$pty" ] || fail "the simulator printed no terminal: $(cat "$work/sim.err")"

# The station's view: "LINE ROM NAME  reading  (chip values)" per device.
timeout 60 "$tool" --device "$pty" scan >"$work/scan.txt" 2>"$work/scan.err" ||
    fail "quorvanel-onewire scan: $(cat "$work/scan.err")"

owfs_id() { echo "${1:0:2}.${1:2:12}"; }
devices_of_line() { awk -v line="$1" '$1 == line { print $2 }' "$work/scan.txt" | while read -r rom; do owfs_id "$rom"; done | sort; }
coupler_of_line() { owfs_id "$(grep "coupler of line $1)" "$work/scan.txt" | awk '{ print $2 }')"; }
ids_in() { sed 's|.*/||' | grep -E '^[0-9A-F]{2}\.[0-9A-F]{12}$' | sort; }
near() { awk -v a="$1" -v b="$2" -v t="$3" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(d <= t + 1e-9) }'; }

start_owserver() {
    for _ in 1 2 3; do
        port=$((20000 + RANDOM % 20000))
        timeout 120 owserver -d "$pty" --foreground -p "127.0.0.1:$port" >"$work/owserver.log" 2>&1 &
        owserver_pid=$!
        pids+=("$owserver_pid")
        for _ in $(seq 50); do
            timeout 5 owdir -s "127.0.0.1:$port" / >/dev/null 2>&1 && return 0
            kill -0 "$owserver_pid" 2>/dev/null || break
            sleep 0.1
        done
        kill "$owserver_pid" 2>/dev/null
        wait "$owserver_pid" 2>/dev/null
    done
    fail "owserver did not start: $(cat "$work/owserver.log")"
}

ow() { timeout 20 "$@" -s "127.0.0.1:$port"; }

check_readings() {
    local line rom name id branch value expected
    while read -r line rom name rest; do
        [[ "$line" =~ ^[1-9]$ ]] || continue
        id=$(owfs_id "$rom")
        branch="/uncached/$(coupler_of_line "$line")/main/$id"
        case "${rom:0:2}" in
            28 | 10)
                expected=$(sed -n 's/.*(chip \([-0-9.]*\) .*/\1/p' <<<"$rest")
                value=$(ow owread "$branch/temperature")
                # DS18B20: 1/16 °C; DS18S20 and DS1820: 1/2 °C.
                tolerance=0.0625
                [ "${rom:0:2}" = 10 ] && tolerance=0.5
                near "$value" "$expected" "$tolerance" ||
                    fail "$id temperature: owserver $value, station chip value $expected"
                ;;
            26)
                for field in VDD VAD; do
                    expected=$(sed -n "s/.*$field \([-0-9.]*\) V.*/\1/p" <<<"$rest")
                    value=$(ow owread "$branch/$field")
                    near "$value" "$expected" 0.01 ||
                        fail "$id $field: owserver $value, station $expected"
                done
                expected=$(sed -n 's/.*V, \([-0-9.]*\) .*/\1/p' <<<"$rest")
                value=$(ow owread "$branch/temperature")
                near "$value" "$expected" 0.03125 ||
                    fail "$id temperature: owserver $value, station $expected"
                ;;
            12)
                expected=$(awk '{ print $1 }' <<<"$rest")
                value=$(ow owread "$branch/sensed.A" | tr -d ' ')
                [ "$value" = "$expected" ] ||
                    fail "$id sensed.A: owserver $value, station $expected"
                ;;
        esac
    done <"$work/scan.txt"
}

for run in $(seq "$runs"); do
    start_owserver
    trunk=$(ow owdir /uncached/ | ids_in)
    [ "$trunk" = "$(devices_of_line 0)" ] ||
        fail "run $run: owserver listed the trunk as [$trunk], the station [$(devices_of_line 0)]"
    for line in 1 2 3; do
        listed=$(ow owdir "/uncached/$(coupler_of_line "$line")/main/" | ids_in)
        [ "$listed" = "$(devices_of_line "$line")" ] ||
            fail "run $run: line $line through its coupler's main branch: [$listed]"
    done
    # Readings once: they take seconds each, the listings are what varied.
    [ "$run" -eq 1 ] && check_readings
    kill "$owserver_pid"
    wait "$owserver_pid" 2>/dev/null
done
echo "owserver listed the unit and its three lines in $runs runs out of $runs; readings agree"
kill -USR1 "${pids[0]}"
sleep 0.2
cat "$work/sim.err"

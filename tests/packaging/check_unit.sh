#!/bin/sh
# Checks the service unit as systemd would load it: `systemd-analyze verify`
# must pass, and its exposure must rate 2.0 or lower.
# Usage: check_unit.sh UNIT STATION_PROGRAM
set -eu
unit=$1
program=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The unit names the installed program; verify checks that it exists, so the
# copy checked names the one just built.
sed "s|/usr/bin/quorvanel-station|$program|" "$unit" > "$work/quorvanel.service"
grep -q "^ExecStart=$program " "$work/quorvanel.service"

systemd-analyze verify --man=no "$work/quorvanel.service"

report=$(systemd-analyze security --offline=true "$work/quorvanel.service")
level=$(printf '%s\n' "$report" |
    sed -n 's/.*Overall exposure level for quorvanel.service: \([0-9.]*\).*/\1/p')
if [ -z "$level" ]; then
    printf '%s\n' "$report"
    echo "no exposure level in the report" >&2
    exit 1
fi
echo "exposure level: $level"
if ! awk -v level="$level" 'BEGIN { exit !(level <= 2.0) }'; then
    printf '%s\n' "$report" | grep '✗'
    echo "exposure $level is above 2.0" >&2
    exit 1
fi

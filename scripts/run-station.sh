#!/usr/bin/env bash
# Installs what is missing, builds the station and starts it on the simulated
# interface unit. Extra arguments are passed to the station.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/release -j "$(nproc)" --target quorvanel quorvanel-sms-file \
    quorvanel-sms-gammu quorvanel-nodex-sim quorvanel-onewire
exec build/release/src/app/quorvanel --simulate "$@"

#!/usr/bin/env bash
# Builds quorvanel_VERSION_ARCH.deb from the Release build: the station, the
# service program, the tools and SMS adapters, man pages, the unit, desktop
# entry, icon and metainfo. Dependencies come from the binaries
# (dpkg-shlibdeps). Works on a fresh clone: it configures and builds what is
# missing. The package lands in the build folder; its path is printed last.
#
# Usage: scripts/package.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}

if [ ! -f "$build/CMakeCache.txt" ]; then
    launcher=()
    if command -v ccache >/dev/null 2>&1; then
        launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    fi
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release "${launcher[@]}"
fi
cmake --build "$build" -j "$(nproc)" --target quorvanel quorvanel-station quorvanel-report \
    quorvanel-onewire quorvanel-nodex-sim quorvanel-sms-file quorvanel-sms-gammu qrv_package_files

rm -f "$build"/quorvanel_*.deb
(cd "$build" && cpack -G DEB > cpack.log) || { cat "$build/cpack.log"; exit 1; }
deb=$(ls "$build"/quorvanel_*.deb)
echo "$deb"

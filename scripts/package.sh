#!/usr/bin/env bash
# Builds the Debian packages from debian/ with dpkg-buildpackage, in the
# Release build folder, so that the build the tests run in is the one
# packaged: quorvanel-station (the service, no Qt), quorvanel-report,
# quorvanel (the window), quorvanel-tools, quorvanel-data and their dbgsym
# packages. Works on a fresh clone: it configures and builds what is
# missing. The packages land in BUILD_DIR/debian-packages; their paths are
# printed last, one a line.
#
# Usage: scripts/package.sh [BUILD_DIR]   (default build/release)
# QRV_CMAKE_OPTIONS adds CMake options (scripts/test-all.sh: -DQRV_WERROR=ON).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
out=$build/debian-packages

options=${QRV_CMAKE_OPTIONS:-}
if command -v ccache > /dev/null 2>&1; then
    options="$options -DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
fi

rm -rf "$out"
mkdir -p "$out"
out=$(cd "$out" && pwd)
version=$(dpkg-parsechangelog -S Version)
arch=$(dpkg-architecture -q DEB_HOST_ARCH)
log=$out/dpkg-buildpackage.log
if ! QRV_BUILD_DIR=$build QRV_PACKAGE_DIR=$out QRV_CMAKE_OPTIONS=$options \
    dpkg-buildpackage -us -uc -b -j"$(nproc)" \
    --buildinfo-file="$out/quorvanel_${version}_$arch.buildinfo" --buildinfo-option=-u"$out" \
    --changes-file="$out/quorvanel_${version}_$arch.changes" --changes-option=-u"$out" \
    > "$log" 2>&1; then
    tail -n 60 "$log" >&2
    echo "dpkg-buildpackage failed: $log" >&2
    exit 1
fi
ls "$out"/*.deb

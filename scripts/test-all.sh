#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the Release
# build (the one users and packagers make, built as the Debian packages) with
# the tests that need it and the packages' check, then every test program
# under AddressSanitizer (the station's libraries under UndefinedBehavior-
# Sanitizer too), then the threaded tests under ThreadSanitizer, then every
# file-reader fuzzing harness for a few seconds (when clang is there). Compiler warnings are errors here.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=$(nproc)
# A compiler cache, where the machine has one, makes a rerun after a small
# change take minutes instead of a quarter of an hour; the result is the same.
launcher=()
if command -v ccache > /dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

# The Release build is what users and packagers get: dpkg-buildpackage makes
# it from debian/ (Debian's hardening flags and layout) in build/release, with
# its programs, the benchmarks, and the tests that need the optimised programs
# (the browser test, the week-long soak, the independent 1-Wire master), which
# run there; its packages are checked. Every other test program runs below
# under the sanitizers, built once there.
# Line tables (-g1) instead of full debug information: a quarter of this
# build's compile time, and the packages are checked here, not shipped.
built=$(DEB_CXXFLAGS_APPEND=-g1 QRV_CMAKE_OPTIONS=-DQRV_WERROR=ON scripts/package.sh build/release)
ctest --test-dir build/release --output-on-failure -L unsanitized -j "$jobs"
mapfile -t packages <<< "$built"
scripts/check-package.sh "${packages[@]}"

# Line tables are all a sanitizer's report needs; full debug information
# costs compile and link time in the two largest builds.
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DQRV_SANITIZE=ON \
    -DQRV_BUILD_BENCH=OFF -DQRV_WERROR=ON "${launcher[@]}"
cmake --build build/asan -j "$jobs"
QT_QPA_PLATFORM=offscreen ctest --test-dir build/asan --output-on-failure -j "$jobs"

cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DQRV_TSAN=ON \
    -DQRV_BUILD_GUI=OFF -DQRV_BUILD_BENCH=OFF -DQRV_WERROR=ON "${launcher[@]}"
# Only the threaded tests run under ThreadSanitizer, so only they are built.
mapfile -t threaded < <(ctest --test-dir build/tsan -N -L threaded | awk '/Test +#/ {print $3}')
cmake --build build/tsan -j "$jobs" --target "${threaded[@]}"
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build/tsan --output-on-failure -L threaded -j "$jobs"

if command -v clang++ > /dev/null; then
    scripts/fuzz.sh all 10
fi

#!/usr/bin/env bash
# Installs the Debian 12 packages the station needs to build, run and test.
# Does nothing when they are all present; needs root (or sudo) otherwise.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config openssl
    qt6-base-dev qt6-charts-dev qt6-translations-l10n libqt6opengl6-dev libgl-dev fonts-dejavu-core
    libfmt-dev nlohmann-json3-dev libtomlplusplus-dev libsystemd-dev libcurl4-openssl-dev libssl-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-dev lld
    mawk poppler-utils python3-aiosmtpd
    debhelper lintian
    owserver ow-shell
    mosquitto mosquitto-clients libmosquitto-dev
    libmicrohttpd-dev libgnutls28-dev libsodium-dev libjs-chart.js
    chromium nodejs
)

missing=()
# The browser test's puppeteer-core comes from npm, which comes with
# NodeSource's nodejs and is a package of its own with Debian's.
if ! command -v npm > /dev/null; then
    packages+=(npm)
fi
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"

#!/usr/bin/env bash
# Checks what the Debian package holds: every program with its man page, the
# unit, the desktop entry, the icon, the metainfo, the maintainer scripts, and
# dependencies computed from the binaries. Runs lintian when it is installed.
#
# Usage: scripts/check-package.sh quorvanel_VERSION_ARCH.deb
set -euo pipefail
deb=$1
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
missing=0
need() {
    if ! grep -qx "\./$1" <<< "$contents"; then
        echo "missing from $deb: /$1" >&2
        missing=1
    fi
}
for program in quorvanel quorvanel-report quorvanel-onewire quorvanel-nodex-sim \
    quorvanel-sms-file quorvanel-sms-gammu; do
    need "usr/bin/$program"
    need "usr/share/man/man1/$program.1.gz"
done
need usr/bin/quorvanel-station
need usr/share/man/man8/quorvanel-station.8.gz
need usr/share/man/man5/quorvanel.toml.5.gz
need lib/systemd/system/quorvanel.service
need usr/lib/sysusers.d/quorvanel.conf
need usr/share/applications/quorvanel.desktop
need usr/share/icons/hicolor/scalable/apps/quorvanel.svg
need usr/share/metainfo/io.github.quorvanel.Quorvanel.metainfo.xml
need usr/share/doc/quorvanel/copyright
need usr/share/doc/quorvanel/examples/60-quorvanel.rules
need usr/share/quorvanel/web/index.html
need usr/share/quorvanel/web/login.html
need usr/lib/quorvanel/libssl.so
need usr/lib/quorvanel/libcrypto.so

control=$(mktemp -d)
trap 'rm -rf "$control"' EXIT
dpkg-deb -e "$deb" "$control"
for script in postinst prerm postrm; do
    [ -x "$control/$script" ] || { echo "no $script in $deb" >&2; missing=1; }
done
grep -q "systemd-sysusers quorvanel.conf" "$control/postinst" || missing=1
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libsystemd0 libqt6widgets6 libcivetweb1 libsodium23 libssl3 libjs-chart.js; do
    if ! grep -q "$library" <<< "$depends"; then
        echo "Depends lacks $library: $depends" >&2
        missing=1
    fi
done
# A program that names OpenSSL's development names must find the package's
# own, not those of a development package that may not be installed.
unpacked="$control/root"
dpkg-deb -x "$deb" "$unpacked"
for program in "$unpacked"/usr/bin/*; do
    if readelf -d "$program" | grep -qE 'NEEDED.*\[lib(ssl|crypto)\.so\]' &&
        ! readelf -d "$program" | grep -qE 'RUNPATH.*\[\$ORIGIN/\.\./lib/quorvanel\]'; then
        echo "$(basename "$program") would not find usr/lib/quorvanel" >&2
        missing=1
    fi
done
[ "$missing" -eq 0 ] || exit 1

if command -v lintian > /dev/null; then
    lintian --fail-on error "$deb"
fi
echo "$deb: contents, scripts and dependencies as required"

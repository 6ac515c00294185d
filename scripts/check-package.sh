#!/usr/bin/env bash
# Checks the Debian packages scripts/package.sh built: each holds its
# programs with their man pages, quorvanel-station depends on no Qt and runs
# its unit, user and state directory through debhelper's scripts, the
# programs carry Debian's hardening (BIND_NOW, stack protector, fortified
# calls), and lintian finds no error and no warning in any package.
#
# Usage: scripts/check-package.sh PACKAGE.deb...
set -euo pipefail
declare -A debs
for deb in "$@"; do
    debs[$(dpkg-deb -f "$deb" Package)]=$deb
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() {
    echo "$*" >&2
    failed=1
}

# need PACKAGE PATH...: the package holds every path.
need() {
    local package=$1
    shift
    local deb=${debs[$package]:-}
    if [ -z "$deb" ]; then
        fail "no package $package among: ${!debs[*]}"
        return
    fi
    local contents
    contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
    for path in "$@"; do
        grep -qx "\./$path" <<< "$contents" || fail "missing from $package: /$path"
    done
}
man1=usr/share/man/man1
need quorvanel-station usr/bin/quorvanel-station usr/bin/quorvanel-sms-file \
    usr/bin/quorvanel-sms-gammu \
    usr/share/man/man8/quorvanel-station.8.gz usr/share/man/man5/quorvanel.toml.5.gz \
    $man1/quorvanel-sms-file.1.gz $man1/quorvanel-sms-gammu.1.gz \
    lib/systemd/system/quorvanel.service usr/lib/sysusers.d/quorvanel.conf \
    usr/lib/tmpfiles.d/quorvanel.conf usr/share/doc/quorvanel-station/README.Debian \
    usr/share/doc/quorvanel-station/examples/60-quorvanel.rules
need quorvanel-report usr/bin/quorvanel-report $man1/quorvanel-report.1.gz
need quorvanel usr/bin/quorvanel $man1/quorvanel.1.gz \
    usr/share/applications/io.github.quorvanel.quorvanel.desktop \
    usr/share/icons/hicolor/scalable/apps/quorvanel.svg \
    usr/share/metainfo/io.github.quorvanel.quorvanel.metainfo.xml
need quorvanel-tools usr/bin/quorvanel-onewire usr/bin/quorvanel-nodex-sim \
    $man1/quorvanel-onewire.1.gz $man1/quorvanel-nodex-sim.1.gz
need quorvanel-data usr/share/quorvanel/web/index.html usr/share/quorvanel/web/login.html

station=${debs[quorvanel-station]:-}
if [ -n "$station" ]; then
    depends=$(dpkg-deb -f "$station" Depends)
    grep -qi qt <<< "$depends" && fail "quorvanel-station depends on Qt: $depends"
    for library in libc6 libsystemd0 libmicrohttpd12 libgnutls30 libsodium23 libssl3 quorvanel-data; do
        grep -q "$library" <<< "$depends" || fail "quorvanel-station lacks $library: $depends"
    done
    dpkg-deb -e "$station" "$work/control"
    grep -q "systemd-sysusers" "$work/control/postinst" || fail "postinst makes no user"
    grep -q "systemd-tmpfiles" "$work/control/postinst" || fail "postinst makes no directory"
    # Never enabled nor started by the package; restarted on upgrade when running.
    grep -q "deb-systemd-invoke try-restart" "$work/control/postinst" ||
        fail "postinst does not restart a running service"
    grep -q "deb-systemd-helper purge" "$work/control/postrm" || fail "purge keeps the enable state"
fi

# Every program: BIND_NOW and the stack protector, and the service's fortified
# calls (the small programs may call nothing that is fortified). Nothing
# names or ships OpenSSL's unversioned development names.
for deb in "${debs[@]}"; do
    rm -rf "$work/root"
    dpkg-deb -x "$deb" "$work/root"
    for program in "$work"/root/usr/bin/*; do
        [ -f "$program" ] || continue
        name=$(basename "$program")
        dynamic=$(readelf -d "$program")
        grep -qE 'FLAGS.*\bNOW\b' <<< "$dynamic" || fail "$name is not linked with -z now"
        symbols=$(readelf --dyn-syms -W "$program")
        grep -q '__stack_chk_fail' <<< "$symbols" || fail "$name has no stack protector"
        if [ "$name" = quorvanel-station ]; then
            grep -qE '__[a-z]+_chk@' <<< "$symbols" || fail "$name calls no fortified function"
        fi
        if grep -qE 'NEEDED.*\[lib(ssl|crypto)\.so\]' <<< "$dynamic"; then
            fail "$name needs an unversioned libssl.so or libcrypto.so"
        fi
    done
    shipped=$(find "$work/root" -name 'libssl.so*' -o -name 'libcrypto.so*')
    [ -z "$shipped" ] || fail "$(basename "$deb") ships OpenSSL's names: $shipped"
done
[ "$failed" -eq 0 ] || exit 1

lintian --fail-on error,warning "$@"
echo "${!debs[*]}: contents, scripts, hardening and lintian as required"

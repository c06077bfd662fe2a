#!/bin/sh
# Builds the Debian packages with CPack and checks what each holds: the
# libraries under their SONAMEs (unversioned links only in the -dev package),
# the helper libraries in their private directory, headers, pkg-config and
# CMake files, programs, the udev rule, manual pages, and the dependencies.
#   debian_packages.sh BUILD_DIR WORK_DIR VERSION
set -eu
build=$1
work=$2
version=$3
major=${version%%.*}

rm -rf "$work"
mkdir -p "$work"
cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# package: the one .deb of that name, unpacked under $work/NAME.
unpack() {
    deb=$(ls "$work"/"$1"_"$version"-*.deb 2>/dev/null || true)
    if [ -z "$deb" ]; then
        fail "no package $1"
        return 1
    fi
    dpkg-deb -x "$deb" "$work/$1"
    dpkg-deb -c "$deb" | sed -e 's/.* \.\///' -e 's/ -> .*//' | sort >"$work/$1.list"
}

# holds PACKAGE PATTERN...: each pattern (a grep -E expression) matches a path.
holds() {
    package=$1
    shift
    for pattern in "$@"; do
        grep -Eq "^$pattern\$" "$work/$package.list" || fail "$package lacks $pattern"
    done
}

lacks() {
    package=$1
    shift
    for pattern in "$@"; do
        ! grep -Eq "^$pattern\$" "$work/$package.list" || fail "$package holds $pattern"
    done
}

soname() {
    readelf -d "$1" | sed -n 's/.*Library soname: \[\(.*\)\]/\1/p'
}

depends_on() {
    dpkg-deb -f "$work/$1"_"$version"-*.deb Depends | grep -Eq "(^|, )$2 \(= $version-[0-9]+\)" ||
        fail "$1 does not depend on $2 of this version"
}

lib='usr/lib(/[a-z0-9_-]+-linux-gnu[a-z]*)?'
for library in portio plrapi; do
    package=lib$library$major
    unpack "$package" || continue
    holds "$package" "$lib/lib$library\\.so\\.$major" "$lib/lib$library\\.so\\.$version" \
        "usr/share/doc/$package/copyright"
    lacks "$package" "$lib/lib$library\\.so" "usr/include/.*"
    file=$(find "$work/$package" -name "lib$library.so.$version")
    [ "$(soname "$file")" = "lib$library.so.$major" ] || fail "lib$library.so.$version has SONAME $(soname "$file")"
    dpkg-deb -f "$work/$package"_"$version"-*.deb Section | grep -qx libs || fail "$package is not in section libs"
done
holds "libportio$major" "$lib/qrm284/libqrm284_platform\\.so" "$lib/qrm284/libkvx512sim\\.so"
depends_on "libplrapi$major" "libportio$major"
dpkg-deb -f "$work/libportio$major"_"$version"-*.deb Depends | grep -q 'libusb-1\.0-0' ||
    fail "libportio$major does not depend on libusb"

if unpack qrm284; then
    holds qrm284 usr/bin/qrm284 usr/bin/kvx512-sim "(usr/)?lib/udev/rules\\.d/70-qrm284-player\\.rules" \
        "usr/share/man/man1/qrm284\\.1\\.gz" "usr/share/man/man1/kvx512-sim\\.1\\.gz"
    lacks qrm284 "$lib/.*\\.so.*" "usr/include/.*"
    zcat "$work/qrm284/usr/share/man/man1/qrm284.1.gz" | grep -q '^\.SS "qrm284 ls"' ||
        fail "the manual page of qrm284 has no section for ls"
    if [ -x "$build/bin/qrm284-updater" ]; then
        holds qrm284 usr/bin/qrm284-updater "usr/share/man/man1/qrm284-updater\\.1\\.gz"
    fi
    depends_on qrm284 "libportio$major"
fi

if unpack libqrm284-dev; then
    holds libqrm284-dev usr/include/portio\\.h usr/include/plrapi\\.h \
        "$lib/libportio\\.so" "$lib/libplrapi\\.so" "$lib/pkgconfig/portio\\.pc" "$lib/pkgconfig/plrapi\\.pc" \
        "$lib/cmake/qrm284/qrm284Config\\.cmake" "$lib/cmake/qrm284/qrm284ConfigVersion\\.cmake" \
        "$lib/cmake/qrm284/qrm284Targets\\.cmake"
    lacks libqrm284-dev "$lib/lib[a-z]+\\.so\\.[0-9.]+"
    depends_on libqrm284-dev "libplrapi$major"
fi

ls "$work"/*.deb | wc -l | grep -qx 4 || fail "$(ls "$work"/*.deb | wc -l) packages instead of 4"
[ $failures -eq 0 ] || exit 1
echo "4 packages checked"

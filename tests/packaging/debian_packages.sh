#!/bin/sh
# Checks the Debian packages dpkg-buildpackage made: lintian --pedantic finds
# no error and no warning; every program runs (--version) from a scratch root
# holding only its own package and the project's packages its Depends name, so
# a dependency left out fails; the simulator ships in kvx512-sim alone; the
# headers are under include/qrm284 and the example builds against the
# development package with pkg-config and with CMake.
#   debian_packages.sh CHANGES_FILE [EXAMPLE_DIR]
set -eu
changes=$(realpath "$1")
example=$(realpath "${2:-$(dirname "$0")/../../examples/manager}")
dir=$(dirname "$changes")
work=$(mktemp -d "${TMPDIR:-/tmp}/debian-packages.XXXXXX")
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

echo "lintian --pedantic $(basename "$changes")"
lintian --pedantic --fail-on error,warning "$changes" || fail "lintian reports errors or warnings"

# The binary packages of the .changes (not the -dbgsym ones), by name.
debs=$(sed -n '/^Files:/,/^[^ ]/s/^ .* \([^ ]*\.deb\)$/\1/p' "$changes" | grep -v -- '-dbgsym_')
[ -n "$debs" ] || fail "no packages in $changes"
for deb in $debs; do
    name=$(dpkg-deb -f "$dir/$deb" Package)
    echo "$dir/$deb" >"$work/$name.deb"
    dpkg-deb -c "$dir/$deb" | sed -e 's/^.* \.\///' -e 's/ -> .*//' >"$work/$name.list"
done
ours=$(ls "$work"/*.deb | sed 's|.*/||; s|\.deb$||')
[ "$(echo "$ours" | wc -l)" -eq 6 ] || fail "$(echo "$ours" | wc -l) packages instead of 6: $ours"

# closure PACKAGE: the package and, transitively, the project's packages its
# Depends name.
closure() {
    todo=$1
    done=""
    while [ -n "$todo" ]; do
        set -- $todo
        next=$1
        shift
        todo="$*"
        case " $done " in *" $next "*) continue ;; esac
        done="$done $next"
        for dep in $(dpkg-deb -f "$(cat "$work/$next.deb")" Depends | tr ',|' '\n\n' | sed 's/^ *//; s/[ (].*//'); do
            [ -f "$work/$dep.deb" ] && todo="$todo $dep"
        done
    done
    echo $done
}

version=$(dpkg-parsechangelog -l "$(dirname "$0")/../../debian/changelog" -S Version | sed 's/-[^-]*$//')
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
for name in $ours; do
    programs=$(grep '^usr/bin/.' "$work/$name.list" || true)
    [ -n "$programs" ] || continue
    root="$work/root-$name"
    packages=$(closure "$name")
    for package in $packages; do
        dpkg-deb -x "$(cat "$work/$package.deb")" "$root"
    done
    for program in $programs; do
        # The wizard needs a display platform to start at all.
        out=$(LD_LIBRARY_PATH="$root/usr/lib/$multiarch" QT_QPA_PLATFORM=offscreen "$root/$program" --version 2>&1) ||
            { fail "$program from $(echo $packages): $out"; continue; }
        echo "$out" | grep -q "$version" || fail "$program --version says \"$out\", not $version"
        echo "$program from $(echo $packages): $out"
    done
done

# KVX512_USB=sim loads the simulated player from kvx512-sim's directory:
# without that package qrm284 says so and finds no player, with it one.
sim_devices() {
    status=0
    out=$(KVX512_USB=sim LD_LIBRARY_PATH="$work/root-qrm284/usr/lib/$multiarch" "$work/root-qrm284/usr/bin/qrm284" devices 2>&1) ||
        status=$?
}
sim_devices
[ $status -eq 3 ] && echo "$out" | grep -q "the simulated player is not installed (kvx512-sim)" ||
    fail "KVX512_USB=sim qrm284 devices without kvx512-sim: status $status: $out"
dpkg-deb -x "$(cat "$work/kvx512-sim.deb")" "$work/root-qrm284"
sim_devices
[ $status -eq 0 ] && echo "$out" | grep -q "^sim-1 " || fail "KVX512_USB=sim qrm284 devices with kvx512-sim: status $status: $out"

# The simulated player, its library and its backend module: kvx512-sim's alone.
for name in $ours; do
    [ "$name" = kvx512-sim ] && continue
    held=$(grep -E 'kvx512|usb_sim' "$work/$name.list" | grep -v '/$' || true)
    [ -z "$held" ] || fail "$name holds" $held
done
for path in usr/bin/kvx512-sim "usr/lib/$multiarch/kvx512-sim/libkvx512sim.so" "usr/lib/$multiarch/kvx512-sim/libqrm284_usb_sim.so"; do
    grep -qx "$path" "$work/kvx512-sim.list" || fail "kvx512-sim lacks $path"
done

# The manual page of qrm284: a section per subcommand, and every environment
# variable the sources read.
page=$(dpkg-deb --fsys-tarfile "$(cat "$work/qrm284.deb")" | tar -xO ./usr/share/man/man1/qrm284.1.gz | zcat)
for subcommand in $(LD_LIBRARY_PATH="$work/root-qrm284/usr/lib/$multiarch" "$work/root-qrm284/usr/bin/qrm284" --help | sed -n '/^Subcommands:/,/^$/s/^  \([a-z0-9-]*\).*/\1/p'); do
    echo "$page" | grep -q "^\.SS \"qrm284 $subcommand\"" || fail "qrm284(1) has no section for $subcommand"
done
source=$(dirname "$0")/../..
for variable in $(grep -rhoE '"KVX512_[A-Z_]+"' --include='*.cpp' --include='*.h' "$source/platform" "$source/tools" \
    "$source/portio" "$source/plrapi" "$source/updater" "$source/sim" | tr -d '"' | sort -u); do
    echo "$page" | grep -Eq "^\.BI? $variable( |=|\$)" || fail "qrm284(1) does not describe $variable"
done

# Headers only under include/qrm284.
[ "$(grep -E '^usr/include/[^/]+$' "$work/libqrm284-dev.list")" = "" ] || fail "headers outside usr/include/qrm284"
for header in portio.h plrapi.h; do
    grep -qx "usr/include/qrm284/$header" "$work/libqrm284-dev.list" || fail "libqrm284-dev lacks usr/include/qrm284/$header"
done

# The example against the development package's closure, both ways.
root="$work/root-dev"
for package in $(closure libqrm284-dev); do
    dpkg-deb -x "$(cat "$work/$package.deb")" "$root"
done
mkdir -p "$work/by-pkg-config"
PKG_CONFIG_PATH="$root/usr/lib/$multiarch/pkgconfig" make -s --no-print-directory -C "$work/by-pkg-config" -f "$example/Makefile" \
    VPATH="$example" CXXFLAGS="-Wall -Wextra -Werror" LDFLAGS="-Wl,-rpath-link,$root/usr/lib/$multiarch" ||
    fail "the example does not build with pkg-config against libqrm284-dev"
{ cmake -S "$example" -B "$work/by-cmake" -G Ninja -DCMAKE_PREFIX_PATH="$root/usr" \
    -DCMAKE_CXX_FLAGS="-Wall -Wextra -Werror" >"$work/cmake.log" 2>&1 &&
    cmake --build "$work/by-cmake" >>"$work/cmake.log" 2>&1; } ||
    { cat "$work/cmake.log"; fail "the example does not build with find_package against libqrm284-dev"; }

[ $failures -eq 0 ] || { echo "$failures failures"; exit 1; }
echo "$(echo "$ours" | wc -l) packages checked"

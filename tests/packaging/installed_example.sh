#!/bin/sh
# Installs the build into a staging prefix, builds the example manager program
# against it twice (pkg-config, find_package), then with the installed
# kvx512-sim: one build uploads a file, the other lists it, qrm284 shows it.
#   installed_example.sh CMAKE BUILD_DIR WORK_DIR LIBDIR EXAMPLE_DIR SIM_SERVER_SH CXX "CXXFLAGS"
set -eu
cmake=$1
build=$2
work=$3
libdir=$4
example=$5
server=$6
compiler=$7
flags=$8

rm -rf "$work"
mkdir -p "$work/by-pkg-config"
prefix=$work/prefix
"$cmake" --install "$build" --prefix "$prefix" >/dev/null
"$prefix/bin/qrm284" --version

export PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig"
echo "portio $(pkg-config --modversion portio) plrapi $(pkg-config --modversion plrapi)"
# Under dpkg-buildpackage make runs as a sub-make, which would print its
# directory into the output the test reads.
make -s --no-print-directory -C "$work/by-pkg-config" -f "$example/Makefile" VPATH="$example" CXX="$compiler" \
    CXXFLAGS="$flags -Wall -Wextra -Werror" LDFLAGS="-Wl,-rpath,$prefix/$libdir"
unset PKG_CONFIG_PATH

"$cmake" -S "$example" -B "$work/by-find-package" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_CXX_COMPILER="$compiler" -DCMAKE_CXX_FLAGS="$flags -Wall -Wextra -Werror" >/dev/null
"$cmake" --build "$work/by-find-package" >/dev/null

# A file of 40,000 bytes: more than one 32 KiB block.
head -c 40000 /dev/zero | tr '\0' 'n' >"$work/notes.txt"
"$server" start "$work/server" "$prefix/bin/kvx512-sim" >/dev/null
trap '"$server" stop "$work/server"' EXIT
"$server" run "$work/server" "$work/by-pkg-config/qrm284-manager" "$work/notes.txt"
"$server" run "$work/server" "$work/by-find-package/qrm284-manager"
"$server" run "$work/server" "$prefix/bin/qrm284" ls | grep notes.txt

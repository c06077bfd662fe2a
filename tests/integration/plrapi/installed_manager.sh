#!/bin/sh
# Installs the libraries and their headers into a prefix of their own, builds
# a manager program there against the installed headers alone, and runs it
# against kvx512-sim over USB/IP.
#   installed_manager.sh CMAKE BUILD_DIR WORK_DIR LIBDIR CXX "CXXFLAGS" SIM_SERVER_SH KVX512_SIM SOURCE
set -eu
cmake=$1
build=$2
work=$3
libdir=$4
compiler=$5
flags=$6
server=$7
simulator=$8
source=$9

rm -rf "$work"
mkdir -p "$work"
prefix=$work/prefix
for piece in platform sim portio plrapi; do
    "$cmake" --install "$build/$piece" --prefix "$prefix" >/dev/null
done
# shellcheck disable=SC2086 # the flags are words
"$compiler" $flags -std=c++20 -Wall -Wextra -Werror -I"$prefix/include/qrm284" "$source" -o "$work/manager" \
    -L"$prefix/$libdir" -lplrapi -lportio -Wl,-rpath,"$prefix/$libdir"

"$server" start "$work/server" "$simulator"
trap '"$server" stop "$work/server"' EXIT
"$server" run "$work/server" "$work/manager"

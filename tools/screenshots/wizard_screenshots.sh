#!/bin/sh
# Makes the README's pictures of the update wizard: every page of a whole
# update of kvx512-sim, and page 1 in Korean, as the wizard draws them on an
# X server of its own. Run by hand after a build with the tests (it needs
# Debian's xvfb and xauth):
#
#   tools/screenshots/wizard_screenshots.sh [BUILD_DIR [OUT_DIR]]
#
# BUILD_DIR defaults to build/default, OUT_DIR to docs/screenshots.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/default}
out=${2:-$root/docs/screenshots}
for program in kvx512-sim wizard_screenshots; do
  if [ ! -x "$build/bin/$program" ]; then
    echo "$0: $build/bin/$program is missing: build the project with its tests first" >&2
    exit 1
  fi
done
command -v xvfb-run >/dev/null || { echo "$0: xvfb-run is missing (apt-get install xvfb xauth)" >&2; exit 1; }

work=$(mktemp -d)
sim=
stop_sim() {
  if [ -n "$sim" ]; then
    kill "$sim" 2>/dev/null || true
    wait "$sim" 2>/dev/null || true
    sim=
  fi
}
trap 'stop_sim; rm -rf "$work"' EXIT

# A fresh simulated player each run: application firmware 1.43.10, so that
# the run goes through all five pages.
start_sim() {
  rm -f "$work/port"
  "$build/bin/kvx512-sim" --port 0 --port-file "$work/port" --format-delay 100 >/dev/null &
  sim=$!
  tries=0
  while [ ! -s "$work/port" ]; do
    tries=$((tries + 1))
    [ "$tries" -le 100 ] || { echo "$0: kvx512-sim did not start" >&2; exit 1; }
    sleep 0.1
  done
}

# shoot LOCALE PREFIX STOPS
shoot() {
  start_sim
  KVX512_USB="usbip://127.0.0.1:$(cat "$work/port")" LANG="$1" LC_ALL= QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1280x1024x24" "$build/bin/wizard_screenshots" "$work" "$2" "$3"
  stop_sim
}

shoot C.UTF-8 en 5
shoot ko_KR.UTF-8 ko 1

mkdir -p "$out"
set -- 1 welcome 2 connect 3 version 4 reconnect 5 finished
while [ $# -gt 0 ]; do
  mv "$work/en-$1.png" "$out/page$1-$2.png"
  shift 2
done
mv "$work/ko-1.png" "$out/page1-korean.png"
ls -l "$out"

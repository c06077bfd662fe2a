#!/bin/sh
# The wizard as a person at a keyboard drives it: qrm284-updater on an X
# server of its own against kvx512-sim (application firmware 1.43.10),
# Return pressed every half second and nothing else, until the program ends.
# It must end by itself on the last Return, having written the firmware,
# formatted the storage and downloaded the font, and its window must carry
# an icon.
#
#   return_only_run.sh BIN_DIR        (run under xvfb-run -a; needs xdotool, xprop)
set -u
bin=$1
work=$(mktemp -d)
sim=
app=
finish() {
  [ -z "$app" ] || kill "$app" 2>/dev/null
  [ -z "$sim" ] || { kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null; }
  rm -rf "$work"
}
trap finish EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$bin/kvx512-sim" --port 0 --port-file "$work/port" --firmware-version 1.4310 --format-delay 20 -v >"$work/sim.log" 2>&1 &
sim=$!
tries=0
while [ ! -s "$work/port" ]; do
  tries=$((tries + 1)); [ "$tries" -le 100 ] || fail "kvx512-sim did not start"; sleep 0.1
done
player="usbip://127.0.0.1:$(cat "$work/port")"

KVX512_USB=$player LANG=C.UTF-8 LC_ALL= QT_QPA_PLATFORM=xcb "$bin/qrm284-updater" >"$work/updater.log" 2>&1 &
app=$!
win=
tries=0
while [ -z "$win" ]; do
  tries=$((tries + 1)); [ "$tries" -le 100 ] || fail "no window"; sleep 0.1
  win=$(xdotool search --class qrm284-updater 2>/dev/null | head -n 1)
done
xprop -id "$win" _NET_WM_ICON | grep -q "Icon (16 x 16)" || fail "the window has no icon"

presses=0
while kill -0 "$app" 2>/dev/null; do
  [ "$presses" -lt 600 ] || fail "still running after $presses presses of Return"
  xdotool windowfocus --sync "$win" key Return 2>/dev/null
  presses=$((presses + 1))
  sleep 0.5
done
wait "$app"; status=$?
app=
[ "$status" -eq 0 ] || fail "qrm284-updater ended with $status"
echo "qrm284-updater ended by itself after $presses presses of Return"

KVX512_USB=$player "$bin/qrm284" info >"$work/info" 2>&1
grep -q "^Firmware: 1.43.22 (APPL)$" "$work/info" || fail "the player does not run 1.43.22: $(cat "$work/info")"
# The host's commands in the transcript: the format (M LD) and the font (U W).
grep -q "pipe 02 OUT .*: 23 00 .. 3A 4D 4C 44" "$work/sim.log" || fail "the storage was not formatted"
grep -q "pipe 02 OUT .*: 23 00 .. 3A 55 57" "$work/sim.log" || fail "the font was not downloaded"
echo "the player runs 1.43.22, formatted, with its font"

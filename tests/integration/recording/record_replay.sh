#!/bin/sh
# A session recorded against the simulated player replays to the same output
# and exit status, keeps nothing but USB traffic, and a replay for another
# command stops at the first request that differs, naming both.
# usage: record_replay.sh QRM284 SCRATCH
set -u
qrm284="$1"
work="$2"
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
fail() { echo "record_replay: $*"; exit 1; }

for command in info ls; do
    KVX512_USB=sim KVX512_RECORD="$work/$command.jsonl" "$qrm284" $command >"$command.recorded" 2>&1
    recorded=$?
    [ "$recorded" -eq 0 ] || fail "qrm284 $command against the simulated player: exit status $recorded"
    [ -s "$command.jsonl" ] || fail "qrm284 $command left no recording"
    KVX512_USB="replay:$work/$command.jsonl" "$qrm284" $command >"$command.replayed" 2>&1
    replayed=$?
    [ "$replayed" -eq 0 ] || fail "qrm284 $command replayed: exit status $replayed"
    cmp -s "$command.recorded" "$command.replayed" || fail "qrm284 $command replayed to other output: $(cat "$command.replayed")"
    if grep -q -e "$work" -e "${HOME:-/nonexistent}" "$command.jsonl"; then
        fail "the recording of qrm284 $command holds a path"
    fi
done

KVX512_USB="replay:$work/info.jsonl" "$qrm284" ls >mismatch.out 2>mismatch.err
status=$?
[ "$status" -eq 3 ] || fail "ls replayed from the recording of info: exit status $status, not 3"
grep -q '^kvx512: replay: request 2 differs from the recording: recorded {"op":"devices"}, asked {"op":"scan","product":"0301","vendor":"0f9c"}$' mismatch.err ||
    fail "ls replayed from the recording of info said: $(cat mismatch.err)"
echo "record_replay: info and ls replayed alike; the mismatch named both requests"

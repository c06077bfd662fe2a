#!/bin/sh
# Remakes the seed corpora under corpus/: the simulated player's and its
# server's own bytes (fuzz_corpus_generator, built by the fuzz preset), the
# media files the device API tests use, and Intel HEX texts of the converter's
# tests. Run by hand from the source tree after `cmake --preset fuzz`; the
# seeds are kept in the repository.
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
root="$here/../.."
build="${1:-$root/build/fuzz}"
corpus="$here/corpus"
data="$root/tests/data"

cmake --build "$build" --target fuzz_corpus_generator
"$build/bin/fuzz_corpus_generator" "$corpus"

mkdir -p "$corpus/id3v1" "$corpus/asf_title" "$corpus/voice_wav" "$corpus/hex_image"
tail -c 128 "$data/titled.mp3" > "$corpus/id3v1/titled_mp3_tail"
head -c 1024 "$data/titled.wma" > "$corpus/asf_title/titled_wma_head"
cp "$data/voice.wav" "$corpus/voice_wav/voice"
cp "$data/voice_with_fact_chunk.wav" "$corpus/voice_wav/voice_with_fact_chunk"

printf ':0420000011223344A8\r\n:00000001FF\r\n' > "$corpus/hex_image/one_record"
printf ':041FFE0011223344E8\r\n:0120020022BB\r\n:0120000011CE\r\n:00000001FF\r\n' > "$corpus/hex_image/out_of_order"
printf ':020000040001F9\r\n:0400000055667788F6\r\n:00000001FF\r\n' > "$corpus/hex_image/extended_address"
printf ':0120000011CE\r\n:0420010022' > "$corpus/hex_image/cut_short"

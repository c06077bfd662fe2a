#!/bin/sh
# Makes the small media files the device API tests upload, with the tools a
# manager program's users make them with. Run once by hand (needs ffmpeg with
# libmp3lame and sox); the files are kept in the repository, so the tests
# need neither tool.
set -eu
cd "$(dirname "$0")"

# An MP3 with an ID3v2 tag at its start and an ID3v1 tag (title Intro, artist
# Band) in its last 128 bytes; 41,077 bytes, so it spans two 32,768-byte chunks.
ffmpeg -y -hide_banner -loglevel error -f lavfi -i "sine=frequency=440:duration=10" -ar 8000 -ac 1 \
  -c:a libmp3lame -b:a 32k -metadata title=Intro -metadata artist=Band -write_id3v1 1 \
  -fflags +bitexact -flags:a +bitexact titled.mp3

# A WMA file whose ASF content description names title Morning, author Quartet.
ffmpeg -y -hide_banner -loglevel error -f lavfi -i "sine=frequency=330:duration=3" -ar 8000 -ac 1 \
  -c:a wmav2 -b:a 24k -metadata title=Morning -metadata artist=Quartet \
  -fflags +bitexact -flags:a +bitexact titled.wma

# A voice recording in the player's WAV form: IMA ADPCM, 8,000 Hz, mono,
# 256-byte blocks, the data at byte 48. Written to a pipe, ffmpeg leaves out
# the fact chunk (and the size fields read 0xFFFFFFFF).
ffmpeg -hide_banner -loglevel error -f lavfi -i "sine=frequency=300:duration=0.5" -ar 8000 -ac 1 \
  -c:a adpcm_ima_wav -block_size 256 -fflags +bitexact -flags:a +bitexact -f wav pipe:1 > voice.wav

# The same kind of recording as sox writes it: a fact chunk puts the data at
# byte 60, which is not the form the player's voice blocks are made from.
sox -n -r 8000 -c 1 -e ima-adpcm voice_with_fact_chunk.wav synth 0.1 sine 300

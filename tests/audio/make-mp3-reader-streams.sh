#!/usr/bin/env bash
# Builds the MP3 reader's own streams in the given directory, beside the
# decoding steps' stream set: a stream with lame's Info frame in front and
# its mpg123 decode, a free-format stream, Layer II, and 44.1 kHz mono.
# Cached: nothing is done while the manifest is newer than this script.
#
#   make-mp3-reader-streams.sh <output directory>
set -euo pipefail

out=$1
script=$(readlink -f "$0")
if [ -f "$out/manifest.txt" ] && [ "$out/manifest.txt" -nt "$script" ]; then
  exit 0
fi
for tool in sox lame ffmpeg mpg123; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/install-deps.sh" >&2; exit 1; }
done
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sox -V1 -n -r 44100 -c 2 -b 16 "$work/sweep.wav" synth 3 sine 20:10000 sine 10000:20 vol 0.1
sox -V1 -n -r 44100 -c 1 -b 16 "$work/mono.wav" synth 1 sine 440 vol 0.3

# No -t: lame writes its Info frame as frame 0.
lame --quiet -m j --cbr -b 128 "$work/sweep.wav" "$out/info.mp3"
mpg123 -q --no-gapless -e s16 -O "$out/info.s16" "$out/info.mp3"
lame --quiet -t --freeformat -b 400 "$work/sweep.wav" "$out/freeformat.mp3"
lame --quiet -t -m m --cbr -b 64 "$work/mono.wav" "$out/mono.mp3"
ffmpeg -v error -nostdin -y -i "$work/sweep.wav" -c:a mp2 -f mp2 "$out/layer2.mp3"

echo "info.mp3 info.s16 freeformat.mp3 mono.mp3 layer2.mp3" > "$out/manifest.txt"

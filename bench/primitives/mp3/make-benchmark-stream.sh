#!/usr/bin/env bash
# Makes the MP3 benchmark file: 3 minutes of a generated music-like signal
# (drums, bass and plucked chords at 120 beats per minute), 44.1 kHz stereo,
# encoded by lame at 192 kb/s CBR without an Info frame. Cached: nothing is
# done while the file is newer than this script.
#
#   make-benchmark-stream.sh <output file>
set -euo pipefail

out=$1
script=$(readlink -f "$0")
if [ -f "$out" ] && [ "$out" -nt "$script" ]; then
  exit 0
fi
for tool in sox lame; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/install-deps.sh" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
synth() {  # file seconds voices-and-effects...
  local file=$1 seconds=$2
  shift 2
  sox -V1 -n -r 44100 -c 2 -b 16 "$work/$file" synth "$seconds" "$@"
}

# One bar of drums (2 s): kick on every beat, hi-hat between, snare on 2 and 4.
synth kick.wav 0.5 sine 150:40 sine 150:40 fade q 0.002 0.5 0.4 vol 0.8
synth hat.wav 0.5 whitenoise pinknoise highpass 7000 fade q 0.001 0.08 0.07 pad 0.25 vol 0.3
synth snare.wav 0.5 pinknoise whitenoise bandpass 1800 1.2q fade q 0.001 0.2 0.18 vol 0.5
sox -V1 -m "$work/kick.wav" "$work/hat.wav" "$work/beat1.wav"
sox -V1 -m "$work/kick.wav" "$work/hat.wav" "$work/snare.wav" "$work/beat2.wav"
sox -V1 "$work/beat1.wav" "$work/beat2.wav" "$work/beat1.wav" "$work/beat2.wav" "$work/drums.wav"

# Bass and chords, one bar per chord: Am, F, C, G, then Dm, F, Em, Am.
bar=0
for chord in "A2 A3 C4 E4" "F2 F3 A3 C4" "C2 C3 E3 G3" "G2 G3 B3 D4" \
             "D2 D3 F3 A3" "F2 F3 A3 C4" "E2 E3 G3 B3" "A2 A3 C4 E4"; do
  set -- $chord
  synth "bass$bar.wav" 2 sawtooth "$1" sawtooth "$1" lowpass 300 tremolo 2 60 vol 0.35
  synth "left$bar.wav" 2 pluck "$2" pluck "$3" vol 0.3
  synth "right$bar.wav" 2 pluck "$4" pluck "$2" vol 0.3
  sox -V1 -m "$work/bass$bar.wav" "$work/left$bar.wav" "$work/right$bar.wav" "$work/drums.wav" \
    "$work/bar$bar.wav" reverb 30
  bar=$((bar + 1))
done
sox -V1 "$work"/bar?.wav "$work/section.wav"
sox -V1 "$work/section.wav" "$work/song.wav" repeat 11 trim 0 180

mkdir -p "$(dirname "$out")"
lame --quiet -t --cbr -b 192 -m j "$work/song.wav" "$out.tmp"
mv "$out.tmp" "$out"

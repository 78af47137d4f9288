#!/usr/bin/env bash
# Builds the MP3 test-stream set in the given directory: short generated
# signals encoded by lame in the layouts a Layer III decoder must read, and
# a manifest with ffprobe's view of every stream. The set is cached: nothing
# is done while the manifest is newer than this script.
#
#   make-test-streams.sh <output directory>
#
# Manifest (manifest.txt), one stream per line:
#   <file> <lame mode: s j d m> <vbr: 0 1> <crc: 0 1>
#   <ffprobe frames> <ffprobe sample rate> <ffprobe channels> <ffprobe bit rate>
#
# lame's own block switching is used throughout: the Debian build ignores
# --noshort and --allshort (developer-only switches), and it never writes
# mixed blocks. The loud signal's transients bring in short, start and stop
# blocks.
set -euo pipefail

out=$1
script=$(readlink -f "$0")
if [ -f "$out/manifest.txt" ] && [ "$out/manifest.txt" -nt "$script" ]; then
  exit 0
fi
for tool in sox lame ffprobe; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/install-deps.sh" >&2; exit 1; }
done

mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A -20 dB sine sweep from 20 Hz to 10 kHz over three seconds (the second
# channel sweeps down, so the channels differ).
sweep() {  # rate channels file
  local voices=(sine 20:10000)
  [ "$2" = 2 ] && voices+=(sine 10000:20)
  sox -V1 -n -r "$1" -c "$2" -b 16 "$3" synth 3 "${voices[@]}" vol 0.1
}

# A loud signal with transients and silent stretches: a plucked square
# burst, silence, a noise click, a plucked chord, silence; twice.
loud() {  # rate channels file
  local rate=$1 channels=$2 file=$3 second=()
  local -a parts=()
  segment() {  # name duration voices...
    local name=$work/seg-$1.wav duration=$2
    shift 2
    sox -V1 -n -r "$rate" -c "$channels" -b 16 "$name" synth "$duration" "$@"
    parts+=("$name")
  }
  [ "$channels" = 2 ] && second=(square 165)
  segment burst 0.4 square 110 "${second[@]}" fade q 0.002 0.4 0.35 vol 0.95
  segment rest1 0.3 sine 440 vol 0
  [ "$channels" = 2 ] && second=(pinknoise)
  segment click 0.05 whitenoise "${second[@]}" vol 0.9
  segment rest2 0.25 sine 440 vol 0
  [ "$channels" = 2 ] && second=(pluck E3)
  segment chord 0.5 pluck A2 "${second[@]}" vol 0.9
  segment rest3 0.5 sine 440 vol 0
  sox -V1 "${parts[@]}" "$file" repeat 1
}

manifest=$work/manifest.txt
: > "$manifest"

# name signal rate mode bitrate (a number, or vbr) crc (0 1)
stream() {
  local name=$1 signal=$2 rate=$3 mode=$4 bitrate=$5 crc=$6
  local channels=2
  [ "$mode" = m ] && channels=1
  local input=$work/$signal-$rate-$channels.wav
  [ -f "$input" ] || "$signal" "$rate" "$channels" "$input"
  # --resample keeps lame from lowering the rate at low bit rates.
  local options=(--quiet -t -m "$mode" --resample "$(echo "$rate" | sed 's/\(..\)\(...\)$/\1.\2/')")
  if [ "$bitrate" = vbr ]; then options+=(-V 4); else options+=(--cbr -b "$bitrate"); fi
  [ "$crc" = 1 ] && options+=(-p)
  lame "${options[@]}" "$input" "$out/$name.mp3"
  local probe
  probe=$(ffprobe -v error -select_streams a:0 -count_packets \
    -show_entries stream=nb_read_packets,sample_rate,channels,bit_rate -of default=nw=1 "$out/$name.mp3")
  field() { echo "$probe" | sed -n "s/^$1=//p"; }
  echo "$name.mp3 $mode $([ "$bitrate" = vbr ] && echo 1 || echo 0) $crc" \
    "$(field nb_read_packets) $(field sample_rate) $(field channels) $(field bit_rate)" >> "$manifest"
}

# MPEG-1
stream m1-44k-stereo-128-sweep      sweep 44100 s 128 0
stream m1-44k-joint-320-loud        loud  44100 j 320 0
stream m1-44k-joint-vbr-sweep       sweep 44100 j vbr 0
stream m1-44k-dual-192-loud         loud  44100 d 192 0
stream m1-44k-joint-128-crc         loud  44100 j 128 1
stream m1-48k-stereo-32-loud        loud  48000 s 32  0
stream m1-48k-mono-vbr-sweep        sweep 48000 m vbr 0
stream m1-32k-mono-32-loud          loud  32000 m 32  0
stream m1-32k-joint-256-sweep       sweep 32000 j 256 0
# MPEG-2 lower sampling frequencies
stream m2-22k-joint-64-sweep        sweep 22050 j 64  0
stream m2-22k-stereo-160-loud       loud  22050 s 160 0
stream m2-22k-joint-32-loud         loud  22050 j 32  0
stream m2-24k-mono-8-loud           loud  24000 m 8   0
stream m2-24k-dual-128-sweep        sweep 24000 d 128 0
stream m2-24k-joint-vbr-loud        loud  24000 j vbr 0
stream m2-16k-stereo-vbr-sweep      sweep 16000 s vbr 0
stream m2-16k-joint-48-loud         loud  16000 j 48  0
stream m2-16k-mono-24-crc           loud  16000 m 24  1

mv "$manifest" "$out/manifest.txt"

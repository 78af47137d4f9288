#!/usr/bin/env bash
# Decodes every stream of a stream directory with the reference decoders:
# mpg123 (all decoded samples, no gapless trimming) in 32-bit float and in
# 16-bit, and ffmpeg's float decoder for the "loud" streams, as raw
# interleaved little-endian samples. Any message from mpg123 is an error:
# the references must come from clean decodes. Cached: nothing is done while
# the output manifest is newer than this script and the stream manifest.
#
#   make-references.sh <stream directory> <output directory> [all]
#
# Output: <name>.f32 and <name>.s16 (mpg123), <name>.ffmpeg.f32 (the loud
# streams, or every stream with "all"), and manifest.txt listing the streams
# done.
set -euo pipefail

streams=$1
out=$2
ffmpegFor=${3:-loud}
script=$(readlink -f "$0")
if [ -f "$out/manifest.txt" ] && [ "$out/manifest.txt" -nt "$script" ] &&
   [ "$out/manifest.txt" -nt "$streams/manifest.txt" ]; then
  exit 0
fi
for tool in mpg123 ffmpeg; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/install-deps.sh" >&2; exit 1; }
done

mkdir -p "$out"
list=$out/manifest.tmp
: > "$list"
while read -r file _; do
  name=${file%.mp3}
  for encoding in f32 s16; do
    messages=$(mpg123 -q --no-gapless -e "$encoding" -O "$out/$name.$encoding" "$streams/$file" 2>&1 || echo "exit status $?")
    if [ -n "$messages" ]; then
      echo "mpg123 complained about $file: $messages" >&2
      exit 1
    fi
  done
  if [ "$ffmpegFor" = all ] || [[ $name == *loud* ]]; then
    ffmpeg -v error -nostdin -y -i "$streams/$file" -f f32le -c:a pcm_f32le "$out/$name.ffmpeg.f32"
  fi
  echo "$file" >> "$list"
done < "$streams/manifest.txt"
mv "$list" "$out/manifest.txt"

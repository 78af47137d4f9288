#!/usr/bin/env bash
# Makes the WMA test files with ffmpeg, and ffmpeg's own 16-bit decode of
# each audio file as the reference. Usage: make-wma-files.sh <output dir>
set -euo pipefail
out=$1
mkdir -p "$out"
cd "$out"
command -v ffmpeg >/dev/null || { echo "ffmpeg is missing" >&2; exit 1; }

q=(-hide_banner -loglevel error -y -bitexact)
# 12 s of music-like material: two tones and pink noise, different per side.
ffmpeg "${q[@]}" -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=12" \
  -f lavfi -i "sine=frequency=1250:sample_rate=44100:duration=12" \
  -f lavfi -i "anoisesrc=color=pink:sample_rate=44100:duration=12:seed=7:amplitude=0.2" \
  -filter_complex "[0][2]amix=inputs=2:normalize=0[l];[1][2]amix=inputs=2:normalize=0[r];[l][r]join=inputs=2:channel_layout=stereo[a]" \
  -map "[a]" -c:a pcm_s16le source.wav

ffmpeg "${q[@]}" -i source.wav -c:a wmav2 -b:a 128k stereo-v2.wma
ffmpeg "${q[@]}" -i source.wav -c:a wmav1 -b:a 128k stereo-v1.wma
ffmpeg "${q[@]}" -i source.wav -ar 48000 -c:a wmav2 -b:a 128k rate48k.wma
ffmpeg "${q[@]}" -i source.wav -ac 1 -c:a wmav2 -b:a 64k mono.wma
ffmpeg "${q[@]}" -f lavfi -i "testsrc=size=64x48:rate=10:duration=2" -i source.wav -t 2 \
  -c:v wmv2 -c:a wmav2 -f asf with-video.wma
ffmpeg "${q[@]}" -f lavfi -i "testsrc=size=64x48:rate=10:duration=2" -c:v wmv2 -f asf video-only.wma
cp source.wav not-asf.wma

for name in stereo-v2 stereo-v1 rate48k mono; do
  ffmpeg "${q[@]}" -i "$name.wma" -f s16le -c:a pcm_s16le "$name.s16"
  ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 "$name.wma" > "$name.duration"
done
echo done > manifest.txt

#!/usr/bin/env bash
# Installs the Debian packages that building and testing Velkarn need.
# Idempotent: does nothing (and touches no package index) when all are present.
set -euo pipefail

packages=(
  # toolchain (gcc for the C test program, binutils for nm in the library check)
  gcc g++ binutils cmake ninja-build ccache
  # tests and benchmarks
  libgtest-dev libbenchmark-dev
  # zlib compresses and inflates PNG image data
  zlib1g-dev
  # libpng: the outside PNG encoder of the reader's tests and the PNG benchmark's peer
  libpng-dev
  # outside reference for the image compositing tests and benchmark
  libpixman-1-dev pkg-config
  # the resize is checked and timed against this peer's linear resize
  libopencv-imgproc-dev
  # platform layer: windows, event loop, dialogs and message boxes
  qt6-base-dev
  # tests: reference values (curves, code pages, archive reader), the X server
  # test with its screenshots and clicks, the shell's opener and mailer
  python3 xvfb imagemagick xdotool xdg-utils
  # the program's smoke test on Xvfb: its window manager's close request
  libx11-dev
  # MP3 test streams and their reference values (lame, sox, ffprobe)
  lame sox ffmpeg
  # ID3v2 tags written by a second tool for the tag reader tests
  python3-mutagen
  # MP3 reference decodes (mpg123) and the peer decoders of the MP3 benchmark
  mpg123 libmpg123-dev libmad0-dev
  # FFT reference in the tests and peers in the benchmarks
  libfftw3-dev libkissfft-dev
  # peers of the time scaler benchmark
  librubberband-dev libsoundtouch-dev
  # audio output: PortAudio, with ALSA's and JACK's error hooks routed to the log
  portaudio19-dev libasound2-dev libjack-jackd2-dev
  # audio tests and benchmarks: float32 reference values, the conversion peer
  python3-numpy libsamplerate0-dev
  # beat mapper tests: its overview and export pictures decoded by a second reader
  python3-pil
  # beat mapper tests and benchmark: two outside tempo detectors as peers of
  # the tempo estimate (aubio's "aubio tempo", bpm-tools' "bpm" fed by sox)
  aubio-tools bpm-tools
  # the skin generator: FreeType draws its labels from the DejaVu faces
  # (Sans from -core, Sans Condensed from -extra)
  libfreetype-dev fonts-dejavu-core fonts-dejavu-extra
  # platform layer: WMA decoding and the attributes inside WMA files
  libavformat-dev libavcodec-dev libavutil-dev libtag1-dev
  # MIDI over the ALSA sequencer and HID units over hidraw; the MIDI tests'
  # peers (aseqdump, a python MIDI port) where a sequencer exists
  librtmidi-dev libhidapi-dev alsa-utils python3-rtmidi
  # fuzzing build (./test.sh --fuzz): clang with libFuzzer and its sanitizers
  clang libclang-rt-14-dev
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "Missing packages: ${missing[*]}. Install them as root, or install sudo and run again." >&2
    exit 1
  fi
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"

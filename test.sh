#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite.
#   ./test.sh             plain build in build/
#   ./test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build in build-sanitize/
#   ./test.sh --tsan      ThreadSanitizer build without the Qt interface in build-tsan/, running
#                         the tests labelled tsan (the layer's and the framework's threads), then
#                         the controllers' and the player's end-to-end runs with Qt in build-tsan-qt/
#   ./test.sh --fuzz [S]  libFuzzer targets (clang) in build-fuzz/, each run for S seconds
#                         (default 60) from its seeds, saved findings and earlier corpus
set -euo pipefail
cd "$(dirname "$0")"

build_dir=build
cmake_args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKARN_WARNINGS_AS_ERRORS=ON)
ctest_args=()
fuzz_seconds=
while [ $# -gt 0 ]; do
  arg=$1
  shift
  case "$arg" in
    --fuzz)
      fuzz_seconds=60
      if [ $# -gt 0 ] && [[ $1 =~ ^[0-9]+$ ]]; then
        fuzz_seconds=$1
        shift
      fi
      ;;
    --sanitize)
      build_dir=build-sanitize
      cmake_args+=(-DVELKARN_SANITIZE=ON -DVELKARN_BUILD_BENCHMARKS=OFF)
      ;;
    --tsan)
      build_dir=build-tsan
      cmake_args+=(-DVELKARN_TSAN=ON -DVELKARN_WITH_QT=OFF -DVELKARN_BUILD_BENCHMARKS=OFF)
      ctest_args+=(-L tsan)
      ;;
    *)
      echo "usage: $0 [--sanitize | --tsan | --fuzz [seconds]]" >&2
      exit 2
      ;;
  esac
done

scripts/install-deps.sh
if [ -n "$fuzz_seconds" ]; then
  exec scripts/run-fuzzers.sh "$fuzz_seconds"
fi
cmake -S . -B "$build_dir" -G Ninja "${cmake_args[@]}"
cmake --build "$build_dir"
ctest --test-dir "$build_dir" --output-on-failure --parallel "$(nproc)" "${ctest_args[@]}"
if [ "$build_dir" = build-tsan ]; then
  # The controllers' and the automatic player's end-to-end runs go through
  # Qt, which the tree above leaves out; they run in a tree of their own with
  # Qt, where only the accesses of Qt's own (uninstrumented) libraries are
  # not checked.
  cmake -S . -B build-tsan-qt -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKARN_WARNINGS_AS_ERRORS=ON \
    -DVELKARN_TSAN=ON -DVELKARN_BUILD_BENCHMARKS=OFF
  cmake --build build-tsan-qt --target application_qt_tests
  QT_QPA_PLATFORM=offscreen TSAN_OPTIONS="suppressions=$PWD/tests/tsan-qt.supp" \
    build-tsan-qt/tests/app/application_qt_tests --gtest_filter='ControllerEndToEnd.*:AutoPlayerEndToEnd.*'
fi

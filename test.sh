#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite.
#   ./test.sh             plain build in build/
#   ./test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build in build-sanitize/
#   ./test.sh --tsan      ThreadSanitizer build without the Qt interface in build-tsan/, running
#                         the tests labelled tsan (the layer's and the framework's threads)
set -euo pipefail
cd "$(dirname "$0")"

build_dir=build
cmake_args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKARN_WARNINGS_AS_ERRORS=ON)
ctest_args=()
for arg in "$@"; do
  case "$arg" in
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
      echo "usage: $0 [--sanitize | --tsan]" >&2
      exit 2
      ;;
  esac
done

scripts/install-deps.sh
cmake -S . -B "$build_dir" -G Ninja "${cmake_args[@]}"
cmake --build "$build_dir"
ctest --test-dir "$build_dir" --output-on-failure --parallel "$(nproc)" "${ctest_args[@]}"

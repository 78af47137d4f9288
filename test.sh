#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite.
#   ./test.sh             plain build in build/
#   ./test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build in build-sanitize/
set -euo pipefail
cd "$(dirname "$0")"

build_dir=build
cmake_args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKARN_WARNINGS_AS_ERRORS=ON)
for arg in "$@"; do
  case "$arg" in
    --sanitize)
      build_dir=build-sanitize
      cmake_args+=(-DVELKARN_SANITIZE=ON -DVELKARN_BUILD_BENCHMARKS=OFF)
      ;;
    *)
      echo "usage: $0 [--sanitize]" >&2
      exit 2
      ;;
  esac
done

scripts/install-deps.sh
cmake -S . -B "$build_dir" -G Ninja "${cmake_args[@]}"
cmake --build "$build_dir"
ctest --test-dir "$build_dir" --output-on-failure --parallel "$(nproc)"

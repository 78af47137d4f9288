#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each for the
# given seconds. Each target's corpus (build-fuzz/corpus/<target>) grows from
# its seeds and saved findings and is kept between runs; a finding is left as
# build-fuzz/findings/<target>/crash-* (or leak-, timeout-, oom-) and fails
# the run.
#   scripts/run-fuzzers.sh SECONDS [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:?usage: $0 SECONDS [TARGET...]}
shift
build_dir=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELKARN_FUZZ=ON -DVELKARN_WITH_QT=OFF -DVELKARN_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build_dir" --target velkarn_fuzzers

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < "$build_dir/tests/fuzz/targets.txt"
fi
seeds="$build_dir/tests/fuzz/seeds"
tests/fuzz/make-seeds.py "$seeds"

failed=()
for target in "${targets[@]}"; do
  corpus="$build_dir/corpus/$target"
  findings="$build_dir/findings/$target"
  mkdir -p "$corpus" "$findings"
  inputs=("$corpus" "$seeds/$target")
  if [ -d "tests/fuzz/regressions/$target" ]; then
    inputs+=("tests/fuzz/regressions/$target")
  fi
  options=(-max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1
           -artifact_prefix="$findings/")
  if [ -f "tests/fuzz/dictionaries/$target.dict" ]; then
    options+=(-dict="tests/fuzz/dictionaries/$target.dict")
  fi
  echo "== $target: ${seconds} s"
  if ! "$build_dir/tests/fuzz/$target" "${options[@]}" "${inputs[@]}" 2>"$build_dir/findings/$target.log"; then
    failed+=("$target")
    tail -n 60 "$build_dir/findings/$target.log" >&2
  fi
  grep -E '^(stat::|#[0-9]+ +DONE)' "$build_dir/findings/$target.log" || true
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "Findings in: ${failed[*]} (inputs in $build_dir/findings/)" >&2
  exit 1
fi

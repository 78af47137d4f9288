#!/usr/bin/env bash
# Installs what is missing, builds Velkarn and starts it.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build

program=build/app/velkarn
if [ -x "$program" ]; then
  exec "$program" "$@"
fi
echo "Built the primitives library, its tests and benchmarks."
echo "The application is not part of this build yet; once it is, this starts $program."

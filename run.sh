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
# Until the application exists: the entry steps and one window.
exec build/app/demo/velkarn-demo "$@"

#!/usr/bin/env bash
# Installs what is missing and builds zumen into build/ (or the folder given).
# Usage: build.sh [DIR] [--target NAME]... [CMAKE OPTIONS]
# With --target only the named targets (and what they need) are built.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
dir=${1:-build}
shift || true
options=()
targets=()
while [ $# -gt 0 ]; do
  if [ "$1" = --target ] && [ $# -gt 1 ]; then
    targets+=(--target "$2")
    shift 2
  else
    options+=("$1")
    shift
  fi
done
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)" "${targets[@]}"

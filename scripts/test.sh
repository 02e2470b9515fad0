#!/usr/bin/env bash
# Installs what is missing, builds zumen twice (plain, and with address and
# undefined-behaviour sanitizers) and runs every test in both builds.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh build
(cd build && ctest --output-on-failure -j"$(nproc)")
bash scripts/build.sh build-asan -DZUMEN_SANITIZE=ON -DZUMEN_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j"$(nproc)")

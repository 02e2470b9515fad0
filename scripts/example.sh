#!/usr/bin/env bash
# Installs what is missing, builds the zumen command (only it: the tests and
# benchmarks are built by scripts/test.sh) and converts the bundled example
# drawing to example.png in the current folder.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/build.sh" "$root/build" --target zumen
"$root/build/zumen" convert "$root/examples/example.jww" example.png --size 1600x1131
echo "wrote $(pwd)/example.png"

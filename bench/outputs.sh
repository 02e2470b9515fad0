#!/usr/bin/env bash
# Writes what a build of zumen makes of every corpus drawing and of the
# fixtures of every entity kind (bench/tools/make_fixtures): PNG at 1600x1131
# and at 150 dpi, SVG, PDF and DXF with `zumen`, and PNG with `zumen-child`
# (its log too), into OUT. Two such folders made by two builds are compared
# with `diff -r` (or `cmp` file by file): a change that must keep the outputs
# shows none.
# Usage: bench/outputs.sh BUILD OUT [CORPUS]
#   BUILD: a build folder holding zumen, zumen-child and bench/make_fixtures
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
out=$2
corpus=${3:-$here/../shared/corpus}
mkdir -p "$out"
out=$(cd "$out" && pwd)
fixtures=$(mktemp -d)
app=$(mktemp -d)
trap 'rm -rf "$fixtures" "$app"' EXIT
"$build/bench/make_fixtures" "$fixtures"
# The fixtures' file time is a macro's value: fixed, so that two runs agree.
touch -d '2026-01-02 03:04:05' "$fixtures"/*

sources=()
while IFS= read -r -d '' f; do sources+=("$f"); done < <(
  { [ -d "$corpus" ] && find "$corpus" -type f \( -iname '*.jww' -o -iname '*.jws' -o -iname '*.jwc' -o -iname '*.jwk' -o -iname '*.k4' \) -print0
    find "$fixtures" -type f -print0; } | sort -z)

cp "$build/zumen-child" "$app/"
{ for i in $(seq 15); do printf '0\r\n'; done; printf '9\r\n1600\r\n1131\r\n'; } > "$app/Plotvane.dat"
export TZ=UTC
for f in "${sources[@]}"; do
  name=$(basename "$f")
  case "$f" in "$fixtures"/*) name="fixture-$name" ;; esac
  base="$out/$name"
  "$build/zumen" convert "$f" "$base.size.png" --size 1600x1131 --format png 2>/dev/null || true
  "$build/zumen" convert "$f" "$base.dpi.png" --dpi 150 --format png 2>/dev/null || true
  for type in svg pdf dxf; do
    "$build/zumen" convert "$f" "$base.$type" --format "$type" 2>/dev/null || true
  done
  (cd "$app" && ./zumen-child a b "$f" "$base.child.png" | sed "s|$app|APP|; s|$f|SRC|; s|$base|DST|" > "$base.child.log" 2>&1) || true
done
echo "wrote the outputs of ${#sources[@]} drawings to $out"

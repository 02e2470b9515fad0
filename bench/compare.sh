#!/usr/bin/env bash
# Times whole conversions side by side with hyperfine and prints a table of
# ratios, all measured in one run on this machine:
#   zumen / blank   a drawing against a blank drawing of the same picture size
#                   (the floor: making, clearing and encoding the bitmap)
#   zumen / rsvg    zumen's PNG against rsvg-convert rasterising zumen's own
#                   SVG of the same drawing at the same pixel size
#   peak / bitmap   zumen's peak memory against the bytes of its bitmap
#   -j 2 / -j 1     the whole corpus converted by two workers against one
# and the peak memory of A0 at 1200 dpi (56,173 x 39,732) to PNG and TIFF.
# Times are hyperfine's medians, which a busy machine disturbs least.
# Drawings: every corpus drawing (ZUMEN_CORPUS_DIR, default ../shared/corpus),
# a generated drawing of 200,000 entities and a blank one, at A3 300 dpi
# (4961 x 3508) PNG.
#
#   bench/compare.sh [BUILD_DIR]      (default: build-release, made when missing)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-release}
corpus=${ZUMEN_CORPUS_DIR:-$root/../shared/corpus}
runs=${ZUMEN_BENCH_RUNS:-5}
W=4961 H=3508

for tool in hyperfine rsvg-convert /usr/bin/time python3; do
  command -v "$tool" > /dev/null || { echo "compare.sh: needs $tool (scripts/install-deps.sh installs it)" >&2; exit 1; }
done
if [ ! -x "$build/zumen" ] || [ ! -x "$build/bench/make_dense" ]; then
  bash "$root/scripts/build.sh" "$build" -DCMAKE_BUILD_TYPE=Release > /dev/null
  cmake --build "$build" --target zumen make_dense > /dev/null
fi
zumen=$build/zumen
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/bench/make_dense" "$work/dense.jww" 200000 > /dev/null
"$build/bench/make_dense" "$work/blank.jww" 0 > /dev/null

drawings=()
if [ -d "$corpus" ]; then
  while IFS= read -r f; do drawings+=("$f"); done < <(find "$corpus" -type f \( -iname '*.jw[wsck]' -o -iname '*.k4' \) | sort)
fi
drawings+=("$work/dense.jww")

hf() { hyperfine -N --style none --warmup 1 --runs "$runs" --export-json "$@" > /dev/null 2>&1; }

"$zumen" convert "$work/blank.jww" "$work/blank.png" --size ${W}x$H
echo "| drawing | zumen s | blank s | rsvg s | zumen / blank | zumen / rsvg | peak MiB | peak / bitmap |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|"
for f in "${drawings[@]}"; do
  name=${f#"$corpus"/}; name=${name#"$work"/}
  "$zumen" convert "$f" "$work/d.svg" > /dev/null 2>&1 || true
  hf "$work/t.json" \
    -n zumen "$zumen convert $f $work/d.png --size ${W}x$H" \
    -n blank "$zumen convert $work/blank.jww $work/b.png --size ${W}x$H" \
    -n rsvg "rsvg-convert -w $W -h $H $work/d.svg -o $work/r.png"
  peak=$(/usr/bin/time -f %M "$zumen" convert "$f" "$work/d.png" --size ${W}x$H 2>&1 > /dev/null | tail -1)
  python3 - "$work/t.json" "$name" "$peak" $W $H <<'PY'
import json, sys
r = {x["command"]: x["median"] for x in json.load(open(sys.argv[1]))["results"]}
peak_kib, w, h = int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
bitmap = w * h * 4
print(f"| {sys.argv[2]} | {r['zumen']:.3f} | {r['blank']:.3f} | {r['rsvg']:.3f} | {r['zumen']/r['blank']:.2f} | "
      f"{r['zumen']/r['rsvg']:.2f} | {peak_kib/1024:.0f} | {peak_kib*1024/bitmap:.2f} |")
PY
done

if [ -d "$corpus" ]; then
  hf "$work/j.json" \
    -n j1 "$zumen convert $corpus -r -o $work/j1 -q -j 1 --size ${W}x$H" \
    -n j2 "$zumen convert $corpus -r -o $work/j2 -q -j 2 --size ${W}x$H"
  python3 - "$work/j.json" <<'PY'
import json, sys
r = {x["command"]: x["median"] for x in json.load(open(sys.argv[1]))["results"]}
print(f"\nWhole corpus: -j 1 {r['j1']:.2f} s, -j 2 {r['j2']:.2f} s, -j 2 / -j 1 = {r['j2']/r['j1']:.2f}")
PY
fi
# The largest paper at the highest resolution the settings offer, drawn in
# bands: peak memory against the 8.9 GB its bitmap would take.
a0=${drawings[0]}
for ext in png tif; do
  peak=$(/usr/bin/time -f %M "$zumen" convert "$a0" "$work/a0.$ext" --size 56173x39732 2>&1 > /dev/null | tail -1)
  echo "A0 at 1200 dpi (56173 x 39732) .$ext of ${a0#"$corpus"/}: peak $((peak / 1024)) MiB, $(stat -c %s "$work/a0.$ext") bytes"
  rm -f "$work/a0.$ext"
done
echo "($(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'))"

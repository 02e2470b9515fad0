#!/usr/bin/env bash
# Times whole conversions side by side with hyperfine and prints a table of
# ratios, all measured in one run on this machine:
#   zumen / blank   a drawing against a blank page of the same picture size
#                   with its paper frame (the floor: making, clearing, framing
#                   and encoding the bitmap)
#   zumen / rsvg    zumen's PNG against rsvg-convert rasterising zumen's own
#                   SVG of the same drawing at the same pixel size
#   peak / bitmap   zumen's peak memory against the bytes of its bitmap
#   batch           the whole corpus converted with the defaults (drawings
#                   at once and threads chosen for the cores) against one
#                   drawing at a time on one thread (-j 1 --threads 1)
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
rows=$work/rows.txt
: > "$rows"

"$build/bench/make_dense" "$work/dense.jww" 200000 > /dev/null
"$build/bench/make_dense" "$work/blank.jww" 0 > /dev/null

drawings=()
if [ -d "$corpus" ]; then
  while IFS= read -r f; do drawings+=("$f"); done < <(find "$corpus" -type f \( -iname '*.jw[wsck]' -o -iname '*.k4' \) | sort)
fi
drawings+=("$work/dense.jww")

# Commands for hyperfine are strings: paths in them quoted (names with spaces).
# A drawing read only in part exits with 3, which is still its time.
hf() { hyperfine -N -i --style none --warmup 1 --runs "$runs" --export-json "$@" > /dev/null 2>&1; }
q() { local s=${1//\'/\'\\\'\'}; printf "'%s'" "$s"; }

"$zumen" convert "$work/blank.jww" "$work/blank.png" --size ${W}x$H
echo "| drawing | zumen s | blank s | rsvg s | zumen / blank | zumen / rsvg | peak MiB | peak / bitmap |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|"
for f in "${drawings[@]}"; do
  name=${f#"$corpus"/}; name=${name#"$work"/}
  "$zumen" convert "$f" "$work/d.svg" > /dev/null 2>&1 || true
  hf "$work/t.json" \
    -n zumen "$zumen convert $(q "$f") $work/d.png --size ${W}x$H" \
    -n blank "$zumen convert $work/blank.jww $work/b.png --size ${W}x$H" \
    -n rsvg "rsvg-convert -w $W -h $H $work/d.svg -o $work/r.png"
  peak=$(/usr/bin/time -f %M "$zumen" convert "$f" "$work/d.png" --size ${W}x$H 2>&1 > /dev/null | tail -1)
  python3 - "$work/t.json" "$name" "$peak" $W $H "$rows" <<'PY'
import json, sys
r = {x["command"]: x["median"] for x in json.load(open(sys.argv[1]))["results"]}
peak_kib, w, h = int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
bitmap = w * h * 4
open(sys.argv[6], "a").write(f"{sys.argv[2]}\t{r['zumen']}\t{r['zumen']/r['blank']}\t{r['zumen']/r['rsvg']}\t{peak_kib*1024/bitmap}\n")
print(f"| {sys.argv[2]} | {r['zumen']:.3f} | {r['blank']:.3f} | {r['rsvg']:.3f} | {r['zumen']/r['blank']:.2f} | "
      f"{r['zumen']/r['rsvg']:.2f} | {peak_kib/1024:.0f} | {peak_kib*1024/bitmap:.2f} |")
PY
done

if [ -d "$corpus" ]; then
  hf "$work/j.json" \
    -n default "$zumen convert $(q "$corpus") -r -o $work/j0 -q --size ${W}x$H" \
    -n j1 "$zumen convert $(q "$corpus") -r -o $work/j1 -q -j 1 --size ${W}x$H" \
    -n j1t1 "$zumen convert $(q "$corpus") -r -o $work/j3 -q -j 1 --threads 1 --size ${W}x$H"
  python3 - "$work/j.json" "$rows" <<'PY'
import json, sys
r = {x["command"]: x["median"] for x in json.load(open(sys.argv[1]))["results"]}
print(f"\nWhole corpus: default {r['default']:.2f} s, -j 1 {r['j1']:.2f} s, -j 1 --threads 1 {r['j1t1']:.2f} s; "
      f"default / (-j 1 --threads 1) = {r['default']/r['j1t1']:.2f}")
open(sys.argv[2], "a").write(f"jobs\t{r['j1t1']/r['default']}\t{r['j1']/r['default']}\n")
PY
fi
# The largest paper at the highest resolution the settings offer, drawn in
# bands: peak memory against the 8.9 GB its bitmap would take.
# A real drawing: the first plan under jww/, else the first drawing.
a0=${drawings[0]}
for f in "${drawings[@]}"; do
  case ${f#"$corpus"/} in jww/*/*) ;; jww/*) a0=$f; break ;; esac
done
for ext in png tif; do
  peak=$(/usr/bin/time -f %M "$zumen" convert "$a0" "$work/a0.$ext" --size 56173x39732 2>&1 > /dev/null | tail -1)
  echo "A0 at 1200 dpi (56173 x 39732) .$ext of ${a0#"$corpus"/}: peak $((peak / 1024)) MiB, $(stat -c %s "$work/a0.$ext") bytes"
  printf 'a0\t%s\t%s\n' "$ext" "$((peak / 1024))" >> "$rows"
  rm -f "$work/a0.$ext"
done
echo "($(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'))"

# The targets, each against what this run measured.
python3 - "$rows" <<'PY'
import sys
drawings, jobs, a0 = [], None, {}
for line in open(sys.argv[1]):
    f = line.rstrip("\n").split("\t")
    if f[0] == "jobs":
        jobs = (float(f[1]), float(f[2]))
    elif f[0] == "a0":
        a0[f[1]] = int(f[2])
    else:
        drawings.append((f[0], float(f[1]), float(f[2]), float(f[3]), float(f[4])))
corpus = [d for d in drawings if d[0] != "dense.jww"]
# The real drawings: the plans directly under jww/ (jws/ holds symbols,
# jww/blocks/ small block fixtures).
plans = [d for d in corpus if d[0].startswith("jww/") and d[0].count("/") == 1]
dense = [d for d in drawings if d[0] == "dense.jww"]
def line(ok, text):
    print(("met     " if ok else "missed  ") + text)
print("\nTargets:")
if plans:
    worst = max(plans, key=lambda d: d[2])
    best = min(plans, key=lambda d: d[2])
    line(worst[2] <= 1.3, f"every real floor plan within 1.3 x the framed blank page: best {best[2]:.2f} ({best[0]}), "
         f"worst {worst[2]:.2f} ({worst[0]})")
    slow = max(plans, key=lambda d: d[3])
    fast = min(plans, key=lambda d: d[3])
    line(1 / slow[3] >= 8, f"every real floor plan at least 8 x faster than rsvg-convert: best {1 / fast[3]:.1f} x "
         f"({fast[0]}), least {1 / slow[3]:.1f} x ({slow[0]})")
if dense:
    d = dense[0]
    line(d[1] < 1, f"200,000 entities in under 1 s: {d[1]:.2f} s")
    line(d[4] < 2, f"200,000 entities in under 2 x the bitmap's memory: {d[4]:.2f} x")
for ext, mib in a0.items():
    line(mib < 512, f"A0 at 1200 dpi .{ext} under 512 MiB: {mib} MiB")
if jobs:
    line(jobs[0] >= 1.8, f"the corpus with the defaults at least 1.8 x faster than -j 1 --threads 1: {jobs[0]:.2f} x "
         f"({jobs[1]:.2f} x faster than -j 1)")
PY

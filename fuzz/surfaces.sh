#!/usr/bin/env bash
# Runs the command line the way a fault campaign does, on the corpus, and
# fails on the first surprise:
#   1. every corpus drawing under a file name that is not UTF-8, through every
#      command with --json (one drawing, a batch of two at once): valid JSON
#      whose source gives the name's bytes back, and no temporary file left;
#   2. pictures above the size drawn in strips: the same bytes whatever the
#      number of threads, for every raster type;
#   3. a huge thin picture: refused within a second by default, and drawn
#      under 512 MiB with the side limit raised.
# Usage: fuzz/surfaces.sh [ZUMEN] [CORPUS]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
zumen=${1:-$here/build/zumen}
corpus=${2:-$here/../shared/corpus}
python=/usr/bin/python3
[ -x "$zumen" ] || { echo "no zumen at $zumen (build it first)" >&2; exit 2; }
[ -d "$corpus" ] || { echo "no corpus at $corpus" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tmp" "$work/in" "$work/out"
export TMPDIR=$work/tmp
fail() { echo "FAILED: $*" >&2; exit 1; }

# 1. Names that are not UTF-8 (a byte 0xff, and code page 932's bytes).
n=0
while IFS= read -r -d '' f; do
  n=$((n + 1))
  ext=${f##*.}
  cp "$f" "$work/in/$(printf 'd%03d\x90\x7d\xff' "$n").$ext"
done < <(find "$corpus" -type f \( -iname '*.jww' -o -iname '*.jws' -o -iname '*.jwc' -o -iname '*.jwk' -o -iname '*.k4' \) -print0)
check_json() {  # lines of JSON on stdin; every source must name an existing file
  "$python" -c '
import json, os, sys
lines = sys.stdin.read().splitlines()
assert lines, "no JSON"
for line in lines:
    j = json.loads(line)
    assert os.path.exists(os.fsencode(j["source"])), j["source"]
print(len(lines))'
}
for f in "$work"/in/*; do
  "$zumen" info --json "$f" 2>/dev/null | check_json >/dev/null || fail "info --json $f"
  "$zumen" convert "$f" "$work/one.png" --json --size 400x300 2>/dev/null | check_json >/dev/null || fail "convert --json $f"
done
lines=$("$zumen" convert "$work/in" -o "$work/out" -j 2 --json -q --size 400x300 2>/dev/null | check_json) || fail "batch --json"
[ "$lines" -eq "$n" ] || fail "batch: $lines lines for $n drawings"
[ -z "$(ls -A "$work/tmp")" ] || fail "temporary files left: $(ls -A "$work/tmp")"
[ -z "$(find "$work/out" -name '.zumen-*')" ] || fail "partial pictures left in the output folder"
echo "names: $n drawings through info, convert and a batch with --json"

# 2. The same bytes whatever the number of threads.
pictures=0
for f in "$corpus"/jww/*.jww "$corpus"/jws/[A-H]*.jws; do
  for type in png tif bmp jpg gif webp; do
    "$zumen" convert "$f" "$work/t1.$type" --size 3000x2121 --threads 1 2>/dev/null
    for t in 2 3 7; do
      "$zumen" convert "$f" "$work/t$t.$type" --size 3000x2121 --threads "$t" 2>/dev/null
      cmp -s "$work/t1.$type" "$work/t$t.$type" || fail "$f .$type: --threads $t differs from --threads 1"
    done
    pictures=$((pictures + 1))
  done
done
echo "threads: $pictures pictures the same with 1, 2, 3 and 7 threads"

# 3. A huge thin picture.
symbol=$(ls "$corpus"/jws/*.jws | head -n 1)
start=$(date +%s%N)
if "$zumen" convert "$symbol" "$work/thin.png" --size 78740069x10 2>"$work/err"; then fail "a 78740069 x 10 picture was not refused"; fi
ms=$(( ($(date +%s%N) - start) / 1000000 ))
grep -q "a side may have at most 65535 pixels" "$work/err" || fail "refusal: $(cat "$work/err")"
[ "$ms" -lt 1000 ] || fail "the refusal took $ms ms"
for size in 5000000x10 10x5000000; do
  kb=$(/usr/bin/time -f '%M' "$zumen" convert "$symbol" "$work/thin.png" --size "$size" --max-side 2147483647 2>&1 >/dev/null | tail -n 1)
  [ "$kb" -lt $((512 * 1024)) ] || fail "$size took $kb KiB"
  echo "thin: $size drawn in $((kb / 1024)) MiB"
done
echo "thin: 78740069 x 10 refused in $ms ms"
echo "all passed"

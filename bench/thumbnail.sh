#!/usr/bin/env bash
# How long `zumen thumbnail` takes on every corpus drawing at 256 pixels,
# against the start-up of the same executable (`zumen --version`), with
# hyperfine. Prints one line per drawing and the largest ratio; exits 1 when a
# thumbnail takes 2 times the start-up or more.
# Usage: bench/thumbnail.sh [ZUMEN] [CORPUS]
#   ZUMEN   the executable (default build/zumen)
#   CORPUS  the folder of drawings (default ../shared/corpus beside the project)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
zumen="$(realpath "${1:-$root/build/zumen}")"
corpus="${2:-$root/../shared/corpus}"
limit=2
if [ ! -x "$zumen" ]; then
  echo "no executable at $zumen: build it first (scripts/build.sh build --target zumen)" >&2
  exit 2
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

mapfile -t drawings < <(find "$corpus" -type f \( -iname '*.jww' -o -iname '*.jws' -o -iname '*.jwc' \
  -o -iname '*.jwk' -o -iname '*.k4' \) | sort)
if [ ${#drawings[@]} -eq 0 ]; then
  echo "no drawings in $corpus" >&2
  exit 2
fi

runs=(--warmup 5 --min-runs 30 --shell=none --style none)
hyperfine "${runs[@]}" --export-json "$work/start.json" "$zumen --version" >/dev/null
start_ms=$(/usr/bin/python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["results"][0]["mean"]*1000)' \
  "$work/start.json")
printf 'start-up (zumen --version): %.2f ms\n' "$start_ms"
printf '%-44s %10s %7s\n' drawing "thumbnail" ratio

worst=0
i=0
for d in "${drawings[@]}"; do
  i=$((i + 1))
  hyperfine "${runs[@]}" --export-json "$work/$i.json" "$zumen thumbnail '$d' $work/$i.png 256" >/dev/null
  line=$(/usr/bin/python3 - "$work/$i.json" "$start_ms" "$d" "$corpus" <<'PY'
import json, os, sys
mean = json.load(open(sys.argv[1]))["results"][0]["mean"] * 1000
ratio = mean / float(sys.argv[2])
print(f"{os.path.relpath(sys.argv[3], sys.argv[4]):<44} {mean:7.2f} ms {ratio:7.2f}")
PY
  )
  echo "$line"
  worst=$(/usr/bin/python3 -c 'import sys; print(max(float(sys.argv[1]), float(sys.argv[2])))' "$worst" "${line##* }")
done
echo "largest ratio: $worst (must be < $limit)"
/usr/bin/python3 -c 'import sys; sys.exit(0 if float(sys.argv[1]) < float(sys.argv[2]) else 1)' "$worst" "$limit"

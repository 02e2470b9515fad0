#!/usr/bin/python3
"""How zumen.batch's local runner scales with the number of drawings.

    /usr/bin/python3 bench/batch_scaling.py [--build build] [--counts 5000 20000]

Runs the runner of convert_many without a client (two threads) over jobs
that each take half a millisecond (a sleep, not a drawing), and prints the
wall and CPU time of the process per count. The work alone takes
count x 0.5 ms / 2 of wall time; what lies above it is the runner's, and it
should grow with the count, not with its square.
"""

import argparse
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]


def job_of(job):
    time.sleep(0.0005)
    return {"status": "ok", "index": job["index"]}


def main() -> int:
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--build", default=str(ROOT / "build"), help="the build folder (its python/zumen)")
    p.add_argument("--counts", type=int, nargs="+", default=[5000, 20000])
    a = p.parse_args()
    sys.path.insert(0, str(Path(a.build).resolve() / "python"))
    from zumen.batch import _run

    print("| jobs | wall s | work alone s | CPU s |")
    print("|---:|---:|---:|---:|")
    for n in a.counts:
        jobs = [{"index": i} for i in range(n)]
        rows = [None] * n
        wall, cpu = time.perf_counter(), time.process_time()
        _run.run(job_of, jobs, rows, workers=2)
        wall, cpu = time.perf_counter() - wall, time.process_time() - cpu
        if any(r is None or r["index"] != i for i, r in enumerate(rows)):
            print("rows out of order or missing", file=sys.stderr)
            return 1
        print(f"| {n} | {wall:.2f} | {n * 0.0005 / 2:.2f} | {cpu:.2f} |")
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/python3
"""zumen.batch on a Dask LocalCluster against `zumen convert -o DIR -j 2`.

    /usr/bin/python3 bench/batch.py [--build build] [--corpus ../shared/corpus] [--rounds 3] [--at-least 500]

Converts the corpus, and the corpus copied again and again into one folder
until it holds at least --at-least drawings, to PNG with the default options:
by the command line with -j 2, by convert_many on a LocalCluster of two worker
processes of one thread each (started once, before the timing), and by
convert_many on two threads of this process. The runs alternate, round after
round, each into a fresh folder (resume=False for the batch: every drawing is
converted), and the medians are compared. Dask's overhead per drawing is the
difference of the medians divided by the number of drawings; the target is a
batch at most 15 % slower than the command line. As that difference moves with
whatever else the machine runs, Dask's own share is also measured from its
task stream: the time a worker waits between the end of one drawing and the
start of the next (median and mean over all drawings of the last round).
Dask's floor on the same cluster closes the report: as many tasks as the
repeated corpus has drawings, each keeping a core busy for 20 ms (about a
drawing's time), their results fetched in one request at the end, against
the time the two cores would need for that work alone.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]


def _spin(seconds: float) -> float:
    """Keeps one core busy for the seconds given: a drawing's work without the drawing."""
    end = time.perf_counter() + seconds
    while time.perf_counter() < end:
        pass
    return seconds


def main() -> int:
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--build", default=str(ROOT / "build"), help="the build folder (its zumen and python/zumen)")
    p.add_argument("--corpus", default=str(ROOT.parent / "shared" / "corpus"))
    p.add_argument("--rounds", type=int, default=3)
    p.add_argument("--at-least", type=int, default=500, help="drawings in the repeated corpus")
    a = p.parse_args()
    build = Path(a.build).resolve()
    sys.path.insert(0, str(build / "python"))
    from distributed import Client, LocalCluster, get_task_stream

    import zumen
    from zumen.batch import convert_many

    exe = build / "zumen"
    corpus = Path(a.corpus)
    drawings = [f for f in corpus.rglob("*") if f.is_file() and zumen.format_of(f.name)]
    if not drawings:
        print(f"no drawings in {corpus}", file=sys.stderr)
        return 1
    work = Path(tempfile.mkdtemp(prefix="zumen-bench-batch-"))
    try:
        repeated = work / "repeated"
        copies = -(-a.at_least // len(drawings))
        for i in range(copies):
            shutil.copytree(corpus, repeated / f"copy{i}")
        sets = [("corpus", corpus, len(drawings)), (f"corpus x{copies}", repeated, copies * len(drawings))]

        start = time.perf_counter()
        cluster = LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None)
        client = Client(cluster)
        print(f"LocalCluster of 2 worker processes started in {time.perf_counter() - start:.1f} s (not timed below)")
        # Each worker reads its fonts once; so does the command line for every run.
        convert_many([drawings[0]], work / "warm", client=client, resume=False)

        def cli(source, out):
            subprocess.run([str(exe), "convert", str(source), "-r", "-o", str(out), "-j", "2", "-q"], check=True,
                           stderr=subprocess.DEVNULL)

        gaps = {}

        def dask(source, out):
            with get_task_stream(client) as stream:
                t = convert_many([source], out, recursive=True, client=client, resume=False)
            assert set(t.status) <= {"ok", "partial"}, t[t.status == "failed"]
            spans = {}
            for task in stream.data:
                for s in task["startstops"]:
                    if s["action"] == "compute":
                        spans.setdefault(task["worker"], []).append((s["start"], s["stop"]))
            waits = []
            for worker_spans in spans.values():
                worker_spans.sort()
                waits += [max(0.0, b[0] - a[1]) for a, b in zip(worker_spans, worker_spans[1:])]
            gaps[source] = waits

        def threads(source, out):
            convert_many([source], out, recursive=True, jobs=2, resume=False)

        runs = [("zumen convert -j 2", cli), ("convert_many, LocalCluster 2x1", dask),
                ("convert_many, 2 threads", threads)]
        results = {}
        for name, source, count in sets:
            times = {r: [] for r, _ in runs}
            for k in range(a.rounds):
                for label, f in runs:
                    out = work / f"out-{len(os.listdir(work))}"
                    t = time.perf_counter()
                    f(source, out)
                    times[label].append(time.perf_counter() - t)
                    shutil.rmtree(out)
            results[name] = (count, {label: statistics.median(v) for label, v in times.items()}, gaps[source])

        floor_tasks = sets[-1][2]
        start = time.perf_counter()
        client.gather(client.map(_spin, [0.02] * floor_tasks, pure=False))
        floor = (time.perf_counter() - start, floor_tasks * 0.02 / 2)

        client.close()
        cluster.close()
    finally:
        shutil.rmtree(work, ignore_errors=True)

    load = ", ".join(f"{v:.1f}" for v in os.getloadavg())
    print(f"\nmedians of {a.rounds} rounds, PNG at 150 dpi, {os.cpu_count()} cores, load average after: {load}")
    print(f"| drawings | {' | '.join(label for label, _ in runs)} | Dask / command line | difference per drawing "
          f"| worker's wait between drawings: median, mean |")
    print("|---|" + "---:|" * (len(runs) + 3))
    worst = 0.0
    for name, (count, m, waits) in results.items():
        base, dask_s = m[runs[0][0]], m[runs[1][0]]
        ratio = dask_s / base
        worst = max(worst, ratio)
        cells = " | ".join(f"{m[label]:.2f} s" for label, _ in runs)
        wait = f"{statistics.median(waits) * 1000:.1f} ms, {statistics.mean(waits) * 1000:.1f} ms" if waits else "-"
        print(f"| {name} ({count}) | {cells} | {ratio:.2f} | {(dask_s - base) / count * 1000:+.1f} ms | {wait} |")
    print(f"\nDask's floor: {floor_tasks} tasks of 20 ms each on the 2 workers take {floor[0]:.2f} s, "
          f"{floor[0] / floor[1]:.2f} x the {floor[1]:.2f} s of their work alone")
    met = worst <= 1.15
    print(f"\n{'met' if met else 'missed'}  Dask at most 15 % slower than the command line: worst {worst:.2f} x")
    return 0


if __name__ == "__main__":
    sys.exit(main())

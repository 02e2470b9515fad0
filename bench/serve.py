#!/usr/bin/env python3
"""Thumbnails from `zumen serve` against one `zumen convert` process per thumbnail.

    bench/serve.py [ZUMEN] [CORPUS] [--seconds S]

For a small and a large corpus drawing, at 1, 2 and 8 concurrent clients:
requests per second and the median and 99th-percentile latency of a 256-pixel
PNG thumbnail (the extents on white, no frame), asked of a running service
(HTTP over loopback, one connection per client, kept alive) and made by
starting `zumen convert SRC - ...` for each one. Both give the same bytes.
"""

import argparse
import http.client
import os
import re
import statistics
import subprocess
import sys
import threading
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
PARAMS = "format=png&size=256x181&fit=extents&frame=false&background=white"
OPTIONS = ["--format", "png", "--size", "256x181", "--fit", "extents", "--no-frame", "--background", "white"]


def percentile(values, p):
    s = sorted(values)
    return s[min(len(s) - 1, int(round(p / 100 * (len(s) - 1))))]


def run(clients, seconds, one):
    """Runs one() from `clients` threads for `seconds`; latencies in seconds."""
    latencies, lock = [], threading.Lock()
    end = time.monotonic() + seconds

    def client():
        state = {}
        mine = []
        while time.monotonic() < end:
            start = time.monotonic()
            one(state)
            mine.append(time.monotonic() - start)
        with lock:
            latencies.extend(mine)

    threads = [threading.Thread(target=client) for _ in range(clients)]
    start = time.monotonic()
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    return latencies, time.monotonic() - start


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("zumen", nargs="?", default=str(HERE.parent / "build-release" / "zumen"))
    ap.add_argument("corpus", nargs="?", default=str(HERE.parent.parent / "shared" / "corpus"))
    ap.add_argument("--seconds", type=float, default=5)
    a = ap.parse_args()
    if not Path(a.zumen).is_file():
        sys.exit(f"no zumen at {a.zumen}: build it (scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release)")
    drawings = {"small": Path(a.corpus) / "jww/Test2.jww", "large": Path(a.corpus) / "jww/Test7.jww"}
    for p in drawings.values():
        if not p.is_file():
            sys.exit(f"no corpus drawing {p}")

    server = subprocess.Popen([a.zumen, "serve", "--listen", "127.0.0.1:0", "--queue", "64"],
                              stderr=subprocess.PIPE, stdout=subprocess.DEVNULL)
    port = int(re.search(rb":(\d+)/", server.stderr.readline()).group(1))
    threading.Thread(target=server.stderr.read, daemon=True).start()
    cores = os.cpu_count()
    print(f"{cores} cores; zumen serve with --jobs {cores}; {a.seconds:g} s per row; 256-pixel PNG thumbnails\n")
    print(f"| drawing | clients | serve req/s | serve p50 ms | serve p99 ms | convert req/s | convert p50 ms | "
          f"convert p99 ms | serve / convert |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|---:|")
    try:
        for name, src in drawings.items():
            body = src.read_bytes()
            # The same bytes either way.
            c = http.client.HTTPConnection("127.0.0.1", port)
            c.request("POST", f"/v1/convert?{PARAMS}", body)
            served = c.getresponse().read()
            made = subprocess.run([a.zumen, "convert", str(src), "-", *OPTIONS], capture_output=True, check=True).stdout
            assert served == made, "the service and the command line disagree"

            def service(state):
                if "c" not in state:
                    state["c"] = http.client.HTTPConnection("127.0.0.1", port)
                state["c"].request("POST", f"/v1/convert?{PARAMS}", body)
                r = state["c"].getresponse()
                r.read()
                assert r.status == 200, r.status

            def process(state):
                subprocess.run([a.zumen, "convert", str(src), "-", *OPTIONS], stdout=subprocess.DEVNULL, check=True)

            for clients in (1, 2, 8):
                s_lat, s_time = run(clients, a.seconds, service)
                p_lat, p_time = run(clients, a.seconds, process)
                s_rps, p_rps = len(s_lat) / s_time, len(p_lat) / p_time
                print(f"| {name} ({src.name}) | {clients} | {s_rps:.1f} | {statistics.median(s_lat) * 1000:.1f} | "
                      f"{percentile(s_lat, 99) * 1000:.1f} | {p_rps:.1f} | {statistics.median(p_lat) * 1000:.1f} | "
                      f"{percentile(p_lat, 99) * 1000:.1f} | {s_rps / p_rps:.2f} x |", flush=True)
    finally:
        server.terminate()
        server.wait(60)


if __name__ == "__main__":
    main()

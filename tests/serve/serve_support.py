"""A running `zumen serve` on a free loopback port, and a small HTTP client.

The tests start the built executable as a user would, each server in a fresh
temporary folder given as TMPDIR, so that what it leaves there can be checked.
"""

import http.client
import json
import os
import re
import signal
import subprocess
import tempfile
import threading
import time
from pathlib import Path
from urllib.parse import urlencode

SOURCE = Path(os.environ.get("ZUMEN_SOURCE_DIR", Path(__file__).resolve().parents[2]))
ZUMEN_EXE = os.environ.get("ZUMEN_EXE", str(SOURCE / "build" / "zumen"))
CORPUS = Path(os.environ.get("ZUMEN_CORPUS_DIR", SOURCE.parent / "shared" / "corpus"))
MAKE_DENSE = os.environ.get("ZUMEN_MAKE_DENSE", "")


def corpus(relative):
    """A corpus drawing's path, or None when the corpus is not there."""
    p = CORPUS / relative
    return p if p.is_file() else None


class Answer:
    def __init__(self, status, headers, body):
        self.status, self.headers, self.body = status, headers, body

    def header(self, name):
        return self.headers.get(name.lower())

    def json(self):
        return json.loads(self.body)

    def __repr__(self):
        return f"<{self.status} {self.body[:200]!r}>"


class Server:
    """`zumen serve --listen 127.0.0.1:0 ARGS`; the port it took is read from
    its first line on standard error."""

    def __init__(self, *args):
        self.tmp = tempfile.TemporaryDirectory(prefix="zumen-serve-test-")
        self.tmpdir = Path(self.tmp.name) / "tmp"
        self.tmpdir.mkdir()
        env = dict(os.environ, TMPDIR=str(self.tmpdir))
        self.process = subprocess.Popen([ZUMEN_EXE, "serve", "--listen", "127.0.0.1:0", *args],
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.PIPE, env=env)
        first = self.process.stderr.readline().decode("utf-8", "replace")
        m = re.search(r"serving on http://127\.0\.0\.1:(\d+)/", first)
        if not m:
            self.process.kill()
            raise RuntimeError(f"zumen serve did not start: {first}{self.process.stderr.read().decode()}")
        self.port = int(m.group(1))
        self.errors = [first]
        self._reader = threading.Thread(target=self._read_errors, daemon=True)
        self._reader.start()

    def _read_errors(self):
        for line in self.process.stderr:
            self.errors.append(line.decode("utf-8", "replace"))

    def request(self, method, path, body=None, headers=None, timeout=120):
        c = http.client.HTTPConnection("127.0.0.1", self.port, timeout=timeout)
        try:
            c.request(method, path, body=body, headers=headers or {})
            r = c.getresponse()
            return Answer(r.status, {k.lower(): v for k, v in r.getheaders()}, r.read())
        finally:
            c.close()

    def post(self, endpoint, body, **params):
        """POST /v1/ENDPOINT?PARAMS with the drawing as the body."""
        path = f"/v1/{endpoint}" + (f"?{urlencode(params)}" if params else "")
        return self.request("POST", path, body, {"Content-Type": "application/octet-stream"})

    def metrics(self):
        """The samples of /metrics: {'name{labels}': value}."""
        text = self.request("GET", "/metrics").body.decode()
        samples = {}
        for line in text.splitlines():
            if line and not line.startswith("#"):
                key, value = line.rsplit(" ", 1)
                samples[key] = float(value)
        return samples

    def peak_memory_kib(self):
        for line in Path(f"/proc/{self.process.pid}/status").read_text().splitlines():
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
        return 0

    def temporary_entries(self):
        return sorted(str(p.relative_to(self.tmpdir)) for p in self.tmpdir.rglob("*"))

    def stop(self, timeout=60):
        """SIGTERM, then the exit status (None if it had to be killed)."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        try:
            status = self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            status = None
        self._reader.join(5)
        self.process.stderr.close()
        return status

    def close(self):
        self.stop()
        self.tmp.cleanup()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def command_line(src, ext, options):
    """The bytes `zumen convert SRC OUT.EXT OPTIONS` writes."""
    with tempfile.TemporaryDirectory(prefix="zumen-serve-cli-") as t:
        out = Path(t) / f"out.{ext}"
        r = subprocess.run([ZUMEN_EXE, "convert", str(src), str(out), *options], capture_output=True)
        if r.returncode not in (0, 3):
            raise AssertionError(f"zumen convert {src} {options}: {r.stderr.decode()}")
        return out.read_bytes()


def make_dense(folder):
    """The 200,000-entity drawing, or None when its generator is not built."""
    if not MAKE_DENSE or not Path(MAKE_DENSE).is_file():
        return None
    out = Path(folder) / "dense.jww"
    subprocess.run([MAKE_DENSE, str(out)], check=True, capture_output=True)
    return out


def wait_until(predicate, seconds=30, step=0.05):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if predicate():
            return True
        time.sleep(step)
    return predicate()

"""`zumen serve` over HTTP, against the built executable on a loopback port.

Run by CTest with ZUMEN_EXE (the executable), ZUMEN_CORPUS_DIR and, where the
benchmarks are built, ZUMEN_MAKE_DENSE (the dense drawing's generator):
    python3 serve_test.py
Tests that need the corpus skip without it. ZUMEN_SERVE_LOAD_SECONDS sets the
length of the load test (30 s by default).
"""

import io
import json
import os
import random
import signal
import socket
import struct
import subprocess
import tempfile
import threading
import time
import unittest
import uuid
import zipfile
from pathlib import Path
from urllib.parse import urlencode

from serve_support import (ZUMEN_EXE, Server, command_line, corpus, make_dense, wait_until)

SMALL = "jww/Test2.jww"
SYMBOL = "jws/1200.jws"
BLOCKS = "jww/blocks/2blocks.jww"
LARGE = "jww/Test7.jww"


def need(testcase, *relatives):
    paths = [corpus(r) for r in relatives]
    if not all(paths):
        testcase.skipTest("the corpus is not here")
    return paths if len(paths) > 1 else paths[0]


def png_size(data):
    assert data[:8] == b"\x89PNG\r\n\x1a\n", data[:8]
    return struct.unpack(">II", data[16:24])


def multipart(field, filename, content):
    boundary = uuid.uuid4().hex
    body = (f"--{boundary}\r\nContent-Disposition: form-data; name=\"{field}\"; filename=\"{filename}\"\r\n"
            f"Content-Type: application/octet-stream\r\n\r\n").encode() + content + f"\r\n--{boundary}--\r\n".encode()
    return body, {"Content-Type": f"multipart/form-data; boundary={boundary}"}


# What each type's answer starts with, and its media type.
TYPES = {
    "png": (b"\x89PNG", "image/png"), "jpg": (b"\xff\xd8\xff", "image/jpeg"), "gif": (b"GIF8", "image/gif"),
    "tif": (b"II*\x00", "image/tiff"), "bmp": (b"BM", "image/bmp"), "webp": (b"RIFF", "image/webp"),
    "svg": (b"<?xml", "image/svg+xml"), "pdf": (b"%PDF", "application/pdf"), "dxf": (b"  0\nSECTION", "image/vnd.dxf"),
}


class Command(unittest.TestCase):
    def test_wrong_options_and_a_port_in_use(self):
        with Server("--jobs", "1") as running:
            cases = [
                (["--listen", "localhost"], 2, "--listen: takes HOST:PORT"),
                (["--listen", "::1:80"], 2, "--listen: takes HOST:PORT"),
                (["--listen", "127.0.0.1:70000"], 2, "--listen: takes HOST:PORT"),
                (["--jobs", "0"], 2, "--jobs: takes a number"),
                (["--queue", "-1"], 2, "--queue: takes a number of waiting requests"),
                (["--max-upload", "12X"], 2, "--max-upload: takes a size in bytes"),
                (["--max-upload", "0"], 2, "--max-upload: takes a size in bytes"),
                (["--timeout", "0"], 2, "--timeout: takes seconds"),
                (["--max-side", "0"], 2, "--max-side: takes a whole number"),
                (["--listen", f"127.0.0.1:{running.port}"], 1, f"cannot listen on 127.0.0.1:{running.port}"),
            ]
            for args, status, words in cases:
                with self.subTest(args):
                    r = subprocess.run([ZUMEN_EXE, "serve", *args], capture_output=True, text=True, timeout=30)
                    self.assertEqual(r.returncode, status, r.stderr)
                    self.assertIn(words, r.stderr)


class Endpoints(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = Server("--jobs", "2")

    @classmethod
    def tearDownClass(cls):
        cls.server.close()

    def test_every_type_is_the_command_lines_bytes(self):
        small, symbol = need(self, SMALL, SYMBOL)
        cases = [(small, t, {"size": "400x283"}) for t in TYPES] + [
            (symbol, "png", {}),
            (symbol, "svg", {"dpi": "100"}),
            (small, "png", {"dpi": "40", "background": "black", "frame": "false"}),
            (small, "png", {"size": "300x300", "fit": "extents", "monochrome": "true", "background": "transparent"}),
            (small, "jpg", {"size": "300x200", "quality": "40"}),
            (small, "webp", {"size": "300x200", "quality": "70"}),
            (small, "pdf", {"monochrome": "true"}),
        ]
        options = {"size": "--size", "dpi": "--dpi", "fit": "--fit", "background": "--background",
                   "quality": "--quality"}
        for src, ext, params in cases:
            with self.subTest(src=src.name, type=ext, params=params):
                cli = []
                for k, v in params.items():
                    if k == "frame":
                        cli.append("--no-frame")
                    elif k == "monochrome":
                        cli.append("--monochrome")
                    else:
                        cli += [options[k], v]
                a = self.server.post("convert", src.read_bytes(), format=ext, name=src.name, **params)
                self.assertEqual(a.status, 200, a)
                magic, media = TYPES[ext]
                self.assertEqual(a.header("Content-Type"), media)
                self.assertTrue(a.body.startswith(magic), a.body[:16])
                self.assertIn(f'filename="{src.stem}.{"jpg" if ext == "jpg" else ext}', a.header("Content-Disposition"))
                self.assertEqual(a.body, command_line(src, ext, cli))

    def test_a_multipart_upload_is_the_same_as_the_body(self):
        small = need(self, SMALL)
        data = small.read_bytes()
        body, headers = multipart("file", "Test2.jww", data)
        a = self.server.request("POST", "/v1/convert?format=png&size=200x141", body, headers)
        b = self.server.post("convert", data, format="png", size="200x141")
        self.assertEqual(a.status, 200, a)
        self.assertEqual(a.body, b.body)
        self.assertIn('filename="Test2.png"', a.header("Content-Disposition"))

    def test_the_window_headers_place_the_drawing_in_the_picture(self):
        # Fitted to its extents, the drawing's extents fill the picture less
        # its margin: the window and scale must say so.
        for relative in (SMALL, SYMBOL, "jww/Test4.jww"):
            src = need(self, relative)
            with self.subTest(relative):
                info = self.server.post("info", src.read_bytes(), name=src.name).json()
                e = info["extents"]
                a = self.server.post("convert", src.read_bytes(), name=src.name, size="640x480", fit="extents")
                self.assertEqual(a.status, 200, a)
                w, h = png_size(a.body)
                self.assertEqual((w, h), (int(a.header("X-Zumen-Width")), int(a.header("X-Zumen-Height"))))
                min_x, min_y, max_x, max_y = map(float, a.header("X-Zumen-Window").split(","))
                scale = float(a.header("X-Zumen-Scale"))
                self.assertGreater(scale, 0)
                # The window is the picture.
                self.assertAlmostEqual((max_x - min_x) * scale, w, delta=1)
                self.assertAlmostEqual((max_y - min_y) * scale, h, delta=1)
                # The extents lie inside it, and fill one of its sides less the margin.
                self.assertLessEqual(min_x, e["min_x"])
                self.assertLessEqual(min_y, e["min_y"])
                self.assertGreaterEqual(max_x, e["max_x"])
                self.assertGreaterEqual(max_y, e["max_y"])
                filled = max((e["max_x"] - e["min_x"]) * scale / w, (e["max_y"] - e["min_y"]) * scale / h)
                if relative.lower().endswith((".jws", ".jwk")):
                    # A symbol is fitted by what it draws: its texts and pens
                    # reach a little past the extents of its points.
                    self.assertLessEqual(filled, 0.96)
                    self.assertGreater(filled, 0.8)
                else:
                    self.assertAlmostEqual(filled, 0.95, delta=0.01)

    def test_info_is_the_command_lines_json_with_the_layers(self):
        for relative in (SMALL, SYMBOL):
            src = need(self, relative)
            with self.subTest(relative):
                a = self.server.post("info", src.read_bytes(), name=src.name)
                self.assertEqual(a.status, 200, a)
                served = a.json()
                printed = json.loads(subprocess.run([ZUMEN_EXE, "info", "--json", str(src)], capture_output=True,
                                                    check=True).stdout)
                layers = served.pop("layers")
                self.assertEqual(served.pop("source"), src.name)
                printed.pop("source")
                self.assertEqual(served, printed)
                self.assertIsInstance(layers, list)
                if not layers:
                    continue  # the library does not list layers yet
                self.assertEqual([l["number"] for l in layers], list(range(256)))
                self.assertEqual(sum(l["items"] for l in layers) > 0, True)

    def test_texts_are_the_librarys_json(self):
        src = need(self, SMALL)
        a = self.server.post("text", src.read_bytes(), name=src.name)
        self.assertEqual(a.status, 200, a)
        texts = a.json()
        self.assertIsInstance(texts, list)
        if not texts:
            self.skipTest("the library lists no texts yet (Drawing::Texts)")
        for t in texts:
            self.assertEqual(set(t), {"text", "x", "y", "height", "angle", "vertical", "box", "layer", "group",
                                      "layer_name", "group_name", "block_path"})
        # Texts of layers left out are not listed.
        shown = {t["layer"] for t in texts}
        hidden = self.server.post("text", src.read_bytes(), name=src.name,
                                  layers=",".join(str(n) for n in range(256) if n not in shown)).json()
        self.assertEqual(hidden, [])

    def test_layers_choose_what_is_drawn(self):
        src = need(self, SMALL)
        layers = self.server.post("info", src.read_bytes(), name=src.name).json()["layers"]
        full = self.server.post("convert", src.read_bytes(), name=src.name, size="400x283", frame="false")
        none = self.server.post("convert", src.read_bytes(), name=src.name, size="400x283", frame="false", layers="")
        self.assertEqual(none.status, 200, none)
        blank = self.server.post("convert", b"", size="1x1")  # no drawing: refused
        self.assertEqual(blank.status, 400)
        if not layers:
            self.skipTest("the library does not list layers or apply a layer selection yet")
        self.assertNotEqual(full.body, none.body)
        every = ",".join(str(l["number"]) for l in layers if l["state"] != "hidden")
        same = self.server.post("convert", src.read_bytes(), name=src.name, size="400x283", frame="false",
                                layers=every)
        self.assertEqual(same.body, full.body)

    def test_health_page_and_viewer(self):
        a = self.server.request("GET", "/healthz")
        self.assertEqual((a.status, a.json()), (200, {"status": "ok"}))
        for path, media, words in [("/", "text/html", b"viewer.js"), ("/viewer.js", "text/javascript", b"/v1/convert"),
                                   ("/viewer.css", "text/css", b"#stage")]:
            with self.subTest(path):
                a = self.server.request("GET", path)
                self.assertEqual(a.status, 200)
                self.assertTrue(a.header("Content-Type").startswith(media), a.header("Content-Type"))
                self.assertIn(words, a.body)
                source = Path(__file__).resolve().parents[2] / "apps/serve/viewer" / (
                    "index.html" if path == "/" else path[1:])
                if source.is_file():
                    self.assertEqual(a.body, source.read_bytes())
                self.assertIn("default-src 'self'", a.header("Content-Security-Policy"))


class Errors(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = Server("--jobs", "1", "--max-upload", "1M", "--max-pixels", "4000000")

    @classmethod
    def tearDownClass(cls):
        cls.server.close()

    def test_each_fault_has_its_status_and_a_json_message(self):
        small = need(self, SMALL)
        data = small.read_bytes()
        garbage = bytes(random.Random(7).randrange(256) for _ in range(5000))
        big = data * (2 * 1024 * 1024 // len(data) + 1)
        cases = [
            # body, parameters, status, code
            (garbage, {}, 415, "unknown_format"),
            (garbage, {"from": "jww"}, 422, "unreadable"),
            (garbage, {"name": "plan.jwc"}, 422, "unreadable"),
            (data[:8], {"name": "cut.jww"}, 422, "unreadable"),
            (b"", {}, 400, "no_drawing"),
            (big, {}, 413, "too_large"),
            (data, {"format": "xyz"}, 400, "bad_parameter"),
            (data, {"dpi": "0"}, 400, "bad_parameter"),
            (data, {"dpi": "nan"}, 400, "bad_parameter"),
            (data, {"size": "300"}, 400, "bad_parameter"),
            (data, {"size": "300x200", "dpi": "100"}, 400, "bad_parameter"),
            (data, {"quality": "50"}, 400, "bad_parameter"),
            (data, {"format": "jpg", "quality": "101"}, 400, "bad_parameter"),
            (data, {"layers": "256"}, 400, "bad_parameter"),
            (data, {"layers": "3-1"}, 400, "bad_parameter"),
            (data, {"frame": "maybe"}, 400, "bad_parameter"),
            (data, {"background": "pink"}, 400, "bad_parameter"),
            (data, {"fit": "page"}, 400, "bad_parameter"),
            (data, {"from": "doc"}, 400, "bad_parameter"),
            (data, {"colour": "red"}, 400, "bad_parameter"),
            (data, {"timeout": "0"}, 400, "bad_parameter"),
            (data, {"timeout": "soon"}, 400, "bad_parameter"),
            (data, {"size": "70000x10"}, 422, "picture_too_large"),
            (data, {"size": "3000x3000"}, 422, "picture_too_large"),
        ]
        for body, params, status, code in cases:
            with self.subTest(params=params, length=len(body)):
                a = self.server.post("convert", body, **params)
                self.assertEqual(a.status, status, a)
                self.assertEqual(a.header("Content-Type"), "application/json")
                e = a.json()
                self.assertEqual(e["code"], code)
                self.assertTrue(e["message"]) 
                self.assertNotIn("\n", e["message"])
        # info and text refuse the same inputs the same way, and picture options.
        for endpoint in ("info", "text"):
            for body, params, status in [(garbage, {}, 415), (b"", {}, 400), (data, {"size": "10x10"}, 400)]:
                with self.subTest(endpoint=endpoint, params=params):
                    self.assertEqual(self.server.post(endpoint, body, **params).status, status)

    def test_a_drawing_read_in_part_is_drawn_and_says_so(self):
        small = need(self, SMALL)
        data = small.read_bytes()
        for cut in (40, len(data) * 2 // 3):
            with self.subTest(cut=cut):
                a = self.server.post("convert", data[:cut], name="cut.jww", size="200x141")
                self.assertEqual(a.status, 200, a)
                self.assertEqual(a.header("X-Zumen-Status"), "partial")
                self.assertIn("read-partial=1", a.header("X-Zumen-Warnings"))
                info = self.server.post("info", data[:cut], name="cut.jww")
                self.assertEqual((info.status, info.json()["status"], info.json()["exit_status"]), (200, "partial", 3))

    def test_an_upload_too_large_without_a_length_is_refused(self):
        small = need(self, SMALL)
        data = small.read_bytes() * 60

        def chunks():
            for i in range(0, len(data), 65536):
                yield data[i:i + 65536]

        import http.client
        c = http.client.HTTPConnection("127.0.0.1", self.server.port, timeout=30)
        try:
            c.request("POST", "/v1/convert", body=chunks(), encode_chunked=True,
                      headers={"Transfer-Encoding": "chunked"})
            r = c.getresponse()
            self.assertEqual(r.status, 413)
            self.assertEqual(json.loads(r.read())["code"], "too_large")
        except (BrokenPipeError, ConnectionResetError):
            pass  # refused before the whole body was sent: the server closed the connection
        finally:
            c.close()

    def test_no_path_on_the_server_is_reached(self):
        small = need(self, SMALL)
        for name in ("../../etc/passwd", "/etc/passwd.jww", "..\\x.jww"):
            with self.subTest(name):
                a = self.server.post("convert", small.read_bytes(), name=name, size="100x70")
                self.assertEqual(a.status, 200, a)
                self.assertNotIn("/", a.header("Content-Disposition").split("filename=")[1])
        for path in ("/../etc/passwd", "/v1/convert/../../etc/passwd", "/viewer.js/..", "/nope"):
            with self.subTest(path):
                a = self.server.request("GET", path)
                self.assertEqual(a.status, 404, a)
                self.assertEqual(a.json()["code"], "not_found")


class Budgets(unittest.TestCase):
    """The queue, the time budget and clients that stall or go away."""

    def slow_request(self, server, src, **params):
        """Sends a conversion that takes long (a large picture) on its own thread."""
        answers = []
        t = threading.Thread(target=lambda: answers.append(server.post("convert", src.read_bytes(), **params)))
        t.start()
        self.assertTrue(wait_until(lambda: server.metrics()["zumen_in_flight"] == 1), "the slow request did not start")
        return t, answers

    def test_a_full_queue_is_refused_and_a_waiting_request_runs_out_of_time(self):
        large = need(self, LARGE)
        with Server("--jobs", "1", "--queue", "1", "--max-pixels", "2000000000") as s:
            slow, answers = self.slow_request(s, large, size="24000x16970")
            # One waits in the queue with a short budget of its own, and runs
            # out of it there; the next is refused at once.
            waiting = []
            w = threading.Thread(target=lambda: waiting.append(
                s.post("convert", large.read_bytes(), size="100x70", timeout="1")))
            w.start()
            self.assertTrue(wait_until(lambda: s.metrics()["zumen_queued"] == 1))
            refused = s.post("convert", large.read_bytes(), size="100x70")
            self.assertEqual(refused.status, 503, refused)
            self.assertEqual(refused.json()["code"], "queue_full")
            self.assertEqual(refused.header("Retry-After"), "1")
            w.join()
            self.assertEqual(waiting[0].status, 504, waiting[0])
            self.assertEqual(waiting[0].json()["code"], "timeout")
            slow.join()
            self.assertEqual(answers[0].status, 200, answers[0])
            m = s.metrics()
            self.assertEqual(m["zumen_rejected_total"], 1)
            self.assertEqual(m['zumen_requests_total{endpoint="/v1/convert",code="503"}'], 1)
            self.assertEqual(m['zumen_requests_total{endpoint="/v1/convert",code="504"}'], 1)
            self.assertEqual(m["zumen_in_flight"], 0)

    def test_the_time_budget_stops_a_dense_drawing(self):
        with tempfile.TemporaryDirectory() as t:
            dense = make_dense(t)
            if dense is None:
                self.skipTest("make_dense is not built here")
            with Server("--jobs", "1", "--timeout", "1") as s:
                start = time.monotonic()
                a = s.post("convert", dense.read_bytes(), dpi="300")
                took = time.monotonic() - start
                self.assertEqual(a.status, 504, a)
                self.assertEqual(a.json()["code"], "timeout")
                # Stopped within the budget and a little more, not drawn to the end.
                self.assertLess(took, 1 + 3, "the drawing went on past its time budget")
                self.assertEqual(s.metrics()["zumen_in_flight"], 0)

    def test_a_stalled_upload_holds_no_slot(self):
        small = need(self, SMALL)
        with Server("--jobs", "1", "--queue", "0") as s:
            stalled = socket.create_connection(("127.0.0.1", s.port))
            try:
                stalled.sendall(b"POST /v1/convert HTTP/1.1\r\nHost: x\r\nContent-Length: 100000\r\n\r\n" + b"x" * 1000)
                # While it stalls, the one slot (and no queue) still takes other requests.
                for _ in range(3):
                    a = s.post("convert", small.read_bytes(), size="100x70")
                    self.assertEqual(a.status, 200, a)
                self.assertEqual(s.metrics()["zumen_in_flight"], 0)
            finally:
                stalled.close()

    def test_a_client_that_goes_away_frees_its_slot(self):
        large, small = need(self, LARGE, SMALL)
        with Server("--jobs", "1", "--queue", "0", "--max-pixels", "2000000000") as s:
            # Goes away while its picture is drawn ...
            gone = socket.create_connection(("127.0.0.1", s.port))
            body = large.read_bytes()
            gone.sendall(f"POST /v1/convert?size=12000x8485 HTTP/1.1\r\nHost: x\r\n"
                         f"Content-Length: {len(body)}\r\n\r\n".encode() + body)
            self.assertTrue(wait_until(lambda: s.metrics()["zumen_in_flight"] == 1))
            gone.close()
            # ... and one that reads a little of a large answer, then goes.
            self.assertTrue(wait_until(lambda: s.metrics()["zumen_in_flight"] == 0, 120))
            reader = socket.create_connection(("127.0.0.1", s.port))
            reader.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
            reader.sendall(f"POST /v1/convert?size=3000x2000&format=bmp HTTP/1.1\r\nHost: x\r\n"
                           f"Content-Length: {len(body)}\r\n\r\n".encode() + body)
            reader.recv(1000)
            reader.close()
            # The slot is free for the next client.
            self.assertTrue(wait_until(lambda: s.metrics()["zumen_in_flight"] == 0, 120))
            a = s.post("convert", small.read_bytes(), size="100x70")
            self.assertEqual(a.status, 200, a)


class Metrics(unittest.TestCase):
    def test_counts_match_what_was_sent(self):
        small = need(self, SMALL)
        with Server("--jobs", "1") as s:
            for _ in range(3):
                self.assertEqual(s.post("convert", small.read_bytes(), size="100x70").status, 200)
            for _ in range(2):
                self.assertEqual(s.post("convert", small.read_bytes(), dpi="-1").status, 400)
            self.assertEqual(s.post("info", small.read_bytes()).status, 200)
            self.assertEqual(s.request("GET", "/nowhere").status, 404)
            m = s.metrics()
            expected = {
                'zumen_requests_total{endpoint="/v1/convert",code="200"}': 3,
                'zumen_requests_total{endpoint="/v1/convert",code="400"}': 2,
                'zumen_requests_total{endpoint="/v1/info",code="200"}': 1,
                'zumen_requests_total{endpoint="other",code="404"}': 1,
                'zumen_request_duration_seconds_count{endpoint="/v1/convert"}': 5,
                'zumen_request_duration_seconds_bucket{endpoint="/v1/convert",le="+Inf"}': 5,
                "zumen_in_flight": 0,
                "zumen_queued": 0,
                "zumen_rejected_total": 0,
                "zumen_jobs": 1,
            }
            for key, value in expected.items():
                self.assertEqual(m.get(key), value, key)
            # Buckets only grow.
            buckets = [v for k, v in m.items() if k.startswith('zumen_request_duration_seconds_bucket{endpoint="/v1/convert"')]
            self.assertEqual(buckets, sorted(buckets))
            # No request of this test is counted by the metrics request itself before it is answered.
            self.assertNotIn('zumen_requests_total{endpoint="/metrics",code="200"}', m)


class Load(unittest.TestCase):
    """Four times more clients than conversion slots, good and bad drawings
    mixed, for ZUMEN_SERVE_LOAD_SECONDS: every answer is right or 503."""

    def test_many_clients_good_and_bad_drawings(self):
        sources = [corpus(r) for r in (SMALL, SYMBOL, BLOCKS, "jww/Test4.jww")]
        if not all(sources):
            self.skipTest("the corpus is not here")
        seconds = float(os.environ.get("ZUMEN_SERVE_LOAD_SECONDS", "30"))
        jobs, clients = 2, 8
        # What each good request must answer: the command line's bytes.
        goods = []
        for src in sources:
            for ext, params, cli in [("png", {"size": "200x141"}, ["--size", "200x141"]),
                                     ("svg", {"dpi": "30"}, ["--dpi", "30"])]:
                goods.append((src.read_bytes(), ext, params, command_line(src, ext, cli)))
        garbage = bytes(random.Random(3).randrange(256) for _ in range(3000))
        bads = [(garbage, {}, 415), (garbage, {"from": "jww"}, 422), (b"", {}, 400),
                (sources[0].read_bytes(), {"dpi": "0"}, 400)]
        with Server("--jobs", str(jobs), "--queue", str(jobs)) as s:
            outcomes, failures = {}, []
            lock = threading.Lock()
            end = time.monotonic() + seconds

            def client(seed):
                rnd = random.Random(seed)
                while time.monotonic() < end:
                    try:
                        if rnd.random() < 0.7:
                            body, ext, params, expected = rnd.choice(goods)
                            a = s.post("convert", body, format=ext, **params)
                            ok = a.status == 503 or (a.status == 200 and a.body == expected)
                        else:
                            body, params, status = rnd.choice(bads)
                            a = s.post("convert", body, **params)
                            ok = a.status in (503, status) and "code" in a.json()
                        with lock:
                            outcomes[a.status] = outcomes.get(a.status, 0) + 1
                            if not ok:
                                failures.append(a)
                        if a.status == 503:
                            time.sleep(0.02)  # as Retry-After asks, a little
                    except Exception as e:  # a crash or a dropped connection
                        with lock:
                            failures.append(e)

            threads = [threading.Thread(target=client, args=(i,)) for i in range(clients)]
            for t in threads:
                t.start()
            for t in threads:
                t.join()
            peak = s.peak_memory_kib()
            print(f"\nload: {seconds:.0f} s, {clients} clients, {jobs} jobs: answers {sorted(outcomes.items())}, "
                  f"peak memory {peak / 1024:.0f} MiB", flush=True)
            self.assertEqual(failures[:5], [])
            self.assertGreater(outcomes.get(200, 0), 0)
            self.assertEqual(s.request("GET", "/healthz").status, 200)
            m = s.metrics()
            self.assertEqual(m["zumen_in_flight"], 0)
            self.assertEqual(m["zumen_rejected_total"], outcomes.get(503, 0))
            # Memory stays bounded: a few drawings and pictures at a time.
            self.assertLess(peak, 1024 * 1024, "peak memory above 1 GiB")
            self.assertEqual(s.stop(), 0, "".join(s.errors))
            self.assertEqual(s.temporary_entries(), [])

    def test_sigterm_during_load_drains_and_exits(self):
        large, small = need(self, LARGE, SMALL)
        s = Server("--jobs", "2", "--queue", "2", "--max-pixels", "2000000000")
        try:
            answers, errors = [], []
            lock = threading.Lock()

            def client(src, params):
                try:
                    a = s.post("convert", src.read_bytes(), **params)
                    with lock:
                        answers.append(a)
                except OSError as e:  # refused once the server stopped listening
                    with lock:
                        errors.append(e)

            threads = [threading.Thread(target=client, args=(large, {"size": "8000x5657"}))]
            threads[0].start()
            self.assertTrue(wait_until(lambda: s.metrics()["zumen_in_flight"] == 1))
            threads += [threading.Thread(target=client, args=(small, {"size": "100x70"})) for _ in range(6)]
            for t in threads[1:]:
                t.start()
            s.process.send_signal(signal.SIGTERM)
            status = s.stop(120)
            for t in threads:
                t.join()
            self.assertEqual(status, 0, "".join(s.errors))
            self.assertIn("stopped serving", "".join(s.errors))
            # The running conversion finished and was answered; every other
            # answer is a picture, or 503 for what came after the signal.
            self.assertTrue(any(a.status == 200 and len(a.body) > 100000 for a in answers), answers)
            for a in answers:
                self.assertIn(a.status, (200, 503), a)
            self.assertEqual(s.temporary_entries(), [])
            with self.assertRaises(OSError):
                socket.create_connection(("127.0.0.1", s.port), timeout=2)
        finally:
            s.close()


if __name__ == "__main__":
    unittest.main(verbosity=2)

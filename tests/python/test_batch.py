"""zumen.batch as an archive job uses it: against `zumen convert SRC... -o DIR`
on threads here and on a Dask LocalCluster of two worker processes.

Run by CTest with the package's folder on PYTHONPATH, ZUMEN_SOURCE_DIR,
ZUMEN_EXE and ZUMEN_CORPUS_DIR set:
    python3 -m unittest -v test_batch
The cluster's tests need the corpus and skip without it.
"""

import filecmp
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path
from unittest import mock

import zumen
from zumen import batch

SOURCE = Path(os.environ.get("ZUMEN_SOURCE_DIR", Path(__file__).resolve().parents[2]))
EXAMPLE = SOURCE / "examples" / "example.jww"
ZUMEN_EXE = os.environ.get("ZUMEN_EXE", str(SOURCE / "build" / "zumen"))
CORPUS = Path(os.environ.get("ZUMEN_CORPUS_DIR", SOURCE.parent / "shared" / "corpus"))
HAVE_CORPUS = (CORPUS / "jww").is_dir()

# Small pictures keep the tests quick; the bytes must match all the same.
SMALL = ["--size", "320x226"]


def cli(*args):
    """Runs zumen convert; its --json lines by source."""
    r = subprocess.run([ZUMEN_EXE, "convert", *map(str, args), "--json", "-q"], capture_output=True, text=True)
    return {j["source"]: j for j in map(json.loads, r.stdout.splitlines())}


def files(folder):
    """The files under folder by relative path, the manifest's left out."""
    folder = Path(folder)
    return sorted(str(p.relative_to(folder)) for p in folder.rglob("*")
                  if p.is_file() and batch._plan.MANIFEST_DIR not in p.relative_to(folder).parts)


def temporary_leftovers(folder):
    return [p for p in Path(folder).rglob("*") if p.name.endswith((".tmp", ".part"))]


class Archive(unittest.TestCase):
    """A small archive in a temporary folder: drawings in folders and subfolders."""

    def setUp(self):
        self.tmp = Path(tempfile.mkdtemp(prefix="zumen-batch-"))
        self.archive = self.tmp / "archive"
        (self.archive / "floor 1" / "平面").mkdir(parents=True)
        shutil.copy(EXAMPLE, self.archive / "plan.jww")
        shutil.copy(EXAMPLE, self.archive / "floor 1" / "plan.JWW")
        shutil.copy(EXAMPLE, self.archive / "floor 1" / "平面" / "図面.jww")
        for i in range(4):
            shutil.copy(EXAMPLE, self.archive / "floor 1" / f"copy {i}.jww")
        (self.archive / "notes.txt").write_text("not a drawing")
        if HAVE_CORPUS:
            for p in sorted((CORPUS / "jws").glob("*"))[:3] + [CORPUS / "jww" / "Test1.jww"]:
                shutil.copy(p, self.archive / "floor 1" / p.name)

    def tearDown(self):
        shutil.rmtree(self.tmp, ignore_errors=True)

    def assertSameAsCommandLine(self, table, out, reference):
        self.assertEqual(files(out), files(reference))
        for name in files(reference):
            self.assertTrue(filecmp.cmp(Path(out) / name, Path(reference) / name, shallow=False), name)
        self.assertEqual(temporary_leftovers(out), [])


class OnThreads(Archive):
    def test_pictures_are_named_and_made_as_the_command_line_makes_them(self):
        cases = [
            ({}, []),
            ({"recursive": True}, ["-r"]),
            ({"recursive": True, "name": "{stem}-{ext}", "size": (320, 226)}, ["-r", "--name", "{stem}-{ext}"] + SMALL),
            ({"recursive": True, "format": "jpg", "name": "{dir}/{stem}.jpeg", "quality": 50, "size": "320x226"},
             ["-r", "--format", "jpg", "--name", "{dir}/{stem}.jpeg", "--quality", "50"] + SMALL),
            ({"recursive": True, "format": "svg", "fit": "extents", "background": "white", "frame": False},
             ["-r", "--format", "svg", "--fit", "extents", "--background", "white", "--no-frame"]),
            ({"recursive": True, "format": "dxf"}, ["-r", "--format", "dxf"]),
            ({"recursive": True, "monochrome": True, "dpi": 40, "format": "tif"},
             ["-r", "--monochrome", "--dpi", "40", "--format", "tif"]),
        ]
        for i, (options, args) in enumerate(cases):
            with self.subTest(args=args):
                out, ref = self.tmp / f"py{i}", self.tmp / f"cli{i}"
                sources = [self.archive, self.archive / "plan.jww"]  # a file reached twice is converted once
                table = batch.convert_many(sources, out, jobs=2, **options)
                printed = cli(*sources, "-o", ref, *args)
                # The table follows the sources; the command line prints as drawings finish.
                self.assertEqual(list(table.source), sorted(printed, key=os.fsencode))
                self.assertEqual(dict(zip(table.source, table.destination)),
                                 {s: j["destination"].replace(str(ref), str(out)) for s, j in printed.items()})
                self.assertEqual(dict(zip(table.source, table.status)), {s: j["status"] for s, j in printed.items()})
                self.assertSameAsCommandLine(table, out, ref)

    def test_names_that_would_collide_or_climb_out_stop_the_batch_before_it_starts(self):
        shutil.copy(EXAMPLE, self.archive / "plan.jwc")
        for options in [{"name": "{stem}"}, {"name": "../{stem}"}, {"name": "{size}"}, {"format": "xcf"},
                        {"quality": 50}, {"size": (0, 3)}, {"margin": -1}]:
            with self.subTest(**options), self.assertRaises(ValueError):
                batch.convert_many([self.archive], self.tmp / "out", **options)
        with self.assertRaises(TypeError):
            batch.convert_many([self.archive], self.tmp / "out", colour="red")
        self.assertFalse((self.tmp / "out").exists())

    def test_a_rerun_converts_only_what_is_missing_stale_or_changed(self):
        out = self.tmp / "out"
        first = batch.convert_many([self.archive], out, recursive=True, dpi=50)
        self.assertEqual(set(first.status), {"ok"})
        self.assertEqual(set(batch.convert_many([self.archive], out, recursive=True, dpi=50).status), {"skipped"})
        # A changed source, a truncated picture and a missing one are made again; the rest are kept.
        changed, truncated, missing = list(first.source[:3])
        os.utime(changed, ns=(time.time_ns(), time.time_ns() + 10**9))
        dst = dict(zip(first.source, first.destination))
        Path(dst[truncated]).write_bytes(Path(dst[truncated]).read_bytes()[:100])
        os.unlink(dst[missing])
        kept = {s: os.stat(d).st_mtime_ns for s, d in dst.items() if s not in (changed, truncated, missing)}
        again = batch.convert_many([self.archive], out, recursive=True, dpi=50)
        self.assertEqual({s for s, st in zip(again.source, again.status) if st != "skipped"},
                         {changed, truncated, missing})
        self.assertEqual({s: os.stat(dst[s]).st_mtime_ns for s in kept}, kept)
        ref = self.tmp / "ref"
        cli(self.archive, "-r", "-o", ref, "--dpi", "50")
        self.assertSameAsCommandLine(again, out, ref)
        # Other options are other pictures: every one is made again.
        self.assertEqual(set(batch.convert_many([self.archive], out, recursive=True, dpi=60).status), {"ok"})
        self.assertEqual(set(batch.convert_many([self.archive], out, recursive=True, dpi=60, resume=False).status),
                         {"ok"})

    def test_an_interrupted_batch_resumes_with_what_was_left(self):
        out = self.tmp / "out"

        class Stop(Exception):
            pass

        def stop_after_two(row, done, total):
            if done == 2:
                raise Stop()

        with self.assertRaises(Stop):
            batch.convert_many([self.archive], out, recursive=True, jobs=1, progress=stop_after_two, size=(320, 226))
        made = {p.name for p in (out / batch._plan.MANIFEST_DIR).rglob("*.json")}
        table = batch.convert_many([self.archive], out, recursive=True, size=(320, 226))
        skipped = {Path(d).name + ".json" for d, s in zip(table.destination, table.status) if s == "skipped"}
        self.assertEqual(skipped, made)
        self.assertEqual(set(table.status), {"ok", "skipped"})
        ref = self.tmp / "ref"
        cli(self.archive, "-r", "-o", ref, *SMALL)
        self.assertSameAsCommandLine(table, out, ref)

    def test_bad_drawings_are_reported_with_zumens_message_after_a_second_try(self):
        (self.archive / "broken.jww").write_bytes(b"JwwData." + bytes(40))
        (self.archive / "cut.jww").write_bytes(EXAMPLE.read_bytes()[:2000])
        sources = [self.archive, self.tmp / "missing.jww"]
        table = batch.convert_many(sources, self.tmp / "out", size=(320, 226))
        printed = cli(*sources, "-o", self.tmp / "ref", *SMALL)
        rows = {r["source"]: r for r in table.to_dict("records")}
        self.assertEqual(set(rows), set(printed))
        for source, j in printed.items():
            with self.subTest(source):
                self.assertEqual(rows[source]["status"], j["status"])
                self.assertEqual(rows[source]["error"], j["error"])
                self.assertEqual(rows[source]["warnings"], j["warnings"])
                self.assertEqual(rows[source]["attempts"], 2 if j["status"] == "failed" else 1)
        self.assertIn("failed", set(table.status))
        self.assertIn("ok", set(table.status))

    def test_fsspec_urls_are_read_as_the_files_are(self):
        import fsspec

        memory = fsspec.filesystem("memory")
        root = f"/zumen-test-{os.getpid()}"
        for p in self.archive.rglob("*.[jJ][wW]*"):
            memory.pipe(f"{root}/{p.relative_to(self.archive).as_posix()}", p.read_bytes())
        try:
            table = batch.convert_many([f"memory://{root}"], self.tmp / "url", recursive=True, size=(320, 226))
            self.assertTrue(all(s.startswith("memory://") for s in table.source))
            self.assertEqual(set(table.status), {"ok"})
            ref = self.tmp / "ref"
            cli(self.archive, "-r", "-o", ref, *SMALL)
            self.assertSameAsCommandLine(table, self.tmp / "url", ref)
            self.assertEqual(set(batch.convert_many([f"memory://{root}"], self.tmp / "url", recursive=True,
                                                    size=(320, 226)).status), {"skipped"})
        finally:
            memory.rm(root, recursive=True)

    def test_index_texts_gives_a_row_per_drawing(self):
        (self.archive / "broken.jww").write_bytes(b"JwwData." + bytes(40))
        table = batch.index_texts([self.archive], recursive=True, jobs=2)
        rows = {Path(r["source"]).name: r for r in table.to_dict("records")}
        self.assertEqual(rows["broken.jww"]["status"], "failed")
        self.assertIn("not a JWW file", rows["broken.jww"]["error"])
        self.assertEqual(rows["broken.jww"]["attempts"], 2)
        plan = rows["plan.jww"]
        self.assertEqual((plan["status"], plan["format"]), ("ok", "JWW"))
        self.assertEqual(plan["title"], zumen.open(EXAMPLE).info["title"])
        self.assertEqual(plan["texts"], zumen.open(EXAMPLE).texts())
        for t in plan["texts"]:  # the shape of zumen::TextsJson
            self.assertEqual(set(t), {"text", "x", "y", "height", "angle", "vertical", "box", "layer", "group",
                                      "layer_name", "group_name", "block_path"})
        with self.assertRaises(ValueError):
            batch.index_texts([self.archive], layers=[300])

    def test_without_pandas_the_table_is_a_list_of_dicts(self):
        with mock.patch.dict(sys.modules, {"pandas": None}):
            rows = batch.convert_many([self.archive / "plan.jww", self.tmp / "missing.jww"], self.tmp / "out",
                                      size=(64, 45))
            texts = batch.index_texts([self.archive / "plan.jww"])
        self.assertEqual([list(r) for r in rows], [batch.CONVERT_COLUMNS] * 2)
        self.assertEqual([r["status"] for r in rows], ["ok", "failed"])
        self.assertEqual([list(r) for r in texts], [batch.INDEX_COLUMNS])

    def test_the_command_line(self):
        (self.archive / "broken.jww").write_bytes(b"JwwData." + bytes(40))
        out, ref = self.tmp / "out", self.tmp / "ref"
        args = [sys.executable, "-m", "zumen.batch", str(self.archive), "-r", "-o", str(out), "--size", "320x226",
                "--json"]
        r = subprocess.run(args, capture_output=True, text=True)
        self.assertEqual(r.returncode, 1, r.stderr)
        lines = [json.loads(line) for line in r.stdout.splitlines()]
        printed = cli(self.archive, "-r", "-o", ref, *SMALL)
        self.assertEqual({j["source"]: j["status"] for j in lines}, {s: j["status"] for s, j in printed.items()})
        self.assertIn("not a JWW file", r.stderr)
        self.assertRegex(r.stderr, r"converted \d+ of \d+ drawings")
        self.assertEqual(files(out), files(ref))
        again = subprocess.run(args[:-1] + ["-q"], capture_output=True, text=True)
        self.assertEqual(again.returncode, 1)
        self.assertEqual(subprocess.run(args[:4] + ["-o", str(out), "--dpi", "0"], capture_output=True).returncode, 2)
        r = subprocess.run([sys.executable, "-m", "zumen", "--help"], capture_output=True, text=True)
        self.assertEqual(r.returncode, 0)
        self.assertIn("batch", r.stdout)


@unittest.skipUnless(HAVE_CORPUS, "the corpus is not here")
class OnACluster(unittest.TestCase):
    """The corpus on a LocalCluster of two worker processes of one thread each."""

    @classmethod
    def setUpClass(cls):
        from distributed import Client, LocalCluster

        cls.tmp = Path(tempfile.mkdtemp(prefix="zumen-cluster-"))
        cls.cluster = LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None)
        cls.client = Client(cls.cluster)
        cls.reference = cls.tmp / "reference"
        cls.printed = cli(CORPUS, "-r", "-o", cls.reference)

    @classmethod
    def tearDownClass(cls):
        cls.client.close()
        cls.cluster.close()
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def assertAsTheCommandLine(self, table, out):
        self.assertEqual(list(table.source), sorted(self.printed, key=os.fsencode))
        self.assertEqual(dict(zip(table.source, table.status.replace("skipped", "ok"))),
                         {s: j["status"] for s, j in self.printed.items()})
        self.assertEqual(files(out), files(self.reference))
        for name in files(self.reference):
            self.assertTrue(filecmp.cmp(out / name, self.reference / name, shallow=False), name)
        self.assertEqual(temporary_leftovers(out), [])
        manifests = {str(p.relative_to(out / batch._plan.MANIFEST_DIR))[:-5]
                     for p in (out / batch._plan.MANIFEST_DIR).rglob("*.json")}
        self.assertEqual(manifests, set(files(self.reference)))

    def test_the_corpus_as_the_command_line_converts_it(self):
        out = self.tmp / "plain"
        table = batch.convert_many([CORPUS], out, recursive=True, client=self.client)
        self.assertAsTheCommandLine(table, out)
        self.assertEqual(set(table.worker), set(self.client.scheduler_info()["workers"]))
        self.assertTrue((table.draw_ms > 0).all() and (table.save_ms > 0).all())

    def test_a_worker_killed_in_the_middle_of_the_job(self):
        out = self.tmp / "killed"
        pids = self.client.run(os.getpid)
        killed = {}

        def kill_a_busy_worker(row, done, total):
            if killed or done < total // 3:
                return
            busy = [w for w, tasks in self.client.processing().items() if tasks and w in pids]
            if busy:
                os.kill(pids[busy[0]], signal.SIGKILL)
                killed[busy[0]] = self.client.processing()[busy[0]]

        table = batch.convert_many([CORPUS], out, recursive=True, client=self.client, progress=kill_a_busy_worker)
        self.assertEqual(len(killed), 1, "no worker was busy to kill")
        self.assertAsTheCommandLine(table, out)
        self.client.wait_for_workers(2, timeout=60)

    def test_a_rerun_after_an_interruption_converts_only_what_was_missing(self):
        out = self.tmp / "interrupted"

        class Stop(Exception):
            pass

        def stop(row, done, total):
            if done == total // 2:
                raise Stop()

        with self.assertRaises(Stop):
            batch.convert_many([CORPUS], out, recursive=True, client=self.client, progress=stop)
        # Tasks that had started finish on their workers; wait until the
        # workers have been idle for a while.
        def busy(dask_worker):
            state = dask_worker.state
            return len(state.executing) + len(state.long_running) + len(dask_worker.active_threads)

        deadline = time.monotonic() + 60
        idle = 0
        while idle < 5:
            self.assertLess(time.monotonic(), deadline)
            idle = 0 if any(self.client.run(busy).values()) else idle + 1
            time.sleep(0.1)
        made = {str(p.relative_to(out / batch._plan.MANIFEST_DIR))[:-5]
                for p in (out / batch._plan.MANIFEST_DIR).rglob("*.json")}
        self.assertTrue(0 < len(made) < len(self.printed))
        table = batch.convert_many([CORPUS], out, recursive=True, client=self.client)
        skipped = {str(Path(d).relative_to(out)) for d, s in zip(table.destination, table.status) if s == "skipped"}
        self.assertEqual(skipped, made)
        self.assertAsTheCommandLine(table, out)

    def test_bad_drawings_are_reported_in_the_table(self):
        bad = self.tmp / "bad"
        bad.mkdir()
        (bad / "broken.jww").write_bytes(b"JwwData." + bytes(40))
        (bad / "cut.jws").write_bytes((CORPUS / "jws" / "1200.jws").read_bytes()[:60])
        sources = [bad, CORPUS / "jww" / "Test1.jww", bad / "missing.k4"]
        table = batch.convert_many(sources, self.tmp / "bad-out", client=self.client, size=(320, 226))
        printed = cli(*sources, "-o", self.tmp / "bad-ref", *SMALL)
        rows = {r["source"]: r for r in table.to_dict("records")}
        self.assertEqual(list(rows), [str(bad / "broken.jww"), str(bad / "cut.jws"), str(CORPUS / "jww" / "Test1.jww"),
                                      str(bad / "missing.k4")])
        for source, j in printed.items():
            self.assertEqual((rows[source]["status"], rows[source]["error"]), (j["status"], j["error"]))
            self.assertEqual(rows[source]["attempts"], 2 if j["status"] == "failed" else 1)
        self.assertEqual(files(self.tmp / "bad-out"), files(self.tmp / "bad-ref"))


if __name__ == "__main__":
    unittest.main()

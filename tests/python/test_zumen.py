"""The Python module as Python programs use it.

Run by CTest with the module's folder on PYTHONPATH and ZUMEN_SOURCE_DIR set:
    python3 -m unittest -v test_zumen
"""

import json
import os
import struct
import subprocess
import tempfile
import threading
import unittest
from pathlib import Path

import numpy
import zumen

SOURCE = Path(os.environ.get("ZUMEN_SOURCE_DIR", Path(__file__).resolve().parents[2]))
EXAMPLE = SOURCE / "examples" / "example.jww"
ZUMEN_EXE = os.environ.get("ZUMEN_EXE", str(SOURCE / "build" / "zumen"))
CORPUS = Path(os.environ.get("ZUMEN_CORPUS_DIR", SOURCE.parent / "shared" / "corpus"))


def png_size(data):
    assert data[:8] == b"\x89PNG\r\n\x1a\n" and data[12:16] == b"IHDR" and data[-8:-4] == b"IEND"
    return struct.unpack(">II", data[16:24])


class Opening(unittest.TestCase):
    def test_open_and_info(self):
        d = zumen.open(EXAMPLE)
        self.assertEqual(d.format, "JWW")
        info = d.info
        self.assertEqual(info["format"], "JWW")
        self.assertEqual(info["title"], zumen.open(str(EXAMPLE)).info["title"])
        self.assertTrue(info["read_ok"])
        self.assertIsNone(info["error"])
        self.assertGreater(info["objects"]["read"], 0)
        self.assertGreater(sum(info["entities"].values()), 0)
        self.assertIn("line", info["entities"])
        e = info["extents"]
        self.assertLess(e["min_x"], e["max_x"])
        self.assertLess(e["min_y"], e["max_y"])
        self.assertGreater(info["paper"]["width_mm"], info["paper"]["height_mm"])
        self.assertIsNone(info["scale"])  # a drawing, not a symbol
        self.assertEqual(d.diagnostics, [])
        self.assertIn("JWW", repr(d))

    def test_info_has_the_shape_of_the_command_lines_json(self):
        line = subprocess.run([ZUMEN_EXE, "info", "--json", str(EXAMPLE)], capture_output=True, check=True).stdout
        printed = json.loads(line)
        for key in ("source", "status", "exit_status", "warnings"):
            del printed[key]
        self.assertEqual(zumen.open(EXAMPLE).info, printed)

    def test_a_file_name_that_is_not_utf8(self):
        with tempfile.TemporaryDirectory() as t:
            name = os.path.join(os.fsencode(t), b"plan\xff.jww")
            missing = os.fsdecode(name)
            with self.assertRaises(zumen.Error) as e:
                zumen.open(missing)
            self.assertIn("plan\udcff.jww", str(e.exception))
            Path(missing).write_bytes(EXAMPLE.read_bytes())
            for path in (missing, name):
                self.assertEqual(zumen.open(path).info["format"], "JWW")

    def test_open_bytes_is_open(self):
        data = EXAMPLE.read_bytes()
        for kw in [{}, {"format": "jww"}, {"name": "plan.jww"}]:
            with self.subTest(**kw):
                self.assertEqual(zumen.open_bytes(data, **kw).info, zumen.open(EXAMPLE).info)

    def test_failures_raise_with_the_message(self):
        with tempfile.TemporaryDirectory() as t:
            missing = Path(t) / "missing.jww"
            with self.assertRaises(zumen.Error) as e:
                zumen.open(missing)
            self.assertIn("missing.jww", str(e.exception))
            bad = Path(t) / "bad.jww"
            bad.write_bytes(b"not a drawing at all")
            with self.assertRaisesRegex(zumen.Error, "JWW"):
                zumen.open(bad)
            with self.assertRaisesRegex(zumen.Error, "format"):
                zumen.open_bytes(b"\0" * 64)
            # zumen.Error is a RuntimeError, so a program's generic handler sees it too.
            self.assertTrue(issubclass(zumen.Error, RuntimeError))
            with self.assertRaisesRegex(zumen.Error, "pixels"):
                zumen.open(EXAMPLE).render(dpi=150, max_pixels=1000)
            with self.assertRaises(zumen.Error):
                zumen.open(EXAMPLE).save(Path(t) / "no such folder" / "plan.png")
            with self.assertRaises(zumen.Error):
                zumen.convert(missing, Path(t) / "plan.png")
            self.assertFalse((Path(t) / "plan.png").exists())

    def test_wrong_arguments_are_python_errors(self):
        d = zumen.open(EXAMPLE)
        with self.assertRaisesRegex(ValueError, "background"):
            d.render(background="purple")
        with self.assertRaisesRegex(ValueError, "fit"):
            d.render(fit="page")
        with self.assertRaisesRegex(ValueError, "rasteriser"):
            d.render(rasteriser="skia")
        with self.assertRaisesRegex(ValueError, "format"):
            zumen.open(EXAMPLE, format="dwg")
        with self.assertRaisesRegex(ValueError, "format"):
            d.encode("xcf")
        with self.assertRaisesRegex(TypeError, "colour"):
            d.render(colour="red")
        with self.assertRaisesRegex(TypeError, "dpi"):
            d.render(dpi="high")
        with self.assertRaisesRegex(TypeError, "size"):
            d.render(size=3)
        for kw in [{"size": (0, 0)}, {"size": (-1, 5)}, {"width": 100}, {"height": 100}, {"width": -3, "height": 4},
                   {"margin": float("nan")}, {"margin": -0.1}, {"quality": 0}, {"max_side": 0}]:
            with self.subTest(**kw), self.assertRaises(ValueError) as e:
                d.render(**kw)
            self.assertNotEqual(str(e.exception), "")
        with self.assertRaisesRegex(zumen.Error, "a side may have at most 100 pixels"):
            d.render(size=(200, 50), max_side=100)


class Package(unittest.TestCase):
    def test_the_package_reexports_the_extension(self):
        self.assertEqual(Path(zumen.__file__).parent, Path(zumen._zumen.__file__).parent)
        for name in zumen.__all__:
            self.assertIs(getattr(zumen, name), getattr(zumen._zumen, name))
        for f in ["_zumen.pyi", "py.typed", "zumen-fonts.conf"]:
            self.assertTrue((Path(zumen.__file__).parent / f).is_file(), f)

    def test_names_of_types_and_formats(self):
        for name, expected in [("png", "png"), ("JPEG", "jpg"), ("plan.TIFF", "tif"), ("dxf", "dxf"), ("xcf", None),
                               ("plan", None)]:
            with self.subTest(name):
                self.assertEqual(zumen.output_type_of(name), expected)
                self.assertTrue(expected is None or expected in zumen.output_types)
        for name, expected in [("JWW", "jww"), ("plan.k4", "k4"), ("1800.JWS", "jws"), ("plan.png", None)]:
            with self.subTest(name):
                self.assertEqual(zumen.format_of(name), expected)

    def test_texts_and_layers_have_the_librarys_shape(self):
        d = zumen.open(EXAMPLE)
        for t in d.texts() + d.texts(layers=list(range(256))):
            self.assertEqual(set(t), {"text", "x", "y", "height", "angle", "vertical", "box", "layer", "group",
                                      "layer_name", "group_name", "block_path"})
        for layer in d.layers:
            self.assertEqual(set(layer), {"number", "group", "name", "group_name", "state", "items"})
        for kw in [{"layers": [256]}, {"layers": [-1]}]:
            with self.subTest(**kw), self.assertRaises(ValueError):
                d.texts(**kw)
        with self.assertRaises(TypeError):
            d.texts(layers="all")

    def test_texts_are_those_of_the_command_line(self):
        # The example, and every Jw drawing of the corpus where it is there
        # (a symbol of it places its texts through a block).
        sources = [EXAMPLE] + [p for p in sorted(CORPUS.rglob("*")) if p.suffix.lower() in (".jww", ".jws")]
        for src in sources:
            with self.subTest(src.name):
                printed = json.loads(subprocess.run([ZUMEN_EXE, "text", "--json", str(src)], capture_output=True,
                                                    check=True).stdout)
                self.assertEqual(zumen.open(src).texts(), printed["texts"])

    def test_options_are_checked_without_a_drawing(self):
        zumen._zumen._check_options(dpi=300, background="white", layers=[0, 17])
        for kw, error in [({"size": (0, 1)}, ValueError), ({"width": 10}, ValueError), ({"margin": -1}, ValueError),
                          ({"colour": "red"}, TypeError), ({"dpi": "high"}, TypeError)]:
            with self.subTest(**kw), self.assertRaises(error):
                zumen._zumen._check_options(**kw)


class Rendering(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.d = zumen.open(EXAMPLE)

    def test_render_to_an_array(self):
        pixels = self.d.render(dpi=50)
        self.assertIsInstance(pixels, numpy.ndarray)
        self.assertEqual(pixels.dtype, numpy.uint8)
        w, h = self.d.picture_size(dpi=50)
        self.assertEqual(pixels.shape, (h, w, 4))
        self.assertTrue((pixels[:, :, 3] == 255).all())  # the drawing's own background is opaque
        # White paper with ink on it.
        self.assertTrue((pixels[0, 0, :3] == 255).all())
        self.assertGreater(int((pixels[:, :, :3].min(axis=2) < 128).sum()), 100)
        self.assertEqual(self.d.render(size=(320, 200)).shape, (200, 320, 4))
        self.assertEqual(self.d.render(width=100, height=300).shape, (300, 100, 4))

    def test_options_reach_the_picture(self):
        plain = self.d.render(size=(400, 283))
        transparent = self.d.render(size=(400, 283), background="transparent")
        self.assertEqual(transparent[0, 0, 3], 0)
        black = self.d.render(size=(400, 283), background="black")
        self.assertTrue((black[0, 0, :3] == 0).all())
        mono = self.d.render(size=(400, 283), monochrome=True, background="white")
        self.assertLess(len({tuple(p) for p in mono.reshape(-1, 4)[:, :3]}),
                        len({tuple(p) for p in plain.reshape(-1, 4)[:, :3]}))
        self.assertFalse((self.d.render(size=(400, 283), frame=False) == plain).all())
        # Fitted to the extents, the drawing's ink reaches nearer the edges than on its paper.
        def ink_width(p):
            cols = numpy.nonzero((p[:, :, :3].min(axis=2) < 250).any(axis=0))[0]
            return cols[-1] - cols[0]
        self.assertGreaterEqual(ink_width(self.d.render(size=(400, 283), fit="extents", frame=False)),
                                ink_width(self.d.render(size=(400, 283), frame=False)))

    def test_the_array_is_the_saved_picture(self):
        with tempfile.TemporaryDirectory() as t:
            r = self.d.save(Path(t) / "plan.bmp", size=(300, 212))
            self.assertEqual((r["width"], r["height"]), (300, 212))
            self.assertEqual(r["diagnostics"], [])
            bmp = (Path(t) / "plan.bmp").read_bytes()
        # A 24-bit BMP: rows bottom-up, BGR, padded to 4 bytes.
        offset, = struct.unpack("<I", bmp[10:14])
        stride = (300 * 3 + 3) & ~3
        rows = numpy.frombuffer(bmp[offset:offset + stride * 212], numpy.uint8).reshape(212, stride)
        bgr = rows[::-1, :900].reshape(212, 300, 3)
        pixels = self.d.render(size=(300, 212))
        numpy.testing.assert_array_equal(pixels[:, :, :3], bgr[:, :, ::-1])

    def test_save_encode_and_convert(self):
        with tempfile.TemporaryDirectory() as t:
            png = Path(t) / "plan.png"
            r = self.d.save(png, size=(320, 226))
            self.assertEqual(png_size(png.read_bytes()), (320, 226))
            self.assertGreater(r["draw_ms"], 0)
            self.assertGreater(r["save_ms"], 0)
            self.assertEqual(png.read_bytes(), self.d.encode("png", size=(320, 226)))
            self.d.save(str(Path(t) / "plan.picture"), format="webp", size=(64, 45))
            self.assertEqual((Path(t) / "plan.picture").read_bytes()[8:12], b"WEBP")
            r = zumen.convert(EXAMPLE, Path(t) / "plan.pdf", monochrome=True)
            self.assertGreater(r["width"], 0)
            self.assertEqual((Path(t) / "plan.pdf").read_bytes()[:5], b"%PDF-")
            zumen.convert(str(EXAMPLE), str(Path(t) / "plan.svg"), fit="extents", background="white")
            self.assertIn(b"<svg", (Path(t) / "plan.svg").read_bytes()[:400])
            r = zumen.convert(EXAMPLE, Path(t) / "plan.out", format="png", size=(120, 85))
            self.assertEqual(png_size((Path(t) / "plan.out").read_bytes()), (120, 85))
        self.assertEqual(self.d.encode("jpg", size=(64, 45), quality=50)[:2], b"\xff\xd8")
        self.assertIn("png", zumen.output_types)
        self.assertEqual(zumen.formats, ("jww", "jws", "jwc", "jwk", "k4"))
        self.assertRegex(zumen.__version__, r"^\d+\.\d+\.\d+$")


class Threads(unittest.TestCase):
    def test_two_threads_converting_at_once(self):
        drawings = [EXAMPLE] + sorted(CORPUS.glob("jww/Test*.jww"))[:1]
        alone = {str(p): zumen.open(p).encode("png", size=(800, 566)) for p in drawings}
        results, errors = {}, []
        start = threading.Barrier(2)

        def work(k):
            try:
                start.wait()
                for round in range(3):
                    for p in drawings:
                        d = zumen.open(p)
                        results[(k, round, str(p))] = d.encode("png", size=(800, 566))
            except Exception as e:  # noqa: BLE001 - reported below
                errors.append(e)

        threads = [threading.Thread(target=work, args=(k,)) for k in range(2)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        self.assertEqual(errors, [])
        self.assertEqual(len(results), 2 * 3 * len(drawings))
        for (k, round, p), data in results.items():
            self.assertEqual(data, alone[p], (k, round, p))

    def test_cairo_draws_the_thin_strokes_when_asked(self):
        # The same picture but for a few levels along the edges of strokes.
        d = zumen.open(EXAMPLE)
        ours = d.render(size=(800, 566))
        numpy.testing.assert_array_equal(d.render(size=(800, 566), rasteriser="zumen"), ours)
        cairo = d.render(size=(800, 566), rasteriser="Cairo")
        apart = numpy.abs(ours.astype(int) - cairo.astype(int)).max(axis=2)
        self.assertGreater(numpy.count_nonzero(apart), 0)
        self.assertLessEqual(numpy.count_nonzero(apart > 32), apart.size // 1000)

    def test_the_picture_does_not_depend_on_the_threads_drawing_it(self):
        d = zumen.open(EXAMPLE)
        one = d.render(size=(2400, 1800), threads=1)
        for threads in (0, 2, 3):
            numpy.testing.assert_array_equal(d.render(size=(2400, 1800), threads=threads), one)

    def test_one_drawing_rendered_by_two_threads(self):
        d = zumen.open(EXAMPLE)
        alone = d.render(size=(640, 452))
        out = [None, None]

        def work(k):
            out[k] = d.render(size=(640, 452))

        threads = [threading.Thread(target=work, args=(k,)) for k in range(2)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        for o in out:
            numpy.testing.assert_array_equal(o, alone)


if __name__ == "__main__":
    unittest.main()

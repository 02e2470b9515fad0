"""zumen installed into a fresh prefix and used as others use it.

`cmake --install` puts everything under a temporary prefix; then programs
outside the project are built against it through its CMake package and its
pkg-config file and run, the desktop's thumbnailer entry is run as a file
manager runs it, the file types are read by the desktop's own tools, and the
man pages are checked against the help of the executables.

Run by CTest:  install_test.py BUILD_DIR SOURCE_DIR [unittest arguments]
Environment:   ZUMEN_CONSUMER_FLAGS  compiler and linker flags the outside
               programs need too (the sanitizers of a sanitizer build).
"""

import os
import re
import shlex
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

BUILD = Path(sys.argv[1]).resolve() if len(sys.argv) > 2 else Path.cwd()
SOURCE = Path(sys.argv[2]).resolve() if len(sys.argv) > 2 else Path(__file__).resolve().parents[2]
EXAMPLE = SOURCE / "examples" / "example.jww"
FLAGS = os.environ.get("ZUMEN_CONSUMER_FLAGS", "").split()
MIME_TYPES = ["application/x-jww", "application/x-jws", "application/x-jwc", "application/x-jwk", "application/x-k4"]


def run(args, **kw):
    """Runs a command; a failure shows its output."""
    r = subprocess.run(args, capture_output=True, text=True, **kw)
    if r.returncode != 0:
        raise AssertionError(f"{args} exited {r.returncode}\n{r.stdout}\n{r.stderr}")
    return r


def png_size(path):
    """(width, height) of a PNG file; fails for anything else."""
    data = Path(path).read_bytes()
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR" or data[-8:-4] != b"IEND":
        raise AssertionError(f"{path} is not a whole PNG file")
    return struct.unpack(">II", data[16:24])


class Installed(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = Path(tempfile.mkdtemp(prefix="zumen-install-", dir=BUILD))
        cls.prefix = cls.work / "prefix"
        run(["cmake", "--install", str(BUILD), "--prefix", str(cls.prefix)])
        libs = list(cls.prefix.glob("lib*/**/libzumen.so"))
        assert len(libs) == 1, libs
        cls.libdir = libs[0].parent

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def test_everything_is_installed(self):
        p = self.prefix
        for f in ["bin/zumen", "bin/zumen-serve", "bin/zumen-child", "include/zumen/zumen.h", "share/zumen/zumen-fonts.conf",
                  "share/man/man1/zumen.1", "share/man/man1/zumen-child.1", "share/mime/packages/zumen.xml",
                  "share/thumbnailers/zumen.thumbnailer"]:
            self.assertTrue((p / f).is_file(), f)
        for f in ["libzumen.so", "libzumen.a", "pkgconfig/zumen.pc", "cmake/zumen/zumenConfig.cmake",
                  "cmake/zumen/zumenConfigVersion.cmake", "cmake/zumen/zumenTargets.cmake"]:
            self.assertTrue((self.libdir / f).exists(), f)
        self.assertTrue(os.access(p / "bin/zumen", os.X_OK))
        # `zumen serve` runs on in the installed zumen-serve: an address it
        # cannot take is its own message, not a failure to start it.
        r = subprocess.run([str(p / "bin/zumen"), "serve", "--listen", "203.0.113.1:1"], capture_output=True,
                           text=True, timeout=60)
        self.assertEqual(r.returncode, 1, r.stderr)
        self.assertIn("cannot listen on 203.0.113.1:1", r.stderr)
        # The other commands start without the HTTP library.
        linked = run(["ldd", str(p / "bin/zumen")]).stdout
        self.assertNotIn("httplib", linked)
        # The shared library is versioned: libzumen.so -> libzumen.so.0.1 -> libzumen.so.0.1.0.
        soname = run(["objdump", "-p", str(self.libdir / "libzumen.so")]).stdout
        self.assertRegex(soname, r"SONAME\s+libzumen\.so\.\d+\.\d+")

    def test_shared_library_exports_the_public_interface_only(self):
        out = run(["nm", "-D", "-C", "--defined-only", str(self.libdir / "libzumen.so")]).stdout
        names = [line.split(" ", 2)[2] for line in out.splitlines() if line.count(" ") >= 2]
        cxx = [n for n in names if "::" in n or "(" in n]
        self.assertIn("zumen::Render(zumen::Drawing const&, zumen::RenderOptions const&, zumen::Output const&)", cxx)
        self.assertIn("zumen::Drawing::Open(std::__cxx11::basic_string<char, std::char_traits<char>, "
                      "std::allocator<char> > const&, zumen::LoadOptions const&)", cxx)
        # Nothing of the internals (readers, renderers, canvases, codecs) is
        # exported: every name of zumen's in an exported symbol is one of the
        # public header's, and the rest are instantiations of the standard
        # library's templates.
        public = {"FormatName", "FormatFromName", "FormatFromSignature", "IsSymbol", "IsVector", "OutputTypes",
                  "OutputTypeFromName", "OutputTypeExtension", "OutputTypeName", "ReferenceFileOf", "PictureSize",
                  "Render", "InstallSignalCleanup", "Version", "InfoJson", "TextsJson", "LayersJson", "Layer", "LayerState", "Text", "Drawing", "Output", "Opened",
                  "Status", "StatusCode", "Format", "OutputType", "LoadOptions", "RenderOptions", "EncoderOptions",
                  "Background", "Fit", "Diagnostic", "Box", "DrawingInfo", "RenderResult"}
        named = {m for n in cxx for m in re.findall(r"\bzumen::(\w+)", n)}
        self.assertEqual(named - public, set())
        others = [n for n in cxx if "zumen::" not in n and not re.match(r"(\S+ )?(std::|typeinfo|vtable|VTT)", n)]
        self.assertEqual(others, [])

    def test_a_program_built_with_the_cmake_package(self):
        build = self.work / "cmake-consumer"
        run(["cmake", "-S", str(SOURCE / "tests/install/consumer"), "-B", str(build),
             f"-DCMAKE_PREFIX_PATH={self.prefix}", f"-DCMAKE_CXX_FLAGS={' '.join(FLAGS)}",
             f"-DCMAKE_EXE_LINKER_FLAGS={' '.join(FLAGS)}"])
        run(["cmake", "--build", str(build)])
        for exe in ["consumer_shared", "consumer_static"]:
            with self.subTest(exe):
                out = self.work / f"{exe}.png"
                r = run([str(build / exe), str(EXAMPLE), str(out)])
                self.assertEqual(r.stdout.strip(), "JWW 320x226 zumen 0.1.0")
                self.assertEqual(png_size(out), (320, 226))
        needed = run(["objdump", "-p", str(build / "consumer_shared")]).stdout
        self.assertRegex(needed, r"NEEDED\s+libzumen\.so")
        self.assertNotRegex(run(["objdump", "-p", str(build / "consumer_static")]).stdout, r"NEEDED\s+libzumen")

    def test_a_program_built_with_pkg_config(self):
        env = dict(os.environ, PKG_CONFIG_PATH=str(self.libdir / "pkgconfig"))
        cflags = run(["pkg-config", "--cflags", "zumen"], env=env).stdout.split()
        libs = run(["pkg-config", "--libs", "zumen"], env=env).stdout.split()
        self.assertEqual(run(["pkg-config", "--modversion", "zumen"], env=env).stdout.strip(), "0.1.0")
        exe = self.work / "pkg-config-consumer"
        run(["c++", "-std=c++20", *FLAGS, *cflags, str(SOURCE / "tests/install/consumer/main.cpp"), "-o", str(exe),
             *libs, f"-Wl,-rpath,{self.libdir}"])
        out = self.work / "pkg-config-consumer.png"
        r = run([str(exe), str(EXAMPLE), str(out)])
        self.assertEqual(r.stdout.strip(), "JWW 320x226 zumen 0.1.0")
        self.assertEqual(png_size(out), (320, 226))

    def thumbnailer_entry(self):
        entry = {}
        for line in (self.prefix / "share/thumbnailers/zumen.thumbnailer").read_text().splitlines():
            if "=" in line and not line.startswith("#"):
                key, value = line.split("=", 1)
                entry[key.strip()] = value.strip()
        return entry

    def run_thumbnailer(self, source, output, size):
        """Runs the entry's Exec line as a file manager does: split like a
        shell would, each field code replaced inside its own argument, no shell."""
        argv = []
        for arg in shlex.split(self.thumbnailer_entry()["Exec"]):
            argv.append(re.sub(r"%[ious%]", lambda m: {"%i": str(source), "%o": str(output), "%s": str(size),
                                                       "%u": Path(source).as_uri(), "%%": "%"}[m.group(0)], arg))
        return subprocess.run(argv, capture_output=True, text=True, env={"PATH": "/usr/bin:/bin"}, timeout=60)

    def test_the_thumbnailer_as_a_file_manager_runs_it(self):
        entry = self.thumbnailer_entry()
        self.assertTrue(os.access(entry["TryExec"], os.X_OK))
        self.assertEqual(entry["Exec"], f"{self.prefix}/bin/zumen thumbnail %i %o %s")
        self.assertEqual([t for t in entry["MimeType"].split(";") if t], MIME_TYPES)
        folder = self.work / "ドキュメント ＆ plans"
        folder.mkdir()
        for name, size in [("平面図 1.jww", 256), ("plan.jww", 128), ("no extension", 64)]:
            with self.subTest(name=name, size=size):
                source = folder / name
                shutil.copy(EXAMPLE, source)
                out = self.work / f"thumbnail-{size}.png"
                r = self.run_thumbnailer(source, out, size)
                self.assertEqual(r.returncode, 0, r.stderr)
                self.assertEqual(max(png_size(out)), size)
        r = self.run_thumbnailer(folder / "missing.jww", self.work / "none.png", 128)
        self.assertEqual(r.returncode, 1)
        self.assertIn("missing.jww", r.stderr)
        self.assertFalse((self.work / "none.png").exists())

    def test_the_desktop_knows_the_file_types(self):
        mime = self.prefix / "share/mime"
        run(["update-mime-database", "-V", str(mime)])
        globs = (mime / "globs2").read_text()
        for t, ext in zip(MIME_TYPES, ["jww", "jws", "jwc", "jwk", "k4"]):
            self.assertIn(f"{t}:*.{ext}", globs)
        if not shutil.which("gio"):
            self.skipTest("gio is not installed")
        env = dict(os.environ, XDG_DATA_DIRS=f"{self.prefix}/share:/usr/share", XDG_DATA_HOME=str(self.work / "home"))
        drawings = self.work / "types"
        drawings.mkdir()
        samples = {
            "plan.jww": EXAMPLE.read_bytes(),
            "plan-without-extension": EXAMPLE.read_bytes(),
            "symbol.jws": b"JwsData" + bytes(300),
            "old-symbol": b"jw_cad(c)sym........" + bytes(400),
            "old-plan": b"jw_cad(c)data......." + bytes(800),
            "drawing.k4": struct.pack("<hhi", 1000, 10, 4) + b"plan",
            "notes.txt": b"JwwData. is how a drawing begins\n",
        }
        expected = {"plan.jww": "application/x-jww", "plan-without-extension": "application/x-jww",
                    "symbol.jws": "application/x-jws", "old-symbol": "application/x-jwk",
                    "old-plan": "application/x-jwc", "drawing.k4": "application/x-k4", "notes.txt": "text/plain"}
        for name, data in samples.items():
            (drawings / name).write_bytes(data)
        for name, t in expected.items():
            with self.subTest(name):
                r = run(["gio", "info", "-a", "standard::content-type", str(drawings / name)], env=env)
                self.assertIn(f"standard::content-type: {t}\n", r.stdout)

    def test_the_installed_zumen_reads_its_installed_font_configuration(self):
        if not shutil.which("strace"):
            self.skipTest("strace is not installed")
        trace = self.work / "trace.txt"
        out = self.work / "fonts.png"
        # LeakSanitizer cannot work under a tracer: a sanitizer build checks leaks elsewhere.
        run(["strace", "-f", "-e", "trace=openat", "-o", str(trace), str(self.prefix / "bin/zumen"), "convert",
             str(EXAMPLE), str(out), "--size", "200x141"], env=dict(os.environ, ASAN_OPTIONS="detect_leaks=0"))
        opened = [line for line in trace.read_text().splitlines() if "zumen-fonts.conf" in line and "= -1" not in line]
        self.assertTrue(opened, "zumen-fonts.conf was not opened")
        self.assertIn(f'"{self.prefix}/bin/../share/zumen/zumen-fonts.conf"', opened[0])

    def test_man_pages_follow_the_help(self):
        for page in ["zumen.1", "zumen-child.1"]:
            with self.subTest(page):
                r = run(["man", "--warnings", "-l", str(self.prefix / "share/man/man1" / page)],
                        env=dict(os.environ, MANWIDTH="80", LC_ALL="C.UTF-8", MANPAGER="cat", PAGER="cat"))
                self.assertEqual(r.stderr, "")
                self.assertIn("SYNOPSIS", r.stdout)
        text = run(["man", "-l", str(self.prefix / "share/man/man1/zumen.1")],
                   env=dict(os.environ, MANWIDTH="200", LC_ALL="C.UTF-8", MANPAGER="cat", PAGER="cat")).stdout
        zumen = str(self.prefix / "bin/zumen")
        for command in [[], ["convert"], ["info"], ["thumbnail"], ["serve"]]:
            helptext = run([zumen, *command, "--help"]).stdout
            options = set(re.findall(r"(?<![\w-])(--?[a-z][a-z-]*)", helptext))
            for option in sorted(options):
                with self.subTest(command=command, option=option):
                    self.assertRegex(text, r"(?<![\w-])" + re.escape(option) + r"(?![\w-])")
            for sub in ["convert", "info", "thumbnail", "serve"]:
                self.assertIn(f"zumen {sub}", text)
        child = (self.prefix / "share/man/man1/zumen-child.1").read_text()
        for word in ["Plotvane.dat", "Jw_win.jwf", "CHECK1:OK", "CHECK4:NG", "CHECK5:OK"]:
            self.assertIn(word, child)

    def test_the_python_package_is_installed(self):
        modules = list(self.prefix.glob("lib/python3*/*-packages/zumen/_zumen*.so"))
        if not modules:
            self.skipTest("the Python module is not built here")
        package = modules[0].parent
        for f in ["__init__.py", "__main__.py", "_zumen.pyi", "py.typed", "zumen-fonts.conf", "batch/__init__.py",
                  "batch/__main__.py"]:
            self.assertTrue((package / f).is_file(), f)
        python = os.environ.get("ZUMEN_PYTHON", "/usr/bin/python3")
        code = ("import sys, zumen, zumen.batch; d = zumen.open(sys.argv[1]); print(d.format, d.render(size=(100, 70)).shape);"
                "print(zumen._zumen.__file__)")
        env = dict(os.environ, PYTHONPATH=str(package.parent))
        r = run([python, "-c", code, str(EXAMPLE)], env=env, cwd=self.work)
        self.assertEqual(r.stdout.splitlines(), ["JWW (70, 100, 4)", str(modules[0])])
        self.assertIn("batch", run([python, "-m", "zumen", "--help"], env=env, cwd=self.work).stdout)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], *sys.argv[3:]], verbosity=2)

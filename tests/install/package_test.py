"""`pip install .` of a clean copy of the sources into a new virtual
environment, with no network, and the installed package used from there.

The copy holds the files git knows (as they are in the work tree), without
any build folder; the environment sees Debian's packages
(--system-site-packages) for setuptools, numpy, Dask and pandas. Once
installed, the copy is removed: the package must stand on its own.

Run by CTest:  package_test.py BUILD_DIR SOURCE_DIR [unittest arguments]
Environment:   ZUMEN_EXE  the zumen executable whose pictures the package's must equal.
"""

import filecmp
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

BUILD = Path(sys.argv[1]).resolve() if len(sys.argv) > 2 else Path.cwd()
SOURCE = Path(sys.argv[2]).resolve() if len(sys.argv) > 2 else Path(__file__).resolve().parents[2]
EXAMPLE = SOURCE / "examples" / "example.jww"
ZUMEN_EXE = os.environ.get("ZUMEN_EXE", str(BUILD / "zumen"))
SYSTEM_PYTHON = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable


def run(args, **kw):
    """Runs a command; a failure shows its output."""
    r = subprocess.run(args, capture_output=True, text=True, **kw)
    if r.returncode != 0:
        raise AssertionError(f"{args} exited {r.returncode}\n{r.stdout[-4000:]}\n{r.stderr[-4000:]}")
    return r


def clean_copy(destination: Path) -> None:
    """The sources as a fresh checkout has them."""
    listed = subprocess.run(["git", "-C", str(SOURCE), "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
                            capture_output=True)
    if listed.returncode == 0:
        for name in filter(None, listed.stdout.split(b"\0")):
            path = SOURCE / os.fsdecode(name)
            if path.is_file():
                target = destination / os.fsdecode(name)
                target.parent.mkdir(parents=True, exist_ok=True)
                shutil.copy2(path, target)
    else:
        shutil.copytree(SOURCE, destination, ignore=shutil.ignore_patterns("build*", ".git", "__pycache__"))


class PipInstall(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = Path(tempfile.mkdtemp(prefix="zumen-package-", dir=BUILD))
        checkout = cls.work / "checkout"
        clean_copy(checkout)
        cls.venv = cls.work / "venv"
        run([SYSTEM_PYTHON, "-m", "venv", "--system-site-packages", str(cls.venv)])
        cls.interpreter = str(cls.venv / "bin" / "python")
        env = dict(os.environ, PIP_NO_INPUT="1", CMAKE_BUILD_PARALLEL_LEVEL=str(os.cpu_count() or 1))
        run([cls.interpreter, "-m", "pip", "install", "--no-build-isolation", "--no-index", "--no-cache-dir", "."],
            cwd=checkout, env=env)
        shutil.rmtree(checkout)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def in_venv(self, *args):
        env = {k: v for k, v in os.environ.items() if not k.startswith(("PYTHON", "ZUMEN_FONTS"))}
        return run([self.interpreter, *args], cwd=self.work, env=env)

    def test_the_package_is_installed_in_the_environment(self):
        where = Path(self.in_venv("-c", "import zumen; print(zumen.__file__)").stdout.strip()).parent
        self.assertEqual(where.parent.parent.parent.parent, self.venv)
        for f in ["_zumen.pyi", "py.typed", "zumen-fonts.conf", "__main__.py", "batch/__main__.py"]:
            self.assertTrue((where / f).is_file(), f)
        self.assertTrue(list(where.glob("_zumen.*.so")))
        self.assertIn("batch", self.in_venv("-m", "zumen", "--help").stdout)
        self.assertIn("--scheduler", run([str(self.venv / "bin" / "zumen-batch"), "--help"]).stdout)

    def test_its_pictures_are_the_command_lines(self):
        ours, theirs = self.work / "ours.png", self.work / "theirs.png"
        self.in_venv("-c", "import sys, zumen; zumen.open(sys.argv[1]).save(sys.argv[2], dpi=100)", str(EXAMPLE),
                    str(ours))
        run([ZUMEN_EXE, "convert", str(EXAMPLE), str(theirs), "--dpi", "100"])
        self.assertTrue(filecmp.cmp(ours, theirs, shallow=False))
        # A batch through the installed command, on threads here.
        self.in_venv("-m", "zumen.batch", str(EXAMPLE), "-o", str(self.work / "batch"), "-q", "--dpi", "100")
        self.assertTrue(filecmp.cmp(self.work / "batch" / "example.png", theirs, shallow=False))


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], *sys.argv[3:]], verbosity=2)

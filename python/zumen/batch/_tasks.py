"""One drawing's work, as a Dask worker or a local thread runs it.

Each function takes a plain dict and gives back a row of the result table;
a drawing that fails becomes a row with its message, never an exception, so
that one bad drawing never stops the rest.
"""

import ctypes
import json
import os
import posixpath
import threading
import time
from typing import Any, Dict, Tuple

import zumen

from . import _plan

# Warnings after which a picture shows only part of the drawing, as for the
# command line's "partial".
PARTIAL_CODES = ("read-partial", "block-instances-cut")


def _worker() -> Tuple[str, Any]:
    """The Dask worker this runs on (its address, and the worker), or a local thread."""
    try:
        from distributed import get_worker

        w = get_worker()
        return w.address, w
    except (ImportError, ValueError):
        return "local:" + threading.current_thread().name, None


# glibc's mallopt parameter for the size from which blocks are mapped apart.
_M_MMAP_THRESHOLD = -3
_allocator_checked = False


def _allocator_for_drawing() -> None:
    """Lets glibc keep large blocks in its heap in a Dask worker.

    Dask's nanny starts workers with MALLOC_TRIM_THRESHOLD_ set, and any such
    setting also pins the size from which glibc maps each block apart at 128
    KiB. Drawing allocates and frees many buffers above that (glyph masks,
    strips, deflate state); each then comes as a new mapping whose pages
    fault in anew, and the corpus draws 20 to 35 % slower. Once per worker
    process, the threshold is raised to 32 MiB, as far as glibc's own would
    move, unless MALLOC_MMAP_THRESHOLD_ says otherwise.
    """
    global _allocator_checked
    if _allocator_checked:
        return
    _allocator_checked = True
    if "MALLOC_TRIM_THRESHOLD_" in os.environ and "MALLOC_MMAP_THRESHOLD_" not in os.environ:
        try:
            ctypes.CDLL(None).mallopt(_M_MMAP_THRESHOLD, 32 << 20)
        except (OSError, AttributeError):
            pass


def _threads(job: Dict[str, Any], worker: Any) -> int:
    """Threads for one picture: the cores of this machine shared among the
    drawings converted on it at once, as the command line shares them."""
    if job["render"].get("threads"):
        return int(job["render"]["threads"])
    cores = os.cpu_count() or 1
    at_once = job.get("at_once") or 1
    if worker is not None:
        host = worker.address.split("://")[-1].rsplit(":", 1)[0]
        state = getattr(worker, "state", worker)
        at_once = (job.get("host_threads") or {}).get(host) or getattr(state, "nthreads", 1) or 1
    return max(1, cores // int(at_once))


def _open(job: Dict[str, Any]) -> zumen.Drawing:
    source = job["source"]
    fmt = job.get("source_format") if job.get("named") else None
    if not job.get("url"):
        return zumen.open(source, format=fmt)
    import fsspec

    with fsspec.open(source, "rb") as f:
        data = f.read()
    return zumen.open_bytes(data, format=fmt, name=posixpath.basename(source))


def _failed(row: Dict[str, Any], error: str) -> Dict[str, Any]:
    row["status"] = "failed"
    row["error"] = error
    return row


def convert(job: Dict[str, Any]) -> Dict[str, Any]:
    """Converts one drawing to its picture and records it in the manifest."""
    address, worker = _worker()
    if worker is not None:
        _allocator_for_drawing()
    row: Dict[str, Any] = {
        "source": job["source"], "destination": job["destination"], "status": "failed", "error": None,
        "warnings": [], "format": None, "type": job["type"], "width": None, "height": None,
        "read_ms": 0.0, "draw_ms": 0.0, "save_ms": 0.0, "worker": address, "attempts": job.get("attempt", 1),
    }
    if job.get("error"):
        return _failed(row, job["error"])
    try:
        start = time.perf_counter()
        # The source as read: a change after this makes the next run convert
        # it again. A source that cannot be seen is left to zumen to tell.
        try:
            stamp = _plan.source_stamp(job["source"], job.get("url", False))
        except OSError:
            stamp = None
        drawing = _open(job)
        if stamp is None:
            stamp = _plan.source_stamp(job["source"], job.get("url", False))
        row["read_ms"] = (time.perf_counter() - start) * 1000
        row["format"] = drawing.format
        destination = job["destination"]
        parent = os.path.dirname(destination)
        if parent:
            os.makedirs(parent, exist_ok=True)
        options = dict(job["render"])
        options["threads"] = _threads(job, worker)
        result = drawing.save(destination, format=job["type"], **options)
    except (zumen.Error, ValueError, TypeError, OSError) as e:
        return _failed(row, str(e))
    except MemoryError:
        return _failed(row, f'not enough memory to convert "{job["source"]}"')
    except Exception as e:  # noqa: BLE001 - a fault is this drawing's failure alone, as for zumen convert
        return _failed(row, f'"{job["source"]}": {type(e).__name__}: {e}')
    row["draw_ms"] = result["draw_ms"]
    row["save_ms"] = result["save_ms"]
    row["warnings"] = drawing.diagnostics + result["diagnostics"]
    row["status"] = "partial" if any(w["code"] in PARTIAL_CODES for w in row["warnings"]) else "ok"
    if job["type"] != "dxf":
        row["width"], row["height"] = result["width"], result["height"]
    try:
        st = os.stat(destination)
        entry = {
            "manifest": _plan.MANIFEST_VERSION, "source": job["source"], "source_size": stamp[0],
            "source_mtime": stamp[1], "options": job["options_key"], "destination": job["relative"],
            "destination_size": st.st_size, "destination_mtime": str(st.st_mtime_ns), "status": row["status"],
            "warnings": row["warnings"],
        }
        _plan.write_atomically(job["manifest"], json.dumps(entry, indent=1).encode())
    except OSError as e:
        # The picture is complete; without its entry the next run makes it again.
        row["warnings"] = row["warnings"] + [
            {"code": "manifest-unwritten", "count": 1, "message": f"the manifest entry was not written: {e}"}]
    return row


def index(job: Dict[str, Any]) -> Dict[str, Any]:
    """The texts of one drawing, for a search index."""
    address, worker = _worker()
    if worker is not None:
        _allocator_for_drawing()
    row: Dict[str, Any] = {
        "source": job["source"], "status": "failed", "error": None, "format": None, "title": None,
        "texts": [], "warnings": [], "read_ms": 0.0, "texts_ms": 0.0, "worker": address,
        "attempts": job.get("attempt", 1),
    }
    if job.get("error"):
        return _failed(row, job["error"])
    try:
        start = time.perf_counter()
        drawing = _open(job)
        row["read_ms"] = (time.perf_counter() - start) * 1000
        row["format"] = drawing.format
        row["title"] = drawing.info.get("title")
        start = time.perf_counter()
        row["texts"] = drawing.texts(**job["options"])
        row["texts_ms"] = (time.perf_counter() - start) * 1000
    except (zumen.Error, ValueError, TypeError, OSError) as e:
        return _failed(row, str(e))
    except MemoryError:
        return _failed(row, f'not enough memory to read "{job["source"]}"')
    except Exception as e:  # noqa: BLE001 - a fault is this drawing's failure alone
        return _failed(row, f'"{job["source"]}": {type(e).__name__}: {e}')
    row["warnings"] = drawing.diagnostics
    row["status"] = "partial" if any(w["code"] in PARTIAL_CODES for w in row["warnings"]) else "ok"
    return row

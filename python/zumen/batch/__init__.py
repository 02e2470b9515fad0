"""Archives of drawings converted or indexed on many cores or many machines.

    from distributed import Client
    from zumen.batch import convert_many, index_texts

    table = convert_many(["/archive/plans"], "/archive/png", recursive=True,
                         client=Client("tcp://scheduler:8786"), dpi=200)
    table[table.status == "failed"]

Each drawing is one task: on the workers of a Dask client when one is given,
else on threads of this process. Pictures are named, drawn and written as
`zumen convert SRC... -o DIR` does with the same options (with recursive, as
with -r), each through a temporary file renamed into place; every picture
made is recorded in a manifest under DIR/.zumen-batch, so that running the
same batch again converts only what is missing, stale or changed. A drawing
that fails is tried once more, then reported; it never stops the others.

The result is a pandas DataFrame when pandas is there, else a list of dicts.
"""

import concurrent.futures
import logging
import os
from typing import Any, Callable, Dict, Iterable, List, Optional, Union

import zumen

from . import _plan, _run, _tasks

__all__ = ["convert_many", "index_texts", "CONVERT_COLUMNS", "INDEX_COLUMNS"]

log = logging.getLogger("zumen.batch")

CONVERT_COLUMNS = ["source", "destination", "status", "error", "warnings", "format", "type", "width", "height",
                   "read_ms", "draw_ms", "save_ms", "worker", "attempts"]
INDEX_COLUMNS = ["source", "status", "error", "format", "title", "texts", "warnings", "read_ms", "texts_ms",
                 "worker", "attempts"]

Sources = Union[str, os.PathLike, Iterable[Union[str, os.PathLike]]]
Progress = Optional[Callable[[Dict[str, Any], int, int], None]]


def _operands(sources: Sources, client: Any) -> List[Any]:
    operands = [sources] if isinstance(sources, (str, bytes, os.PathLike)) else list(sources)
    if client is None:
        return operands
    # Workers do not share this process's working folder: they are given whole paths.
    return [os.path.abspath(p) if p is not None else o for o, p in ((o, _plan.local_path(o)) for o in operands)]


def _table(rows: List[Dict[str, Any]], columns: List[str]):
    try:
        import pandas
    except ImportError:
        return rows
    return pandas.DataFrame(rows, columns=columns)


def _destination(out_dir: str, relative: str) -> str:
    # As the command line joins them, so that the table names files as its --json does.
    return out_dir + relative if out_dir.endswith("/") else out_dir + "/" + relative


def _collect(sources: Sources, recursive: bool, client: Any) -> List[_plan.Source]:
    found, empty = _plan.collect_sources(_operands(sources, client), recursive)
    for folder in empty:
        log.warning('no drawing (.jww .jws .jwc .jwk .k4) in "%s"', folder)
    return found


def _skipped(job: Dict[str, Any], entry: Dict[str, Any]) -> Dict[str, Any]:
    return {"source": job["source"], "destination": job["destination"], "status": "skipped", "error": None,
            "warnings": entry.get("warnings", []), "format": None, "type": job["type"], "width": None,
            "height": None, "read_ms": 0.0, "draw_ms": 0.0, "save_ms": 0.0, "worker": None, "attempts": 0}


def convert_many(sources: Sources, out_dir: Union[str, os.PathLike], *, format: str = "png", client: Any = None,
                 recursive: bool = False, name: Optional[str] = None, source_format: Optional[str] = None,
                 jobs: Optional[int] = None, resume: bool = True, progress: Progress = None,
                 **render_options: Any):
    """Converts drawings into pictures under out_dir, one task per drawing.

    sources: drawing files, folders (their drawings; with recursive=True
    their subfolders' too, mirrored under out_dir) and fsspec URLs of either.
    out_dir: a folder every worker sees (a shared mount, or a file:// URL).
    With a client, paths are made absolute: the workers' working folders are
    not this process's.
    format: the pictures' type (png, jpg, tif, webp, svg, pdf, dxf, ...).
    client: a distributed.Client; None converts on `jobs` threads here
    (default: one per core). name: the command line's --name pattern
    ({dir}, {stem}, {ext}); source_format: its --from, for named files
    without their extension. resume=False converts every drawing again.
    progress(row, done, total) is called on this thread as each drawing
    finishes. Other keywords are zumen's rendering options (dpi, size,
    background, fit, frame, monochrome, quality, max_pixels, max_side, ...).

    Returns the table of CONVERT_COLUMNS, one row per drawing in the order of
    the sources; status is ok, partial (read or drawn only in part), skipped
    (already converted) or failed (error holds zumen's message).
    """
    output = _plan.output_type(format)
    render = _plan.render_options(output, render_options)
    options_key = _plan.options_key(output, render, source_format)
    if source_format is not None and zumen.format_of(source_format) is None:
        raise ValueError(f'source_format: takes {", ".join(zumen.formats)}, not "{source_format}"')
    pattern = _plan.DEFAULT_NAME if name is None else name
    why = _plan.check_name_pattern(pattern)
    if why:
        raise ValueError(f"name: {why}")
    folder = _plan.local_path(out_dir)
    if folder is None or not folder:
        raise ValueError(f'out_dir: a folder every worker sees (a path, or a file:// URL), not "{out_dir}"')
    if client is not None:
        folder = os.path.abspath(folder)
    if os.path.exists(folder) and not os.path.isdir(folder):
        raise ValueError(f'out_dir: names a folder for the pictures, not "{folder}"')

    found = _collect(sources, recursive, client)
    work: List[Dict[str, Any]] = []
    first: Dict[str, str] = {}
    collisions = []
    for index, s in enumerate(found):
        job = {"index": index, "source": s.path, "named": s.named, "url": s.url, "error": s.error,
               "type": output, "render": render, "options_key": options_key, "source_format": source_format,
               "destination": None, "relative": None, "manifest": None, "attempt": 1}
        if not s.error:
            relative = _plan.relative_output(pattern, s, output)
            job.update(relative=relative, destination=_destination(folder, relative),
                       manifest=_plan.manifest_path(folder, relative))
            normal = os.path.normpath(job["destination"])
            if normal in first:
                collisions.append((first[normal], s.path, job["destination"]))
            first.setdefault(normal, s.path)
            if not s.url and os.path.realpath(s.path) == os.path.realpath(job["destination"]):
                job["error"] = f'the picture would overwrite the drawing "{s.path}"'
        work.append(job)
    if collisions:
        told = "; ".join(f'"{a}" and "{b}" would both be written to "{o}"' for a, b, o in collisions[:5])
        raise ValueError(f"{told}: tell the pictures apart with name= (e.g. name='{{dir}}/{{stem}}.{{ext}}')")
    os.makedirs(folder, exist_ok=True)

    rows: List[Optional[Dict[str, Any]]] = [None] * len(work)
    todo = work
    if resume:
        def complete(job):
            if job["error"]:
                return None
            entry = _plan.read_manifest(job["manifest"])
            done = _plan.is_complete(entry, job["source"], job["url"], job["destination"], options_key)
            return entry if done else None

        # Stat calls on shared storage wait on the network: many at once.
        with concurrent.futures.ThreadPoolExecutor(max_workers=16) as pool:
            entries = list(pool.map(complete, work))
        todo = []
        for job, entry in zip(work, entries):
            if entry is None:
                todo.append(job)
            else:
                rows[job["index"]] = _skipped(job, entry)
        if progress:
            done = 0
            for row in rows:
                if row is not None:
                    done += 1
                    progress(row, done, len(rows))

    # A worker killed while writing leaves its temporary file behind: those
    # that appear during the batch are removed once every task has ended.
    folders = {os.path.dirname(j[k]) for j in todo for k in ("destination", "manifest") if j[k]}
    before = _plan.temporary_files(folders)
    _run.run(_tasks.convert, todo, rows, client=client, workers=jobs, progress=progress)
    for stale in _plan.temporary_files(folders) - before:
        try:
            os.unlink(stale)
        except OSError:
            pass
    return _table(rows, CONVERT_COLUMNS)


def index_texts(sources: Sources, client: Any = None, *, recursive: bool = False,
                source_format: Optional[str] = None, jobs: Optional[int] = None, progress: Progress = None,
                **options: Any):
    """The texts of drawings, for a search index: one task per drawing.

    Sources, client, recursive, source_format, jobs and progress as for
    convert_many; options are those of Drawing.texts (reference_file,
    reference_folder, layers). Returns the table of INDEX_COLUMNS, one row per
    drawing: texts is the list Drawing.texts() gives (dicts with text, x, y,
    height, angle, vertical, box, layer, block_path).
    """
    unknown = sorted(set(options) - _plan.RENDER_KEYWORDS)
    if unknown:
        raise TypeError(f"unexpected keyword argument '{unknown[0]}'")
    if source_format is not None and zumen.format_of(source_format) is None:
        raise ValueError(f'source_format: takes {", ".join(zumen.formats)}, not "{source_format}"')
    zumen._zumen._check_options(**options)
    found = _collect(sources, recursive, client)
    work = [{"index": i, "source": s.path, "named": s.named, "url": s.url, "error": s.error,
             "options": options, "source_format": source_format, "attempt": 1} for i, s in enumerate(found)]
    rows: List[Optional[Dict[str, Any]]] = [None] * len(work)
    _run.run(_tasks.index, work, rows, client=client, workers=jobs, progress=progress)
    return _table(rows, INDEX_COLUMNS)

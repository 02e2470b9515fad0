"""python -m zumen.batch SRC... -o DIR [--scheduler ADDRESS] [OPTIONS]

Converts drawings as `zumen convert SRC... -o DIR` does, on the workers of a
Dask cluster (--scheduler) or on threads of this process, resuming where an
earlier run of the same batch stopped. Exit status as for zumen convert: 0
done, 1 a drawing failed, 2 wrong usage, 3 a drawing converted only in part.
"""

import argparse
import json
import logging
import sys
import time
from typing import Any, Dict, List, Optional

import zumen

from . import convert_many

BAR_WIDTH = 24


def _dpi(text: str) -> float:
    try:
        v = float(text)
    except ValueError:
        v = float("nan")
    if not 1 <= v <= 10000:
        raise argparse.ArgumentTypeError(f'takes a resolution from 1 to 10000 dots per inch, not "{text}"')
    return v


def _whole(low: int, high: int, what: str):
    def parse(text: str) -> int:
        if not text.isdigit() or not low <= int(text) <= high:
            raise argparse.ArgumentTypeError(f'takes {what} from {low} to {high}, not "{text}"')
        return int(text)
    return parse


def parser() -> argparse.ArgumentParser:
    p = argparse.ArgumentParser(
        prog="python -m zumen.batch",
        description="Converts drawings into pictures in DIR, as `zumen convert SRC... -o DIR` does, one task per "
                    "drawing on a Dask cluster (--scheduler) or on threads here. Pictures already made by an "
                    "earlier run with the same options, from the same sources, are kept (see DIR/.zumen-batch).",
        epilog="Exit status: 0 done, 1 a drawing failed, 2 wrong usage, 3 a drawing converted only in part.")
    p.add_argument("sources", nargs="+", metavar="SRC", help="drawings, folders of drawings, or fsspec URLs of them")
    p.add_argument("-o", "--output-dir", required=True, metavar="DIR",
                   help="the folder for the pictures (every worker must see it: shared storage)")
    p.add_argument("-r", "--recursive", action="store_true", help="the drawings in subfolders too, mirrored under DIR")
    p.add_argument("--scheduler", metavar="ADDRESS",
                   help="a Dask scheduler (tcp://host:8786) whose workers convert; without it, threads here")
    p.add_argument("--format", default="png", metavar="TYPE", help=f"{', '.join(zumen.output_types)} (default png)")
    p.add_argument("--name", metavar="PATTERN", help="the pictures' names under DIR from {dir}, {stem} and {ext} "
                                                     "(default {dir}/{stem})")
    p.add_argument("-j", "--jobs", type=_whole(1, 1024, "a number of drawings"), metavar="N",
                   help="without --scheduler: drawings converted at once (default: the number of cores)")
    p.add_argument("--threads", type=_whole(1, 1024, "a number of threads"), metavar="N",
                   help="threads for one picture (default: the cores of each machine shared among its drawings)")
    p.add_argument("--from", dest="source_format", choices=zumen.formats, metavar="FORMAT",
                   help="the format of files named without their extension")
    p.add_argument("--size", metavar="WxH", help="the picture's size in pixels (e.g. 1600x1131)")
    p.add_argument("--dpi", type=_dpi, metavar="N", help="the paper at N dots per inch (default 150)")
    p.add_argument("--max-pixels", type=_whole(1, 2**64 - 1, "a number of pixels"), metavar="N",
                   help="refuse pictures of more than N pixels")
    p.add_argument("--max-side", type=_whole(1, 2147483647, "a number of pixels"), metavar="N",
                   help="refuse pictures with a side longer than N pixels (default 65535)")
    p.add_argument("--background", choices=["white", "black", "transparent", "drawing"], metavar="COLOUR",
                   help="white, black, transparent or drawing (the default)")
    p.add_argument("--no-frame", action="store_true", help="leave out the blue frame of the paper")
    p.add_argument("--fit", choices=["paper", "extents"], metavar="WHAT", help="paper (the default) or extents")
    p.add_argument("--monochrome", action="store_true", help="every entity in one colour")
    p.add_argument("--quality", type=_whole(1, 100, "a quality"), metavar="N", help="JPEG and WebP quality")
    p.add_argument("--force", action="store_true", help="convert every drawing again, made before or not")
    p.add_argument("--json", action="store_true", help="one JSON object per drawing on standard output")
    p.add_argument("-q", "--quiet", action="store_true", help="no progress on standard error")
    return p


class Reporter:
    """Progress on standard error: a bar on a terminal, else a line per drawing."""

    def __init__(self, quiet: bool, json_lines: bool):
        self.quiet = quiet
        self.json_lines = json_lines
        self.bar = not quiet and sys.stderr.isatty()
        self.start = time.monotonic()
        self.failed = 0
        self.done = 0
        self.total = 0

    def bar_line(self) -> str:
        filled = BAR_WIDTH if not self.total else self.done * BAR_WIDTH // self.total
        line = f"\r[{'#' * filled}{'.' * (BAR_WIDTH - filled)}] {self.done}/{self.total}"
        if self.failed:
            line += f", {self.failed} failed"
        seconds = time.monotonic() - self.start
        if self.done and seconds > 0:
            line += f", {self.done / seconds:.1f} drawings/s"
        return line + "\033[K"

    def __call__(self, row: Dict[str, Any], done: int, total: int) -> None:
        self.done, self.total = done, total
        if row["status"] == "failed":
            self.failed += 1
        if self.json_lines:
            print(json.dumps(row, ensure_ascii=False, default=str), flush=True)
        text = ""
        if row["status"] not in ("skipped",):
            for w in row["warnings"]:
                text += f'zumen: warning: "{row["source"]}": {w["code"]} ({w["count"]}): {w["message"]}\n'
        if not self.quiet and not self.bar:
            if row["status"] == "failed":
                text += f"[{done}/{total}] {row['source']}: failed: {row['error']}\n"
            elif row["status"] == "skipped":
                text += f"[{done}/{total}] {row['source']}: already in {row['destination']}\n"
            else:
                text += f"[{done}/{total}] {row['source']} -> {row['destination']}"
                text += " (in part)\n" if row["status"] == "partial" else "\n"
        elif self.bar and row["status"] == "failed":
            text += f"zumen: {row['error']}\n"
        if self.bar:
            sys.stderr.write(("\r\033[K" + text if text else "") + self.bar_line())
        else:
            sys.stderr.write(text)
        sys.stderr.flush()


def _rows(table) -> List[Dict[str, Any]]:
    return table.to_dict("records") if hasattr(table, "to_dict") else list(table)


def main(argv: Optional[List[str]] = None) -> int:
    a = parser().parse_args(argv)
    logging.basicConfig(format="zumen: %(message)s", level=logging.WARNING)
    options: Dict[str, Any] = {}
    if a.size:
        options["size"] = a.size
    elif a.dpi is not None:
        options["dpi"] = a.dpi
    for key in ("max_pixels", "max_side", "background", "fit", "quality", "threads"):
        if getattr(a, key) is not None:
            options[key] = getattr(a, key)
    if a.no_frame:
        options["frame"] = False
    if a.monochrome:
        options["monochrome"] = True
    client = None
    if a.scheduler:
        from distributed import Client

        client = Client(a.scheduler)
    reporter = Reporter(a.quiet, a.json)
    start = time.monotonic()
    try:
        table = convert_many(a.sources, a.output_dir, format=a.format, client=client, recursive=a.recursive,
                             name=a.name, source_format=a.source_format, jobs=a.jobs, resume=not a.force,
                             progress=reporter, **options)
    except (ValueError, TypeError) as e:
        print(f"zumen: {e}", file=sys.stderr)
        return 2
    except KeyboardInterrupt:
        if reporter.bar:
            sys.stderr.write("\r\033[K")
        print(f"zumen: stopped after {reporter.done} of {reporter.total} drawings; the pictures in "
              f"{a.output_dir} are all complete, and running the same command again converts the rest",
              file=sys.stderr)
        return 130
    finally:
        if client is not None:
            client.close()
    rows = _rows(table)
    if reporter.bar:
        sys.stderr.write("\r\033[K")
    failed = [r for r in rows if r["status"] == "failed"]
    partial = sum(r["status"] == "partial" for r in rows)
    skipped = sum(r["status"] == "skipped" for r in rows)
    if failed:
        print(f"zumen: {len(failed)} of {len(rows)} drawing{'s' if len(rows) != 1 else ''} failed:", file=sys.stderr)
        for r in failed:
            print(f"  {r['error']}", file=sys.stderr)
    if not a.quiet:
        made = len(rows) - len(failed) - skipped
        text = f"zumen: converted {made} of {len(rows)} drawings"
        if partial:
            text += f" ({partial} only in part)"
        if skipped:
            text += f", {skipped} already converted"
        text += f" in {time.monotonic() - start:.1f} s"
        if failed:
            text += f"; {len(failed)} failed"
        print(text, file=sys.stderr)
    if failed:
        return 1
    return 3 if partial else 0


if __name__ == "__main__":
    sys.exit(main())

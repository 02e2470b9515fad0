"""python -m zumen: the package's own small command line.

    python -m zumen info SRC...            what drawings hold, one JSON object per line
    python -m zumen convert SRC DST        one drawing into one picture (type from DST's extension)
    python -m zumen batch SRC... -o DIR    many drawings, on a Dask cluster or threads (zumen.batch)
"""

import argparse
import json
import sys
from typing import List, Optional

import zumen


def main(argv: Optional[List[str]] = None) -> int:
    argv = sys.argv[1:] if argv is None else argv
    if argv[:1] == ["batch"]:
        from zumen.batch.__main__ import main as batch

        return batch(argv[1:])
    p = argparse.ArgumentParser(
        prog="python -m zumen",
        description=f"zumen {zumen.__version__}: Japanese CAD drawings (JWW, JWS, JWC, JWK, K4) into pictures.",
        epilog="python -m zumen batch --help: many drawings at once, on a Dask cluster or threads here.")
    p.add_argument("--version", action="version", version=f"zumen {zumen.__version__}")
    commands = p.add_subparsers(dest="command", metavar="COMMAND")
    info = commands.add_parser("info", help="what drawings hold, one JSON object per line")
    info.add_argument("sources", nargs="+", metavar="SRC")
    convert = commands.add_parser("convert", help="one drawing into one picture")
    convert.add_argument("source", metavar="SRC")
    convert.add_argument("destination", metavar="DST", help=f"the picture: {', '.join(zumen.output_types)}")
    convert.add_argument("--dpi", type=float)
    convert.add_argument("--format", metavar="TYPE", help="the picture's type, when DST's extension does not say")
    commands.add_parser("batch", help="many drawings into pictures in a folder (see python -m zumen batch --help)")
    a = p.parse_args(argv)
    if a.command is None:
        p.print_help()
        return 2
    status = 0
    if a.command == "info":
        for source in a.sources:
            try:
                row = dict(source=source, **zumen.open(source).info)
            except zumen.Error as e:
                row, status = {"source": source, "error": str(e)}, 1
            print(json.dumps(row, ensure_ascii=False))
    elif a.command == "convert":
        options = {} if a.dpi is None else {"dpi": a.dpi}
        try:
            r = zumen.convert(a.source, a.destination, format=a.format, **options)
        except (zumen.Error, ValueError) as e:
            print(f"zumen: {e}", file=sys.stderr)
            return 1
        for w in r["diagnostics"]:
            print(f'zumen: warning: "{a.source}": {w["code"]} ({w["count"]}): {w["message"]}', file=sys.stderr)
    return status


if __name__ == "__main__":
    sys.exit(main())

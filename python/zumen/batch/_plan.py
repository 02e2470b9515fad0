"""What a batch does before anything is converted: the drawings its sources
name, where their pictures go, the options every picture is drawn with, and
the manifest entries that tell a complete picture from one still to make.

The names and defaults follow `zumen convert SRC... -o DIR`: a folder gives its
drawings (.jww .jws .jwc .jwk .k4, any letter case), sorted; with recursive,
those of its subfolders too, mirrored under the output folder; the pictures
are named by the pattern {dir}/{stem} plus the type's extension.
"""

import json
import os
import posixpath
import re
from typing import Any, Dict, Iterable, List, Optional, Tuple

import zumen

# The manifest's folder under the output folder; one JSON file per picture,
# at the picture's own relative path plus ".json".
MANIFEST_DIR = ".zumen-batch"
MANIFEST_VERSION = 1

DEFAULT_NAME = "{dir}/{stem}"

# Temporary files: those the library writes a picture into before renaming
# it, and those write_atomically writes a manifest entry into.
TEMPORARY_FILE = re.compile(r"^(\.zumen-\d+-\d+\.tmp|\..+\.\d+\.[0-9a-f]{8}\.part)$")

# The keywords a batch passes on to the library, with the command line's
# option for each where it has one.
RENDER_KEYWORDS = {
    "dpi", "size", "width", "height", "max_pixels", "max_side", "margin", "background", "frame", "fit",
    "monochrome", "auxiliary_lines", "fonts_config", "reference_file", "reference_folder", "quality",
    "threads", "layers",
}
# Keywords that change how fast a picture is made, never its bytes.
SPEED_KEYWORDS = {"threads"}


class Source:
    """A drawing to read: a local path or an fsspec URL."""

    __slots__ = ("path", "dir", "named", "error", "url", "size", "mtime")

    def __init__(self, path, dir="", named=True, error="", url=False, size=None, mtime=None):
        self.path = path      # as given, or found under a folder given
        self.dir = dir        # its folder relative to the folder it was found in ("" for files named)
        self.named = named    # given by name rather than found in a folder
        self.error = error    # set when the source is a folder that could not be read
        self.url = url        # read through fsspec
        self.size = size      # from the folder's listing, when it gave them
        self.mtime = mtime


def _is_url(text: str) -> bool:
    return re.match(r"^[A-Za-z][A-Za-z0-9+.-]*://", text) is not None


def local_path(text) -> Optional[str]:
    """The local path a source names (file:// URLs included), or None for other URLs."""
    text = os.fsdecode(text) if isinstance(text, (bytes, os.PathLike)) else str(text)
    if not _is_url(text):
        return text
    if text.startswith("file://"):
        return text[len("file://"):] or "/"
    if text.startswith("local://"):
        return text[len("local://"):] or "/"
    return None


def _sort_key(path: str) -> bytes:
    # The command line sorts names as bytes.
    return os.fsencode(path)


def _is_drawing_name(name: str) -> bool:
    ext = os.path.splitext(name)[1]
    return len(ext) > 1 and zumen.format_of(ext) is not None


def _add_folder(root: str, recursive: bool, found: List[Source], empty: List[str]) -> None:
    here: List[Source] = []
    try:
        entries = list(os.scandir(root))
    except OSError as e:
        found.append(Source(root, named=False, error=f'cannot read the folder "{root}": {e.strerror or e}'))
        return

    def add(path: str, parent: str) -> None:
        if not os.path.isfile(path) or not _is_drawing_name(path):
            return
        rel = os.path.normpath(os.path.relpath(parent, root))
        here.append(Source(path, "" if rel == "." else rel, named=False))

    if recursive:
        # Links to folders are not followed: a link back up would never end.
        for parent, _dirs, files in os.walk(root, followlinks=False):
            for f in files:
                add(os.path.join(parent, f), parent)
    else:
        for e in entries:
            add(os.path.join(root, e.name), root)
    here.sort(key=lambda s: _sort_key(s.path))
    if not here:
        empty.append(root)
    found.extend(here)


def _mtime_of(info: Dict[str, Any]) -> Optional[str]:
    for key in ("mtime", "LastModified", "last_modified", "updated", "created", "ETag", "etag"):
        if info.get(key) is not None:
            return str(info[key])
    return None


def _add_url(url: str, recursive: bool, found: List[Source], empty: List[str]) -> None:
    import fsspec  # only URLs need it

    fs, root = fsspec.core.url_to_fs(url)
    try:
        is_folder = fs.isdir(root)
    except OSError:
        is_folder = False
    if not is_folder:
        found.append(Source(url, url=True))
        return
    here: List[Source] = []
    try:
        listing = fs.find(root, maxdepth=None if recursive else 1, detail=True)
    except OSError as e:
        found.append(Source(url, named=False, error=f'cannot read the folder "{url}": {e}'))
        return
    for path, info in listing.items():
        if info.get("type", "file") != "file" or not _is_drawing_name(path):
            continue
        rel = posixpath.normpath(posixpath.relpath(posixpath.dirname(path), root.rstrip("/") or "/"))
        here.append(Source(fs.unstrip_protocol(path), "" if rel == "." else rel, named=False, url=True,
                           size=info.get("size"), mtime=_mtime_of(info)))
    here.sort(key=lambda s: _sort_key(s.path))
    if not here:
        empty.append(url)
    found.extend(here)


def collect_sources(operands: Iterable, recursive: bool) -> Tuple[List[Source], List[str]]:
    """The drawings the operands name, each once, and the folders without any."""
    found: List[Source] = []
    empty: List[str] = []
    for operand in operands:
        text = os.fsdecode(operand) if isinstance(operand, (bytes, os.PathLike)) else str(operand)
        path = local_path(text)
        if path is None:
            _add_url(text, recursive, found, empty)
        elif os.path.isdir(path):
            _add_folder(path, recursive, found, empty)
        else:
            found.append(Source(path))
    unique: List[Source] = []
    seen = set()
    for s in found:
        key = s.path if (s.url or s.error) else os.path.realpath(s.path)
        if s.error or key not in seen:
            seen.add(key)
            unique.append(s)
    return unique, empty


def _clean_relative(text: str) -> Optional[str]:
    """The path without "." and empty segments; None when it climbs out with ".."."""
    parts = []
    for part in text.split("/"):
        if part == "..":
            return None
        if part and part != ".":
            parts.append(part)
    return "/".join(parts)


def check_name_pattern(pattern: str) -> str:
    """Empty text when the pattern is good, else why not."""
    i = 0
    while i < len(pattern):
        if pattern[i] == "{":
            close = pattern.find("}", i)
            name = pattern[i:] if close < 0 else pattern[i:close + 1]
            if name not in ("{dir}", "{stem}", "{ext}"):
                return f'knows {{dir}}, {{stem}} and {{ext}}, not "{name}"'
            if close < 0:
                break
            i = close
        i += 1
    if not pattern or pattern.startswith("/"):
        return f'names a file under the output folder, not "{pattern}"'
    clean = _clean_relative(pattern)
    if clean is None:
        return 'may not climb out of the output folder with ".."'
    if not clean or pattern.endswith("/"):
        return f'names a file under the output folder, not "{pattern}"'
    return ""


def relative_output(pattern: str, source: Source, output_type: str) -> str:
    """The picture's path under the output folder, as the command line names it."""
    base = posixpath.basename(source.path) if source.url else os.path.basename(source.path)
    stem, ext = os.path.splitext(base)
    ext = ext[1:]
    name = pattern.replace("{dir}", "\0d").replace("{stem}", "\0s").replace("{ext}", "\0e")
    name = name.replace("\0d", source.dir).replace("\0s", stem).replace("\0e", ext)
    clean = _clean_relative(name)
    if not clean:
        clean = stem  # a {dir} or {stem} of ".." never climbs out
    own = os.path.splitext(pattern)[1]
    if len(own) < 2 or zumen.output_type_of(own) != output_type:
        clean += "." + output_type
    return clean


def output_type(format: str) -> str:
    t = zumen.output_type_of(str(format))
    if t is None:
        raise ValueError(f'format: takes {", ".join(zumen.output_types)}, not "{format}"')
    return t


def render_options(output: str, options: Dict[str, Any]) -> Dict[str, Any]:
    """The keywords every picture is drawn with: the command line's defaults
    (150 dpi unless a size is given; the fonts of ZUMEN_FONTS_CONF on the
    machine that draws) and the caller's options, checked now so that a
    wrong one stops the batch before it starts."""
    unknown = sorted(set(options) - RENDER_KEYWORDS)
    if unknown:
        raise TypeError(f"unexpected keyword argument '{unknown[0]}'")
    o = {k: v for k, v in options.items() if v is not None}  # None: the default
    if isinstance(o.get("size"), str):
        m = re.fullmatch(r"(\d+)[xX](\d+)", o["size"])
        if not m:
            raise ValueError(f'size: takes WIDTHxHEIGHT in pixels, such as 1600x1131, not "{o["size"]}"')
        o["size"] = (int(m.group(1)), int(m.group(2)))
    if "size" in o:
        o["size"] = tuple(o["size"])
    if not any(k in o for k in ("size", "width", "height")):
        o.setdefault("dpi", 150)
    if "quality" in o and output not in ("jpg", "webp"):
        raise ValueError(f"quality applies to JPEG and WebP pictures, not {output}")
    for k in ("fonts_config", "reference_file", "reference_folder"):
        if k in o:
            o[k] = os.fsdecode(o[k])
    if "layers" in o:
        o["layers"] = [int(n) for n in o["layers"]]
    zumen._zumen._check_options(**o)
    return o


def options_key(output: str, render: Dict[str, Any], source_format: Optional[str]) -> Dict[str, Any]:
    """What the manifest records of the options: all that changes the
    picture's bytes, and the zumen that drew it."""
    kept = {k: (list(v) if isinstance(v, tuple) else v) for k, v in sorted(render.items()) if k not in SPEED_KEYWORDS}
    return {"type": output, "render": kept, "from": source_format, "zumen": zumen.__version__}


def manifest_path(out_dir: str, relative: str) -> str:
    return os.path.join(out_dir, MANIFEST_DIR, relative + ".json")


def source_stamp(source: str, url: bool) -> Tuple[int, str]:
    """(size, time) of a source as the manifest records them."""
    if not url:
        st = os.stat(source)
        return st.st_size, str(st.st_mtime_ns)
    import fsspec

    fs, path = fsspec.core.url_to_fs(source)
    info = fs.info(path)
    return int(info.get("size") or 0), _mtime_of(info) or ""


def read_manifest(path: str) -> Optional[Dict[str, Any]]:
    try:
        with open(path, "rb") as f:
            entry = json.load(f)
    except (OSError, ValueError):
        return None
    return entry if isinstance(entry, dict) and entry.get("manifest") == MANIFEST_VERSION else None


def is_complete(entry: Optional[Dict[str, Any]], source: str, url: bool, destination: str,
                options: Dict[str, Any]) -> bool:
    """Whether the picture at destination is the one the manifest entry
    describes, made from the source as it is now with these options."""
    if entry is None or entry.get("source") != source or entry.get("options") != options:
        return False
    try:
        size, mtime = source_stamp(source, url)
        st = os.stat(destination)
    except (OSError, ValueError):
        return False
    return (entry.get("source_size") == size and entry.get("source_mtime") == mtime
            and entry.get("destination_size") == st.st_size
            and entry.get("destination_mtime") == str(st.st_mtime_ns))


def write_atomically(path: str, data: bytes) -> None:
    """Writes a small file through a temporary name beside it and a rename."""
    folder = os.path.dirname(path)
    os.makedirs(folder, exist_ok=True)
    tmp = os.path.join(folder, f".{os.path.basename(path)}.{os.getpid()}.{os.urandom(4).hex()}.part")
    try:
        with open(tmp, "wb") as f:
            f.write(data)
        os.replace(tmp, path)
    except BaseException:
        try:
            os.unlink(tmp)
        except OSError:
            pass
        raise


def temporary_files(folders: Iterable[str]) -> set:
    """The temporary files in the folders (paths)."""
    found = set()
    for folder in folders:
        try:
            names = os.listdir(folder)
        except OSError:
            continue
        found.update(os.path.join(folder, n) for n in names if TEMPORARY_FILE.match(n))
    return found

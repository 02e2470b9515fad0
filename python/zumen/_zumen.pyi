"""Type hints for the extension module zumen._zumen (re-exported by zumen)."""

import os
from typing import Any, Literal, Optional, Sequence, Tuple, TypedDict, Union

import numpy
import numpy.typing

_Path = Union[str, bytes, os.PathLike[str], os.PathLike[bytes]]
_Background = Literal["drawing", "white", "black", "transparent"]
_Fit = Literal["paper", "extents"]
_Rasteriser = Literal["zumen", "cairo"]

__version__: str
formats: Tuple[str, ...]
output_types: Tuple[str, ...]

class Error(RuntimeError):
    """A failure with zumen's own message."""

class Diagnostic(TypedDict):
    code: str
    count: int
    message: str

class SaveResult(TypedDict):
    width: int
    height: int
    diagnostics: list[Diagnostic]
    draw_ms: float
    save_ms: float

class Drawing:
    """An opened drawing; read-only, safe to render from several threads."""

    @property
    def format(self) -> str: ...
    @property
    def info(self) -> dict[str, Any]: ...
    @property
    def diagnostics(self) -> list[Diagnostic]: ...
    @property
    def layers(self) -> list[dict[str, Any]]: ...
    def texts(
        self,
        *,
        reference_file: _Path = ...,
        reference_folder: _Path = ...,
        layers: Optional[Sequence[int]] = ...,
        **options: Any,
    ) -> list[dict[str, Any]]: ...
    def picture_size(self, **options: Any) -> Tuple[int, int]: ...
    def render(
        self,
        *,
        dpi: float = ...,
        width: int = ...,
        height: int = ...,
        size: Tuple[int, int] = ...,
        max_pixels: int = ...,
        max_side: int = ...,
        margin: float = ...,
        background: _Background = ...,
        frame: bool = ...,
        fit: _Fit = ...,
        monochrome: bool = ...,
        auxiliary_lines: bool = ...,
        fonts_config: _Path = ...,
        reference_file: _Path = ...,
        reference_folder: _Path = ...,
        quality: Optional[int] = ...,
        threads: int = ...,
        rasteriser: _Rasteriser = ...,
        layers: Optional[Sequence[int]] = ...,
    ) -> numpy.typing.NDArray[numpy.uint8]: ...
    def save(self, path: _Path, format: Optional[str] = None, **options: Any) -> SaveResult: ...
    def encode(self, format: str, **options: Any) -> bytes: ...

def open(path: _Path, format: Optional[str] = None) -> Drawing: ...
def open_bytes(data: bytes, format: Optional[str] = None, name: str = "") -> Drawing: ...
def convert(
    source: _Path,
    destination: _Path,
    format: Optional[str] = None,
    source_format: Optional[str] = None,
    **options: Any,
) -> SaveResult: ...
def output_type_of(name: str) -> Optional[str]: ...
def format_of(name: str) -> Optional[str]: ...
def _set_default_fonts_config(path: str) -> None: ...

"""zumen: turns Japanese CAD drawings (JWW, JWS, JWC, JWK, K4) into pictures.

    import zumen
    d = zumen.open("plan.jww")
    d.info["title"]
    pixels = d.render(dpi=150)          # numpy uint8 array, height x width x 4 (RGBA)
    d.save("plan.png", size=(1600, 1131))
    zumen.convert("plan.jww", "plan.pdf", monochrome=True)

The drawing functions come from the compiled extension zumen._zumen; many
drawings at once, on one machine or a Dask cluster: zumen.batch.
"""

import os as _os

from ._zumen import (
    Drawing,
    Error,
    __version__,
    convert,
    format_of,
    formats,
    open,
    open_bytes,
    output_type_of,
    output_types,
)
from ._zumen import _set_default_fonts_config

__all__ = [
    "Drawing",
    "Error",
    "__version__",
    "convert",
    "format_of",
    "formats",
    "open",
    "open_bytes",
    "output_type_of",
    "output_types",
]


def _default_fonts_config():
    """The font rules drawings are drawn with when a call names none: those
    that ZUMEN_FONTS_CONF names, as for the command line, else the ones the
    package carries beside the extension."""
    named = _os.environ.get("ZUMEN_FONTS_CONF")
    if named:
        return named
    carried = _os.path.join(_os.path.dirname(_os.path.abspath(__file__)), "zumen-fonts.conf")
    return carried if _os.path.isfile(carried) else ""


_set_default_fonts_config(_default_fonts_config())

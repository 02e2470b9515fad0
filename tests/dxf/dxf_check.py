#!/usr/bin/python3
"""Checks of zumen's DXF files with ezdxf (Debian's python3-ezdxf).

  dxf_check.py audit FILE
      Reads FILE strictly and audits it; prints "errors N fixes M" and every
      error; exit status 1 when there is an error.
  dxf_check.py dump FILE
      Prints a JSON object: the layers (name, off, frozen, locked, colour),
      the line types (name, pattern), the texts (TEXT and MTEXT) of model space and of
      every block (plain text, style, font family, height, insert, rotation), the
      counts of entity kinds in model space and in blocks, the blocks with
      their INSERTs, the groups (description, members) and the header
      variables $INSUNITS, $MEASUREMENT.
  dxf_check.py coverage FILE PNG X1 Y1 X2 Y2 SCALE [OUT.png]
      Renders FILE with ezdxf's drawing add-on (matplotlib, Agg) over the
      window X1..X2 x Y1..Y2 (drawing units; SCALE drawing millimetres to a
      millimetre of paper, for the lineweights) at the pixel size of PNG, the
      picture zumen drew of the same window, and prints the share of PNG's
      dark pixels that have a dark pixel within two pixels in the DXF's
      picture: "coverage 0.987 dark 12345". OUT.png keeps the DXF picture, and
      OUT.uncovered.png shows zumen's dark pixels that the DXF's picture does
      not cover in red (covered ones grey, the DXF's ink blue).

Exit status 77 when ezdxf or matplotlib is missing (the test then skips).
"""
import json
import sys

try:
    import ezdxf
    from ezdxf import recover  # noqa: F401
except ImportError:
    sys.exit(77)


def audit(path):
    doc = ezdxf.readfile(path)
    auditor = doc.audit()
    print("errors", len(auditor.errors), "fixes", len(auditor.fixes))
    for e in auditor.errors:
        print("error:", e.message)
    for e in auditor.fixes:
        print("fix:", e.message)
    return 1 if auditor.has_errors else 0


def text_record(e, doc):
    """A TEXT or an MTEXT: its plain text and placement (MTEXT also its raw
    content and attachment point)."""
    style = doc.styles.get(e.dxf.style) if e.dxf.hasattr("style") else None
    family = ""
    if style is not None and style.has_extended_font_data:
        family = style.get_extended_font_data()[0]
    rec = {
        "type": e.dxftype(),
        "text": e.plain_text(),
        "layer": e.dxf.layer,
        "style": e.dxf.style,
        "family": family,
        "font": style.dxf.font if style is not None else "",
        "insert": list(e.dxf.insert)[:2],
        "true_color": e.dxf.true_color if e.dxf.hasattr("true_color") else None,
        "color": e.dxf.color,
    }
    if e.dxftype() == "MTEXT":
        rec.update(content=e.text, height=e.dxf.char_height, width=e.dxf.width,
                   rotation=e.get_rotation(), attachment=e.dxf.attachment_point)
    else:
        rec.update(height=e.dxf.height, width=e.dxf.width, rotation=e.dxf.rotation,
                   align=list(e.dxf.align_point)[:2] if e.dxf.hasattr("align_point") else None,
                   halign=e.dxf.halign, mirror=e.dxf.text_generation_flag)
    return rec


def pattern(ltype):
    """The elements of a line type as written (group code 49)."""
    tags = ltype.pattern_tags.tags
    return [t.value for t in tags if t.code == 49] if tags else []


def dump(path):
    doc = ezdxf.readfile(path)
    out = {
        "insunits": doc.header.get("$INSUNITS"),
        "measurement": doc.header.get("$MEASUREMENT"),
        "acadver": doc.header.get("$ACADVER"),
        "layers": [
            {
                "name": l.dxf.name,
                "off": l.is_off(),
                "frozen": l.is_frozen(),
                "locked": l.is_locked(),
                "color": l.dxf.color,
            }
            for l in doc.layers
        ],
        "linetypes": [{"name": lt.dxf.name, "pattern": pattern(lt)} for lt in doc.linetypes],
        "texts": [],
        "kinds": {},
        "block_kinds": {},
        "blocks": {},
        "entities": [],
    }
    msp = doc.modelspace()
    # Groups: their description and the texts of their members in order.
    out["groups"] = [
        {
            "description": g.dxf.description,
            "members": [e.dxftype() for e in g],
            "texts": [e.plain_text() for e in g if e.dxftype() in ("TEXT", "MTEXT")],
        }
        for _, g in doc.groups
    ]
    for e in msp:
        out["kinds"][e.dxftype()] = out["kinds"].get(e.dxftype(), 0) + 1
        rec = {"type": e.dxftype(), "layer": e.dxf.layer}
        for attr in ("linetype", "lineweight", "true_color", "color", "ltscale"):
            if e.dxf.hasattr(attr):
                rec[attr] = e.dxf.get(attr)
        if e.dxftype() in ("TEXT", "MTEXT"):
            out["texts"].append(text_record(e, doc))
        if e.dxftype() == "INSERT":
            rec.update(name=e.dxf.name, insert=list(e.dxf.insert)[:2], xscale=e.dxf.xscale,
                       yscale=e.dxf.yscale, rotation=e.dxf.rotation)
        if e.dxftype() == "DIMENSION":
            rec.update(block=e.dxf.geometry, text=e.dxf.text, measurement=e.dxf.get("actual_measurement"))
        if e.dxftype() in ("LINE",):
            rec.update(start=list(e.dxf.start)[:2], end=list(e.dxf.end)[:2])
        if e.dxftype() in ("CIRCLE", "ARC"):
            rec.update(center=list(e.dxf.center)[:2], radius=e.dxf.radius)
            if e.dxftype() == "ARC":
                rec.update(start_angle=e.dxf.start_angle, end_angle=e.dxf.end_angle)
        if e.dxftype() == "ELLIPSE":
            rec.update(center=list(e.dxf.center)[:2], major=list(e.dxf.major_axis)[:2], ratio=e.dxf.ratio,
                       start=e.dxf.start_param, end=e.dxf.end_param)
        if e.dxftype() == "HATCH":
            rec.update(solid=bool(e.dxf.solid_fill), pattern=e.dxf.pattern_name,
                       gradient=e.gradient is not None, loops=len(e.paths))
        if e.dxftype() == "SPLINE":
            rec.update(control=[list(p)[:2] for p in e.control_points], degree=e.dxf.degree)
        if e.dxftype() == "IMAGE":
            rec.update(file=e.image_def.dxf.filename, size=list(e.dxf.image_size)[:2],
                       insert=list(e.dxf.insert)[:2], u=list(e.dxf.u_pixel)[:2], v=list(e.dxf.v_pixel)[:2],
                       clip=[list(p)[:2] for p in e.boundary_path] if e.dxf.flags & 4 else None)
        out["entities"].append(rec)
    for block in doc.blocks:
        if block.name.lower() in ("*model_space", "*paper_space"):
            continue
        items = []
        for e in block:
            out["block_kinds"][e.dxftype()] = out["block_kinds"].get(e.dxftype(), 0) + 1
            if e.dxftype() in ("TEXT", "MTEXT"):
                out["texts"].append(dict(text_record(e, doc), block=block.name))
            if e.dxftype() == "INSERT":
                items.append({"insert": e.dxf.name, "xscale": e.dxf.xscale, "yscale": e.dxf.yscale,
                              "rotation": e.dxf.rotation})
            else:
                items.append({"type": e.dxftype(), "layer": e.dxf.layer})
        out["blocks"][block.name] = items
    print(json.dumps(out, ensure_ascii=False))
    return 0


def use_ipa_fonts():
    """Japanese families draw with the IPA fonts, as zumen's own font rules do."""
    from ezdxf.tools import fonts

    import matplotlib.font_manager as fm

    ipa = {}
    for f in fm.fontManager.ttflist:
        if f.name in ("IPAGothic", "IPAPGothic", "IPAMincho", "IPAPMincho"):
            ipa[f.name] = fonts.FontFace(ttf=f.fname.rsplit("/", 1)[-1], family=f.name)
    if not ipa:
        return
    gothic = ipa.get("IPAGothic") or next(iter(ipa.values()))

    def pick(name):
        name = (name or "").lstrip("@")
        mincho = "明朝" in name or "mincho" in name.lower()
        prop = "Ｐ" in name or "P" in name[:4] or "UI" in name
        key = ("IPAP" if prop else "IPA") + ("Mincho" if mincho else "Gothic")
        return ipa.get(key, gothic)

    original_get = fonts.get_font_face
    original_find = fonts.find_font_face_by_family

    def get_font_face(ttf_path, map_shx=True):
        if ttf_path and ttf_path.lower().startswith(("msgothic", "msmincho")):
            return pick("mincho" if "mincho" in ttf_path.lower() else "gothic")
        return original_get(ttf_path, map_shx)

    def find_by_family(family, italic=False, bold=False):
        found = original_find(family, italic, bold)
        return found if found is not None and found.family == family else pick(family)

    fonts.get_font_face = get_font_face
    fonts.find_font_face_by_family = find_by_family


def apply_tracking(doc):
    """ezdxf draws MTEXT without its tracking (\\T): a spaced MTEXT becomes
    one TEXT per character, every advance stretched by the tracking, as a
    reader that honours it sets the characters (full-width ones a cell of
    height / 0.75 times the width factor, half-width ones half of it)."""
    import math
    import re

    code = re.compile(r"^\\T([0-9.eE+-]+);(?:\\W([0-9.eE+-]+);)?((?:\\[LK])*)")
    for layout in [doc.modelspace()] + [b for b in doc.blocks]:
        for e in list(layout.query("MTEXT")):
            m = code.match(e.text)
            if not m:
                continue
            tracking = float(m.group(1))
            wf = float(m.group(2)) if m.group(2) else 1.0
            cap = e.dxf.char_height
            angle = math.radians(e.get_rotation())
            x, y = e.dxf.insert[0], e.dxf.insert[1]
            for c in e.plain_text():
                try:
                    full = len(c.encode("cp932")) == 2
                except UnicodeEncodeError:
                    full = True
                if not c.isspace():
                    t = layout.add_text(c, dxfattribs={"style": e.dxf.style, "height": cap, "width": wf,
                                                       "rotation": e.get_rotation(), "layer": e.dxf.layer,
                                                       "color": e.dxf.color})
                    if e.dxf.hasattr("true_color"):
                        t.dxf.true_color = e.dxf.true_color
                    t.dxf.insert = (x, y)
                adv = cap / 0.75 * wf * (1 if full else 0.5) * tracking
                x += adv * math.cos(angle)
                y += adv * math.sin(angle)
            layout.delete_entity(e)


def render(path, width, height, window, out_png=None):
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    import numpy as np
    from ezdxf.addons.drawing import Frontend, RenderContext
    from ezdxf.addons.drawing.config import Configuration, LinePolicy
    from ezdxf.addons.drawing.matplotlib import MatplotlibBackend

    use_ipa_fonts()
    doc = ezdxf.readfile(path)
    apply_tracking(doc)
    x1, y1, x2, y2 = window[:4]
    # Lineweights are millimetres of paper: at this resolution one paper
    # millimetre is as many pixels as in zumen's picture.
    dpi = 100.0
    fig = plt.figure(figsize=(width / dpi, height / dpi), dpi=dpi)
    ax = fig.add_axes([0, 0, 1, 1])
    ax.set_axis_off()
    from ezdxf.addons.drawing.properties import LayoutProperties

    ctx = RenderContext(doc)
    msp = doc.modelspace()
    ctx.set_current_layout(msp)
    # Black ink on white paper, as zumen draws.
    layout_properties = LayoutProperties.from_layout(msp)
    layout_properties.set_colors("#ffffff")
    px_per_unit = width / (x2 - x1)
    paper_scale = float(window[4]) if len(window) > 4 else 1.0
    px_per_paper_mm = px_per_unit * paper_scale
    # 1 point = dpi / 72 pixels; a lineweight of w mm is w * px_per_paper_mm pixels.
    lw_scaling = px_per_paper_mm * 72.0 / dpi / (72.0 / 25.4)
    config = Configuration.defaults().with_changes(
        line_policy=LinePolicy.ACCURATE, lineweight_scaling=lw_scaling, min_lineweight=72.0 / dpi,
        pdsize=0.0001)
    backend = MatplotlibBackend(ax, adjust_figure=False)
    Frontend(ctx, backend, config=config).draw_layout(msp, finalize=False, layout_properties=layout_properties)
    ax.set_xlim(x1, x2)
    ax.set_ylim(y1, y2)
    ax.set_aspect("auto")
    fig.canvas.draw()
    rgba = np.asarray(fig.canvas.buffer_rgba())[:, :, :3].copy()
    if out_png:
        plt.imsave(out_png, rgba)
    plt.close(fig)
    return rgba


def dark(rgb):
    import numpy as np

    # Ink: anything clearly off the white background (yellow and cyan pens count).
    return np.asarray(rgb)[:, :, :3].min(axis=2) < 200


def plt_imsave(path, rgb):
    import matplotlib.pyplot as plt

    plt.imsave(path, rgb)


def coverage(path, png, x1, y1, x2, y2, paper_scale, out_png=None):
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.image as mpimg
    import numpy as np

    ref = mpimg.imread(png)
    if ref.dtype != np.uint8:
        ref = (ref * 255).astype(np.uint8)
    height, width = ref.shape[0], ref.shape[1]
    pic = render(path, width, height, (x1, y1, x2, y2, paper_scale), out_png)
    if pic.shape[0] != height or pic.shape[1] != width:
        print("size", pic.shape, ref.shape)
        return 2
    a = dark(ref)
    b = dark(pic)
    # b dilated by two pixels (a 5 x 5 square).
    grown = np.zeros_like(b)
    for dy in range(-2, 3):
        for dx in range(-2, 3):
            shifted = np.zeros_like(b)
            ys = slice(max(dy, 0), height + min(dy, 0))
            yd = slice(max(-dy, 0), height + min(-dy, 0))
            xs = slice(max(dx, 0), width + min(dx, 0))
            xd = slice(max(-dx, 0), width + min(-dx, 0))
            shifted[yd, xd] = b[ys, xs]
            grown |= shifted
    n = int(a.sum())
    covered = int((a & grown).sum())
    if out_png:
        # Where the DXF falls short: zumen's dark pixels that are covered in
        # light grey, those that are not in red, the DXF's own ink in blue.
        diff = np.full((height, width, 3), 255, np.uint8)
        diff[b] = (150, 170, 255)
        diff[a & grown] = (190, 190, 190)
        diff[a & ~grown] = (255, 0, 0)
        plt_imsave(out_png[:-4] + ".uncovered.png", diff)
    share = covered / n if n else 1.0
    print("coverage %.4f dark %d" % (share, n))
    return 0


def main(argv):
    if len(argv) < 3:
        print(__doc__)
        return 2
    cmd, path = argv[1], argv[2]
    if cmd == "audit":
        return audit(path)
    if cmd == "dump":
        return dump(path)
    if cmd == "coverage":
        try:
            import matplotlib  # noqa: F401
            import numpy  # noqa: F401
        except ImportError:
            return 77
        x1, y1, x2, y2 = (float(v) for v in argv[4:8])
        paper_scale = float(argv[8]) if len(argv) > 8 else 1.0
        out_png = argv[9] if len(argv) > 9 else None
        return coverage(path, argv[3], x1, y1, x2, y2, paper_scale, out_png)
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))

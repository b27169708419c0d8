#!/usr/bin/python3
"""brindle export checked by independent readers.

Debian's ezdxf reads every export of the drawings given (both DXF versions,
full size and sheet size, before and after conversion, blocks kept and
exploded); its audit must find no error, and what it reads must equal what
`brindle dump` says of the same drawing: entity kinds and counts, coordinates
(1e-6), layer names, text strings. The expectations come from the dump and
from ezdxf's own reading of INSERTs, never from the exporter. The picture
that ezdxf's drawing add-on makes of the DXF must put its ink where
`brindle draw` puts it.

  dxf_check.py BIN_DIR OUT_DIR DRAWING...      counts, coordinates, texts, audit
  dxf_check.py --ink BIN_DIR OUT_DIR DRAWING   ink against brindle draw, in sheet millimetres
  dxf_check.py --librecad BIN_DIR OUT_DIR DRAWING
"""
import math
import os
import re
import subprocess
import sys

import ezdxf
from ezdxf.math import Matrix44

FIELD = re.compile(r'([A-Za-z_][\w.]*)=("(?:[^"\\]|\\.)*"|\S+)')
KINDS = {"Line": "LINE", "Ten": "POINT", "Moji": "TEXT", "Sunpo": "DIMENSION",
         "Block": "INSERT"}
TOL = 1e-6


def unquote(v):
    if not v.startswith('"'):
        try:
            return float(v)
        except ValueError:
            return v
    out, i, s = [], 0, v[1:-1]
    while i < len(s):
        c = s[i]
        if c == "\\":
            n = s[i + 1]
            if n == "u":
                out.append(chr(int(s[i + 2:i + 6], 16)))
                i += 6
                continue
            if n == "x":
                out.append(chr(int(s[i + 2:i + 4], 16)))
                i += 4
                continue
            out.append({"n": "\n", "r": "\r", "t": "\t"}.get(n, n))
            i += 2
            continue
        out.append(c)
        i += 1
    return "".join(out)


def record(line):
    parts = line.split(None, 2)
    fields = {k: unquote(v) for k, v in FIELD.findall(parts[2] if len(parts) > 2 else "")}
    return parts[1], fields


class Drawing:
    """What `brindle dump` says of one drawing."""

    def __init__(self, text):
        self.scales, self.layers, self.entities, self.defs = [1.0] * 16, [""] * 256, [], []
        self.groups, self.sheet_code = [{} for _ in range(16)], 3
        section = None
        for line in text.splitlines():
            if line.startswith("["):
                section = line.strip("[]")
                continue
            if section == "header" and line.startswith("Enthd nZumen="):
                self.sheet_code = int(line.split("=")[1])
            if section == "EntLgrp" and line.startswith("EntLgrp["):
                g = int(line[8:line.index("]")])
                f = dict((k, unquote(v)) for k, v in FIELD.findall(line))
                self.scales[g] = f["adScale"] if f["adScale"] > 0 else 1.0
                self.groups[g] = f
            elif section == "EntLay" and line.startswith("EntLay["):
                i = int(line[7:line.index("]")])
                self.layers[i] = dict((k, unquote(v)) for k, v in FIELD.findall(line))
            elif section == "entities" and line.startswith("#"):
                self.entities.append(record(line))
            elif section == "blockdefs":
                if line.startswith("BlockDef["):
                    f = dict((k, unquote(v)) for k, v in FIELD.findall(line))
                    self.defs.append((f, []))
                elif line.startswith("  #"):
                    self.defs[-1][1].append(record(line.strip()))

    def layer_name(self, att):
        g, l = min(int(att["att.nGLayer"]), 15), min(int(att["att.nLayer"]), 15)
        name = clean(self.layers[g * 16 + l]["aStrLayName"])
        return f"{g:X}-{l:X}" + (f" {name}" if name else "")


def clean(name):
    return re.sub(r'[<>/\\":;?*|=`,\x00-\x1f]', "_", name).rstrip(" ")


def block_names(jw):
    """The BLOCK names the definitions should have, in their order."""
    names, taken = [], set()
    for f, _ in jw.defs:
        base = clean(f["strName"]).lstrip("*") or f"JWW_BLOCK_{int(f['nNumber'])}"
        name, k = base, 2
        while name in taken:
            name, k = f"{base}~{k}", k + 1
        taken.add(name)
        names.append(name)
    return names


def kind_of(kind, f, prefix=""):
    """The DXF entity type a record becomes, None when it is not exported."""
    if kind == "Enko":
        if abs(abs(f[prefix + "dHenpeiRitsu"]) - 1) > 1e-12:
            return "ELLIPSE"
        return "CIRCLE" if f[prefix + "bZenEnFlg"] else "ARC"
    if kind == "Solid":
        return "HATCH" if f["att.nPenStyle"] >= 101 else "SOLID"
    if kind == "Moji":
        s = f["str"]
        if s and image_text(s):
            return "IMAGE"
        if not s:
            return None
    return KINDS.get(kind)


def image_text(s):
    """A picture's file name, width, height and turn (degrees) from an image text
    "^@BM<name>,<width>[,<height>,<3 more>,<turn>]", None for other texts."""
    if not s.startswith("^@BM") or "," not in s:
        return None
    name, _, rest = s[4:].partition(",")
    values = [float(v) if v.strip() else 0.0 for v in rest.split(",")]
    width = values[0]
    height = values[1] if len(values) > 1 else width
    turn = values[5] if len(values) > 5 else 0.0
    return name, width, height, turn


def check_image(e, f, k, what, dxf_path):
    """An IMAGE against its image text; its picture file beside the DXF, of its size."""
    from PIL import Image
    _, width, height, turn = image_text(f["str"])
    near(e.dxf.insert.x, f["start_x"] * k, what)
    near(e.dxf.insert.y, f["start_y"] * k, what)
    px, py = e.dxf.image_size.x, e.dxf.image_size.y
    a = math.radians(turn)
    u, v = e.dxf.u_pixel * px, e.dxf.v_pixel * py
    for got, want in ((u.x, width * k * math.cos(a)), (u.y, width * k * math.sin(a)),
                      (v.x, -height * k * math.sin(a)), (v.y, height * k * math.cos(a))):
        near(got, want, what)
    picture = os.path.join(os.path.dirname(dxf_path), e.image_def.dxf.filename)
    if not os.path.isfile(picture):
        raise AssertionError(f"{what}: picture {picture} is missing")
    with Image.open(picture) as im:
        if im.size != (px, py):
            raise AssertionError(f"{what}: {picture} is {im.size}, the IMAGE says {(px, py)}")


def near(a, b, what, tol=TOL):
    if abs(a - b) > tol * max(1.0, abs(b)):
        raise AssertionError(f"{what}: {a!r} in the DXF, {b!r} expected")


def check_entity(e, kind, f, k, layer, where, dxf_path):
    """One DXF entity against its JWW record, coordinates times k."""
    what = f"{where} {e.dxftype()}"
    if layer is not None and e.dxf.layer != layer:
        raise AssertionError(f"{what}: layer {e.dxf.layer!r}, {layer!r} expected")
    if e.dxftype() == "IMAGE":
        check_image(e, f, k, what, dxf_path)
    elif kind == "Line":
        near(e.dxf.start.x, f["start_x"] * k, what)
        near(e.dxf.start.y, f["start_y"] * k, what)
        near(e.dxf.end.x, f["end_x"] * k, what)
        near(e.dxf.end.y, f["end_y"] * k, what)
    elif kind == "Ten":
        near(e.dxf.location.x, f["start_x"] * k, what)
        near(e.dxf.location.y, f["start_y"] * k, what)
    elif kind == "Enko":
        near(e.dxf.center.x, f["start_x"] * k, what)
        near(e.dxf.center.y, f["start_y"] * k, what)
        if e.dxftype() == "ELLIPSE":
            major = abs(f["dHankei"]) * max(1, abs(f["dHenpeiRitsu"])) * k
            near(e.dxf.major_axis.magnitude, major, what)
        else:
            near(e.dxf.radius, abs(f["dHankei"]) * k, what)
    elif kind == "Moji":
        if e.dxf.text != f["str"]:
            raise AssertionError(f"{what}: text {e.dxf.text!r}, {f['str']!r} expected")
        near(e.dxf.height, (abs(f["dSizeY"]) or abs(f["dSizeX"]) or 1) * k, what)
        if not int(f["att.sFlg"]) & 0x20:
            near(e.dxf.insert.x, f["start_x"] * k, what)
            near(e.dxf.insert.y, f["start_y"] * k, what)
    elif kind == "Sunpo":
        if e.dxf.text != f["Moji.str"]:
            raise AssertionError(f"{what}: text {e.dxf.text!r}, {f['Moji.str']!r} expected")
        near(e.dxf.defpoint2.x, f["Sen.start_x"] * k, what)
        near(e.dxf.defpoint3.y, f["Sen.end_y"] * k, what)
    elif kind == "Solid" and e.dxftype() == "SOLID":
        # SOLID's corners run 1, 2, 4, 3.
        for i, (x, y) in enumerate([("start_x", "start_y"), ("end_x", "end_y"),
                                    ("DPoint3_x", "DPoint3_y"), ("DPoint2_x", "DPoint2_y")]):
            p = e.dxf.get(f"vtx{i}")
            near(p.x, f[x] * k, what)
            near(p.y, f[y] * k, what)
    elif kind == "Block":
        near(e.dxf.insert.x, f["DPKijunTen_x"] * k, what)
        near(e.dxf.insert.y, f["DPKijunTen_y"] * k, what)
        near(e.dxf.xscale, f["dBairitsuX"] * k, what)
        near(e.dxf.yscale, f["dBairitsuY"] * k, what)


def exported(records):
    return [(kind, f) for kind, f in records if kind_of(kind, f)]


def check_list(entities, records, scale_of, layer_of, where, dxf_path):
    records = exported(records)
    got = [e.dxftype() for e in entities]
    want = [kind_of(kind, f) for kind, f in records]
    if got != want:
        from collections import Counter
        raise AssertionError(f"{where}: kinds {dict(Counter(got))}, {dict(Counter(want))} expected")
    for e, (kind, f) in zip(entities, records):
        check_entity(e, kind, f, scale_of(f), layer_of(f), where, dxf_path)


def check_viewports(doc, jw, sheet, where):
    """The layout's own viewport (id 1) and one onto the model at the sheet's size,
    whose view shows the sheet: at the scale most entities are drawn at (the
    lowest group's on a tie), or 1:1 in sheet millimetres."""
    px, py = SHEETS.get(jw.sheet_code, SHEETS[0])
    counts = {}
    for _, f in jw.entities:
        s = jw.scales[min(int(f["att.nGLayer"]), 15)]
        counts[s] = counts.get(s, 0) + 1
    scale = 1.0
    if not sheet:
        best = max(counts.values(), default=0)
        scale = next((s for s in jw.scales if counts.get(s, 0) == best), jw.scales[0])
    ports = sorted(doc.layout("Layout1").query("VIEWPORT"), key=lambda v: v.dxf.id)
    if [v.dxf.id for v in ports] != [1, 2]:
        raise AssertionError(f"{where}: viewports {[v.dxf.id for v in ports]}, [1, 2] expected")
    model = ports[1]
    near(model.dxf.width, px, f"{where} viewport width")
    near(model.dxf.height, py, f"{where} viewport height")
    near(model.dxf.view_height, py * scale, f"{where} viewport view height")
    near(model.dxf.view_center_point.x, 0, f"{where} viewport view centre")


def expanded(entities, layer=None, depth=0):
    """Entities with every INSERT resolved by ezdxf itself (layer 0 takes the INSERT's)."""
    for e in entities:
        if e.dxftype() == "INSERT":
            yield from expanded(list(e.virtual_entities()), e.dxf.layer, depth + 1)
            continue
        if layer is not None and e.dxf.layer == "0":
            e.dxf.layer = layer
        yield e


def points_of(e):
    # World coordinates: ezdxf turns a mirrored arc over (extrusion -z).
    t = e.dxftype()
    if t == "LINE":
        return [e.dxf.start, e.dxf.end]
    if t == "POINT":
        return [e.dxf.location]
    if t in ("CIRCLE", "ARC"):
        return [e.ocs().to_wcs(e.dxf.center)]
    if t == "ELLIPSE":
        return [e.dxf.center]
    if t == "IMAGE":
        return [e.dxf.insert]
    # A mirrored text is mirrored by DXF and turned by Jw_cad: only its
    # string is compared.
    return []


def signature(entities):
    rows = []
    for e in entities:
        pts = tuple((round(p.x, 4), round(p.y, 4)) for p in points_of(e))
        rows.append((e.dxftype(), e.dxf.layer, pts, e.dxf.text if e.dxftype() == "TEXT" else ""))
    return sorted(rows)


def run(*args):
    return subprocess.run(list(args), check=True, capture_output=True, text=True).stdout


def read_checked(path, version):
    doc = ezdxf.readfile(path)
    auditor = doc.audit()
    if auditor.has_errors:
        raise AssertionError(f"{path}: ezdxf audit: " +
                             "; ".join(str(e.message) for e in auditor.errors))
    if doc.dxfversion != {"R2000": "AC1015", "R2018": "AC1032"}[version]:
        raise AssertionError(f"{path}: version {doc.dxfversion}")
    if version == "R2000":
        if doc.header["$DWGCODEPAGE"] != "ANSI_932" or doc.encoding != "cp932":
            raise AssertionError(f"{path}: code page {doc.header['$DWGCODEPAGE']}")
    if doc.header["$INSUNITS"] != 4:
        raise AssertionError(f"{path}: $INSUNITS {doc.header['$INSUNITS']}")
    return doc


def check_corpus(bindir, out, drawings):
    brindle = os.path.join(bindir, "brindle")
    # No real drawing carries pictures: one made by brindle-samples does.
    pictures = os.path.join(out, "pictures")
    run(os.path.join(bindir, "brindle-samples"), pictures, "--pictures")
    drawings = drawings + [os.path.join(pictures, "pictures.jww")]
    converted = os.path.join(out, "converted")
    os.makedirs(converted, exist_ok=True)
    run(brindle, "convert", "-q", "-o", converted, *drawings)
    after = {d: os.path.join(converted, os.path.basename(d)) for d in drawings}
    dumps = {}
    for d in drawings:
        dumps[(d, False)] = Drawing(run(brindle, "dump", d))
        dumps[(d, True)] = Drawing(run(brindle, "dump", after[d]))
    checked = 0
    for stage in (False, True):
        for version in ("R2000", "R2018"):
            for sheet in (False, True):
                for explode in (False, True):
                    name = f"{'after' if stage else 'before'}-{version}-{'sheet' if sheet else 'full'}" \
                           f"{'-exploded' if explode else ''}"
                    folder = os.path.join(out, name)
                    args = [brindle, "export", "-q", "--force", "--dxf", version, "-o", folder]
                    args += ["--after"] * stage + ["--sheet"] * sheet + ["--explode"] * explode
                    run(*args, *drawings)
                    for d in drawings:
                        path = os.path.join(folder, os.path.splitext(os.path.basename(d))[0] + ".dxf")
                        jw = dumps[(d, stage)]
                        doc = read_checked(path, version)
                        msp = list(doc.modelspace())
                        scale = (lambda f, jw=jw: 1.0) if sheet else \
                            (lambda f, jw=jw: jw.scales[min(int(f["att.nGLayer"]), 15)])
                        if explode and not jw.defs:
                            continue  # nothing to explode: the same file as without
                        if explode:
                            # ezdxf resolves the INSERTs of the unexploded export itself.
                            blocks = os.path.join(out, name[:-len("-exploded")],
                                                  os.path.basename(path))
                            want = signature(expanded(list(ezdxf.readfile(blocks).modelspace())))
                            if signature(msp) != want:
                                raise AssertionError(f"{path}: exploded geometry differs from "
                                                     "ezdxf's reading of the INSERTs")
                        else:
                            check_list(msp, jw.entities, scale, jw.layer_name, path, path)
                            check_viewports(doc, jw, sheet, path)
                            for name, (f, members) in zip(block_names(jw), jw.defs):
                                found = [b for b in doc.blocks
                                         if b.name in (name, name + "$OWN_LAYERS")]
                                if not found:
                                    raise AssertionError(f"{path}: no block {name!r}")
                                for block in found:
                                    check_list(list(block), members, lambda f: 1.0,
                                               lambda f: None, f"{path} block {block.name}", path)
                        checked += 1
    check_export_record(brindle, out, drawings[-1])
    print(f"{checked} exports of {len(drawings)} drawings read, audited and compared")


def check_export_record(brindle, out, drawing):
    """export's JSON record and summary speak of an export; a second export
    without --force replaces neither the DXF nor its pictures."""
    import json
    folder = os.path.join(out, "record")
    args = [brindle, "export", "--json", "-o", folder, drawing]
    first = subprocess.run(args + ["--force"], capture_output=True, text=True)
    record = json.loads(first.stdout.splitlines()[0])
    pictures = os.path.join(folder, os.path.splitext(os.path.basename(drawing))[0] + "_images")
    written = sorted(os.listdir(pictures))
    if (first.returncode, record["result"], record["pictures"], len(written)) != (0, "exported",
                                                                                 2, 2):
        raise AssertionError(f"export --json: {first.returncode} {record} {written}")
    if "1 exported, 0 failed" not in first.stderr or "2 pictures written" not in first.stderr:
        raise AssertionError(f"export summary: {first.stderr!r}")
    dxf = record["output"]
    stamps = [os.stat(os.path.join(pictures, n)).st_mtime_ns for n in written]
    for in_the_way in ("the DXF", "a picture"):
        if in_the_way == "a picture":
            os.remove(dxf)
        again = subprocess.run(args, capture_output=True, text=True)
        if again.returncode != 1 or json.loads(again.stdout.splitlines()[0])["ok"]:
            raise AssertionError(f"export with {in_the_way} in the way: {again.stdout}")
    if os.path.exists(dxf):
        raise AssertionError("a DXF was written although its pictures were in the way")
    if [os.stat(os.path.join(pictures, n)).st_mtime_ns for n in written] != stamps:
        raise AssertionError("a picture was replaced without --force")


def japanese(bindir, out, drawing):
    """Japanese text read back from the bytes of both versions."""
    brindle = os.path.join(bindir, "brindle")
    jw = Drawing(run(brindle, "dump", drawing))
    texts = {f["str"] for kind, f in exported(jw.entities) if kind == "Moji"}
    jp = {t for t in texts if any(ord(c) > 0x3000 for c in t)}
    if not jp:
        raise AssertionError(f"{drawing}: no Japanese text to check")
    for version in ("R2000", "R2018"):
        path = os.path.join(out, f"jp-{version}.dxf")
        run(brindle, "export", "-q", "--force", "--dxf", version, drawing, "-o", path)
        raw = open(path, "rb").read()
        sample = sorted(jp)[0]
        wanted = sample.encode("cp932" if version == "R2000" else "utf-8")
        if wanted not in raw:
            raise AssertionError(f"{path}: {sample!r} is not in the file as {version} bytes")
        got = {e.dxf.text for e in ezdxf.readfile(path).modelspace().query("TEXT")}
        if not jp <= got:
            raise AssertionError(f"{path}: texts lost: {sorted(jp - got)[:3]}")
    print(f"{len(jp)} Japanese texts survive R2000 and R2018")


SHEETS = {0: (1189, 841), 1: (841, 594), 2: (594, 420), 3: (420, 297), 4: (297, 210),
          8: (1682, 1189), 9: (2378, 1682), 10: (3364, 2378), 11: (4756, 3364),
          12: (10000, 7071), 13: (50000, 35355), 14: (100000, 70711)}


def ink(bindir, out, drawing):
    """ezdxf's picture of the DXF against brindle draw's, same window, same pixels.

    Both are in millimetres on the sheet: the export with --sheet, and brindle
    draw, which puts drawing coordinates onto the sheet 1:1 in every layer
    group. The converted drawing's export is compared with the picture of the
    drawing before conversion, which the conversion must not move on the sheet.
    """
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    import numpy as np
    from ezdxf.addons.drawing import Frontend, RenderContext
    from ezdxf.addons.drawing.matplotlib import MatplotlibBackend
    from ezdxf.addons.drawing.properties import LayoutProperties

    brindle = os.path.join(bindir, "brindle")
    jw = Drawing(run(brindle, "dump", drawing))
    width = 1600
    # brindle draw shows the whole sheet with 1 % of its longer side around it
    # (the drawing lies on the sheet).
    px, py = SHEETS.get(jw.sheet_code, SHEETS[0])
    margin = 0.01 * max(px, py)
    x0, x1, y0, y1 = -px / 2 - margin, px / 2 + margin, -py / 2 - margin, py / 2 + margin
    ppm = width / (x1 - x0)
    height = math.ceil((y1 - y0) * ppm)
    results = []
    for stage in (False, True):
        tag = "after" if stage else "before"
        png = os.path.join(out, f"ink-{tag}-draw.png")
        dxf = os.path.join(out, f"ink-{tag}.dxf")
        run(brindle, "draw", "--force", "--width", str(width), drawing, "-o", png)
        args = ["--after", "--sheet"] if stage else ["--sheet"]
        run(brindle, "export", "-q", "--force", "--explode", *args, drawing, "-o", dxf)
        doc = ezdxf.readfile(dxf)
        # The drawing's Japanese fonts (MS ゴシック …) are not on this machine, as
        # they are not for brindle draw, which falls back to IPA Gothic: so does
        # ezdxf here, or it draws every character as an empty box.
        for style in doc.styles:
            style.dxf.font = "IPAGothic.ttf"
        fig = plt.figure(figsize=(width / 100, height / 100), dpi=100)
        ax = fig.add_axes([0, 0, 1, 1])
        ax.set_axis_off()
        ctx = RenderContext(doc)
        ctx.set_current_layout(doc.modelspace())
        props = LayoutProperties.from_layout(doc.modelspace())
        props.set_colors("#ffffff")
        Frontend(ctx, MatplotlibBackend(ax)).draw_layout(doc.modelspace(), finalize=False,
                                                         layout_properties=props)
        ax.set_xlim(x0, x1)
        ax.set_ylim(y0, y1)
        ax.set_aspect("auto")
        ours = os.path.join(out, f"ink-{tag}-ezdxf.png")
        fig.savefig(ours, dpi=100, facecolor="#ffffff")
        plt.close(fig)
        a = plt.imread(png)[:, :, :3]
        b = plt.imread(ours)[:, :, :3]
        h, w = min(a.shape[0], b.shape[0]), min(a.shape[1], b.shape[1])
        ia = a[:h, :w].min(axis=2) < 0.85
        ib = b[:h, :w].min(axis=2) < 0.85
        # The sheet frame is brindle draw's own, not the drawing's.
        frame = np.zeros_like(ia)
        fx0, fx1 = round((-px / 2 - x0) * ppm), round((px / 2 - x0) * ppm)
        fy0, fy1 = round((y1 - py / 2) * ppm), round((y1 + py / 2) * ppm)
        for r in range(-3, 4):
            frame[max(0, fy0 + r):fy0 + r + 1, :] = True
            frame[max(0, fy1 + r):fy1 + r + 1, :] = True
            frame[:, max(0, fx0 + r):fx0 + r + 1] = True
            frame[:, max(0, fx1 + r):fx1 + r + 1] = True
        ia &= ~frame
        ib &= ~frame

        def grown(m, n=3):
            g = m.copy()
            for dy in range(-n, n + 1):
                for dx in range(-n, n + 1):
                    g |= np.roll(np.roll(m, dy, 0), dx, 1)
            return g

        stray_a = (ia & ~grown(ib)).sum() / max(1, ia.sum())
        stray_b = (ib & ~grown(ia)).sum() / max(1, ib.sum())
        results.append((tag, ia.sum(), ib.sum(), stray_a, stray_b))
        print(f"{tag}: ink of brindle draw {ia.sum()} px, of ezdxf {ib.sum()} px; "
              f"{stray_a:.1%} of draw's ink and {stray_b:.1%} of ezdxf's lie where the other "
              "has none")
        if ia.sum() < 1000 or stray_a > 0.05 or stray_b > 0.05:
            raise AssertionError(f"{tag}: the pictures disagree ({png}, {ours})")


def librecad(bindir, out, drawing):
    """LibreCAD opens an export and prints it to PDF without complaint (a smoke test)."""
    brindle = os.path.join(bindir, "brindle")
    dxf = os.path.join(out, "librecad.dxf")
    run(brindle, "export", "-q", "--force", drawing, "-o", dxf)
    pdf = os.path.join(out, "librecad.pdf")
    if os.path.exists(pdf):
        os.remove(pdf)
    r = subprocess.run(["xvfb-run", "-a", "librecad", "dxf2pdf", "--fit", "-o", pdf, dxf],
                       capture_output=True, text=True, timeout=120)
    if r.returncode != 0 or not os.path.exists(pdf) or os.path.getsize(pdf) < 1000:
        raise AssertionError(f"librecad: status {r.returncode}\n{r.stdout}\n{r.stderr}")
    print(f"LibreCAD read {dxf} and printed it ({os.path.getsize(pdf)} bytes of PDF)")


def main(argv):
    mode = "corpus"
    if argv and argv[0].startswith("--"):
        mode = argv.pop(0)[2:]
    bindir, out, drawings = argv[0], argv[1], argv[2:]
    os.makedirs(out, exist_ok=True)
    if mode == "corpus":
        corpus = os.environ.get("BRINDLE_CORPUS")
        if corpus is None:
            print("BRINDLE_CORPUS is not set: only the bundled drawings are exported")
        elif not os.path.isdir(corpus):
            raise AssertionError(f"BRINDLE_CORPUS={corpus} is no folder")
        else:
            drawings += sorted(os.path.join(corpus, f) for f in os.listdir(corpus)
                               if f.lower().endswith(".jww"))
        check_corpus(bindir, out, drawings)
    elif mode == "japanese":
        japanese(bindir, out, drawings[0])
    elif mode == "ink":
        ink(bindir, out, drawings[0])
    elif mode == "librecad":
        librecad(bindir, out, drawings[0])
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except AssertionError as e:
        print(f"FAILED: {e}", file=sys.stderr)
        sys.exit(1)

#!/usr/bin/env python3
"""The pens and line types of every real DXF drawing of the shared corpus saved as JWW by
pelimator-batch, each JWW read with the test's own reader of the records (jww_records.py) and
each DXF with ezdxf, lines found by their ends in paper millimetres. Rows of each drawing:

- byblock: a LINE of a kept block coloured BYBLOCK takes the pen of the first model-space insert
  of its block (the JWW's CDataBlock record);
- block dashes: a kept block's line or polyline segment is a broken Jw_cad line type exactly
  when its linetype drawn through that insert has gaps (its own; BYLAYER its layer's, layer 0's
  the insert's layer's; BYBLOCK the insert's);
- greys: a model-space line or polyline segment whose colour is a grey (ACI 7, 8, 9, 250-255, by
  block, or a true colour with equal channels; its own, else its layer's) has a grey pen (equal
  channels in the JWW's pen table), and one of another colour a pen that is not grey;
- dashes: a model-space polyline segment (LWPOLYLINE, 2D POLYLINE) is a broken Jw_cad line type
  exactly when its linetype (its own, else its layer's) has gaps;
- fit: the box the board fits the JWW to (dxf_edit_probe extents) lies within the box of what
  the JWW's records draw (lines, arcs' circles, texts with their height, points, solids, block
  inserts through their definitions), give or take a hundredth of its size and the largest
  text's height: nothing that is not drawn (a nested block's insertion point far from what it
  draws) makes the converted drawing open small.

Usage: check_dxf_pens_to_jww.py PELIMATOR_BATCH DXF_EDIT_PROBE CORPUS OUT_DIR"""
import json
import math
import collections
import glob
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "jww"))
import check_report  # noqa: E402
import dxf_blocks_expected  # noqa: E402
import dxf_pens_expected  # noqa: E402
import ezdxf  # noqa: E402
import jww_gen  # noqa: E402
import jww_records  # noqa: E402

UNIT_MM = {0: 1.0, 1: 25.4, 2: 304.8, 4: 1.0, 5: 10.0, 6: 1000.0, 14: 100.0}
GREY_ACI = {0, 7, 8, 9, 250, 251, 252, 253, 254, 255}


def block_head(version, body):
    """A CDataList's number and name from its field bytes."""
    r = jww_records.Reader(body, version)
    for _name, kind in jww_gen.COMMON:
        if kind != "word@351" or version >= 351:
            getattr(r, "word" if kind == "word@351" else kind)()
    number = r.dw()
    r.dw()
    r.dw()
    raw = r.str()
    try:
        name = raw.decode("utf-16-le") if b"\x00" in raw else raw.decode("cp932")
    except UnicodeDecodeError:
        name = ""
    return number, name.upper()


def jww_lines(d):
    """Model space's CDataSen by ends -> [(pen colour, pen style)]; block definitions' by block
    name -> {ends: [pen colour]}; the first CDataBlock's pen colour by block number."""
    lines, blocks, insert_pen = collections.defaultdict(list), {}, {}
    for cls, body in d["records"]:
        f = jww_records.parse_fields(d["version"], cls, body)
        if cls == "CDataSen":
            ends = dxf_pens_expected.key((f["x1"], f["y1"]), (f["x2"], f["y2"]))
            lines[ends].append((f["m_nPenColor"], f["m_nPenStyle"]))
        elif cls == "CDataBlock":
            insert_pen.setdefault(f["number"], f["m_nPenColor"])
    current = None
    for kind, cls, body in d["blocks"]:
        if kind != "object":
            continue
        if cls == "CDataList":
            number, name = block_head(d["version"], body)
            current = blocks.setdefault(name, (number, collections.defaultdict(list)))[1]
        elif cls == "CDataSen" and current is not None:
            f = jww_records.parse_fields(d["version"], cls, body)
            current[dxf_pens_expected.key((f["x1"], f["y1"]), (f["x2"], f["y2"]))].append(
                (f["m_nPenColor"], f["m_nPenStyle"]))
    return lines, blocks, insert_pen


def has_gaps(doc, name):
    """Whether the linetype of that name has gaps (BYLAYER and BYBLOCK resolved before)."""
    ltype = doc.linetypes.get(name) if name.upper() not in ("BYBLOCK", "BYLAYER") else None
    if ltype is None or ltype.pattern_tags.tags is None:
        return False
    return any(t.code == 49 and t.value < 0 for t in ltype.pattern_tags.tags)


def layer_linetype(doc, name):
    layer = doc.layers.get(name)
    return layer.dxf.get("linetype", "CONTINUOUS") if layer is not None else "CONTINUOUS"


def block_dashed(doc, e, insert):
    """Whether a block's entity is dashed drawn through insert: its own linetype; BYLAYER its
    layer's (layer 0: the insert's layer's); BYBLOCK the insert's (BYLAYER: its layer's)."""
    name = e.dxf.get("linetype", "BYLAYER")
    if name.upper() == "BYBLOCK":
        name = insert.dxf.get("linetype", "BYLAYER")
        if name.upper() == "BYLAYER":
            name = layer_linetype(doc, insert.dxf.get("layer", "0"))
    elif name.upper() == "BYLAYER":
        layer = e.dxf.get("layer", "0")
        name = layer_linetype(doc, insert.dxf.get("layer", "0") if layer == "0" else layer)
    return has_gaps(doc, name)


def check_byblock(doc, blocks, insert_pen, factor):
    """byblock and block dashes rows of the LINEs of each kept block, through its first insert."""
    problems, checked = [], 0
    inserts, _names = dxf_blocks_expected.kept_inserts(doc)
    seen = set()
    for insert in inserts:
        name = insert.dxf.name.upper()
        if name in seen or name not in blocks:
            continue
        seen.add(name)
        number, lines = blocks[name]
        block = doc.blocks.get(insert.dxf.name)
        base = block.block.dxf.base_point
        for e, s, t in ((e, s, t) for e in block.query("LINE LWPOLYLINE POLYLINE")
                        for s, t in segments(e)):
            pens = lines.get(dxf_pens_expected.key(
                ((s[0] - base.x) * factor, (s[1] - base.y) * factor),
                ((t[0] - base.x) * factor, (t[1] - base.y) * factor)))
            if not pens:
                continue
            checked += 1
            dashed = block_dashed(doc, e, insert)
            if not any((style != 1) == dashed for _pen, style in pens):
                problems.append(f"block dashes: {e.dxftype()} {e.dxf.handle} of {name}: pens "
                                f"{pens}, dashed {dashed}")
            if e.dxftype() != "LINE" or e.dxf.get("color", 256) != 0 or e.dxf.hasattr(
                    "true_color"):
                continue
            if insert_pen.get(number) not in [pen for pen, _style in pens]:
                problems.append(f"byblock: line {e.dxf.handle} of {name}: pens {pens}, its "
                                f"insert's {insert_pen.get(number)}")
    return problems, checked


def grey(doc, e):
    """Whether e's colour (its own, else its layer's) is a grey."""
    if e.dxf.hasattr("true_color"):
        r, g, b = ezdxf.colors.int2rgb(e.dxf.true_color)
        return r == g == b
    aci = e.dxf.get("color", 256)
    if aci == 256:
        layer = doc.layers.get(e.dxf.get("layer", "0"))
        if layer is None:
            return True
        if layer.dxf.hasattr("true_color"):
            r, g, b = ezdxf.colors.int2rgb(layer.dxf.true_color)
            return r == g == b
        aci = abs(layer.dxf.get("color", 7))
    return aci in GREY_ACI


def segments(e):
    """A model-space line's or polyline's straight segments as pairs of (x, y)."""
    kind = e.dxftype()
    if kind == "LINE":
        return [((e.dxf.start.x, e.dxf.start.y), (e.dxf.end.x, e.dxf.end.y))]
    if tuple(e.dxf.get("extrusion", (0, 0, 1))) != (0, 0, 1):
        return []
    if kind == "LWPOLYLINE":
        points = [(x, y, b) for x, y, _s, _e, b in e.get_points("xyseb")]
        closed = e.closed
    elif kind == "POLYLINE" and e.is_2d_polyline:
        points = [(v.dxf.location.x, v.dxf.location.y, v.dxf.get("bulge", 0.0))
                  for v in e.vertices]
        closed = e.is_closed
    else:
        return []
    if closed and points:
        points.append(points[0])
    return [((a[0], a[1]), (b[0], b[1])) for a, b in zip(points, points[1:])
            if a[2] == 0.0 and (a[0], a[1]) != (b[0], b[1])]


def check_model_space(doc, lines, pen_rgb, factor):
    problems, figures = [], collections.Counter()
    for e in doc.modelspace():
        if e.dxftype() not in ("LINE", "LWPOLYLINE", "POLYLINE"):
            continue
        want_grey = grey(doc, e)
        want_dashed = dxf_pens_expected.dashed(doc, e)
        for s, t in segments(e):
            pens = lines.get(dxf_pens_expected.key((s[0] * factor, s[1] * factor),
                                                   (t[0] * factor, t[1] * factor)))
            if not pens:
                continue
            figures["greys" if want_grey else "colours"] += 1
            if not any((len(set(pen_rgb(p))) == 1) == want_grey for p, _style in pens):
                problems.append(f"greys: {e.dxftype()} {e.dxf.handle}: pens {pens}, grey "
                                f"{want_grey}")
            if e.dxftype() == "LINE":
                continue
            figures["segments"] += 1
            if not any((style != 1) == want_dashed for _pen, style in pens):
                problems.append(f"dashes: {e.dxftype()} {e.dxf.handle}: pens {pens}, dashed "
                                f"{want_dashed}")
    return problems, figures


class Boxes:
    """Boxes of what a JWW's records draw, block definitions through their inserts."""

    def __init__(self, d):
        self.d = d
        self.definitions = {}  # number -> [(class, fields)]
        self.done = {}
        self.text = 0.0
        current = None
        for kind, cls, body in d["blocks"]:
            if kind != "object":
                continue
            if cls == "CDataList":
                current = self.definitions.setdefault(block_head(d["version"], body)[0], [])
            elif current is not None:
                current.append((cls, jww_records.parse_fields(d["version"], cls, body)))

    def record(self, cls, f, depth=0):
        """[(x, y)] corners of what the record draws."""
        if cls == "CDataEnko":
            r = f["radius"] * max(1.0, f["flat"])
            return [(f["cx"] - r, f["cy"] - r), (f["cx"] + r, f["cy"] + r)]
        if cls == "CDataMoji":
            h = max(f["sizeX"], f["sizeY"])
            self.text = max(self.text, h)
            return [(x + dx, y + dy) for x, y in ((f["x1"], f["y1"]), (f["x2"], f["y2"]))
                    for dx in (-h, h) for dy in (-h, h)]
        if cls == "CDataSunpou":
            return [p for k in ("line", "text", "aux1", "aux2", "p1", "p2", "p3", "p4") if k in f
                    for p in self.record({"line": "CDataSen", "text": "CDataMoji"}.get(
                        k, "CDataSen" if k.startswith("aux") else "CDataTen"), f[k])]
        if cls == "CDataBlock":
            inner = self.definition(f["number"], depth + 1)
            if inner is None:
                return []
            c, s = math.cos(f["rotation"]), math.sin(f["rotation"])
            out = []
            for px in (inner[0], inner[2]):
                for py in (inner[1], inner[3]):
                    x, y = px * f["scaleX"], py * f["scaleY"]
                    out.append((f["x"] + c * x - s * y, f["y"] + s * x + c * y))
            return out
        return [(f[x], f[y]) for x, y in (("x1", "y1"), ("x2", "y2"), ("x3", "y3"), ("x4", "y4"),
                                          ("x", "y")) if x in f and y in f]

    def definition(self, number, depth):
        if number not in self.done:
            self.done[number] = None  # a block inserting itself draws nothing more
            if depth < 16:
                self.done[number] = self.box(self.definitions.get(number, []), depth)
        return self.done[number]

    def box(self, records, depth=0):
        points = [p for cls, f in records for p in self.record(cls, f, depth)]
        if not points:
            return None
        xs, ys = [p[0] for p in points], [p[1] for p in points]
        return min(xs), min(ys), max(xs), max(ys)


def check_fit(probe, jww, d):
    boxes = Boxes(d)
    drawn = boxes.box([(cls, jww_records.parse_fields(d["version"], cls, body))
                       for cls, body in d["records"]])
    run = subprocess.run([probe, jww, jww + ".unused", "-", "extents"], capture_output=True,
                         text=True)
    if drawn is None or run.returncode != 0:
        return [] if drawn is None else [f"fit: {run.stderr.strip()}"]
    shown = json.loads(run.stdout)
    size = max(drawn[2] - drawn[0], drawn[3] - drawn[1])
    slack = 0.01 * size + boxes.text
    over = max(drawn[0] - shown[0], drawn[1] - shown[1], shown[2] - drawn[2],
               shown[3] - drawn[3])
    if over > slack:
        return [f"fit: the board fits {[round(v) for v in shown]}, the records draw "
                f"{[round(v) for v in drawn]}"]
    return []


def check(batch, probe, dxf, out_dir):
    name = os.path.splitext(os.path.basename(dxf))[0]
    jww = os.path.join(out_dir, name + ".jww")
    run = subprocess.run([batch, "--allow-loss", "-o", jww, dxf], capture_output=True, text=True)
    if run.returncode != 0:
        return [f"conversion failed: {run.stderr.strip()}"], {}
    try:
        doc = ezdxf.readfile(dxf)
    except Exception:  # damaged files: ezdxf's recovery reads them
        from ezdxf import recover
        doc, _ = recover.readfile(dxf)
    d = jww_records.read(jww)
    factor = UNIT_MM.get(doc.header.get("$INSUNITS", 0), 1.0) / d["values"]["m_adScale[0]"]

    def pen_rgb(pen):
        c = d["values"].get(f"m_aPenColor[{pen}]", 0)
        return c & 255, (c >> 8) & 255, (c >> 16) & 255

    lines, blocks, insert_pen = jww_lines(d)
    problems, figures = check_model_space(doc, lines, pen_rgb, factor)
    problems += check_fit(probe, jww, d)
    wrong, figures["byblock"] = check_byblock(doc, blocks, insert_pen, factor)
    kinds = collections.Counter(p.split(":")[0] for p in problems + wrong)
    return [f"{n} {kind}, e.g. " + next(p for p in problems + wrong if p.startswith(kind))
            for kind, n in kinds.items()], dict(figures)


def main(argv):
    if len(argv) != 5:
        print(__doc__)
        return 2
    batch, probe, corpus, out_dir = argv[1:5]
    drawings = sorted(glob.glob(os.path.join(corpus, "real-dxf", "*.dxf")))
    if not drawings:
        print(f"SKIPPED: no real DXF drawings under {corpus}/real-dxf")
        return 0
    os.makedirs(out_dir, exist_ok=True)
    return check_report.report(drawings, lambda dxf: check(batch, probe, dxf, out_dir),
                               "DXF drawings' pens and line types saved as JWW")


if __name__ == "__main__":
    sys.exit(main(sys.argv))

"""How a DXF drawing's model-space lines come back in a JWW saved from it, judged with ezdxf: a
line whose linetype (its own, else its layer's) has gaps is a CDataSen of a broken Jw_cad line
type (2-9), any other a solid one (1); found by its ends in paper millimetres."""
import collections
import sys

import ezdxf  # noqa: F401  (the documents come from it)


def dashed(doc, e):
    name = e.dxf.get("linetype", "BYLAYER")
    if name.upper() == "BYLAYER":
        layer = doc.layers.get(e.dxf.get("layer", "0"))
        name = layer.dxf.get("linetype", "CONTINUOUS") if layer is not None else "CONTINUOUS"
    if name.upper() in ("BYBLOCK", "CONTINUOUS"):
        return False
    ltype = doc.linetypes.get(name)
    if ltype is None or ltype.pattern_tags.tags is None:
        return False
    return any(t.code == 49 and t.value < 0 for t in ltype.pattern_tags.tags)


def key(p, q):
    a = (round(p[0], 4), round(p[1], 4))
    b = (round(q[0], 4), round(q[1], 4))
    return min(a, b), max(a, b)


def check_line_types(doc, lines, factor):
    """Problems: model-space LINEs whose CDataSen (by ends, JWW units = DXF units × factor) has
    the wrong kind of line type; lines: {(end, end): [pen style, ...]} of the JWW."""
    problems, checked = [], 0
    for e in doc.modelspace().query("LINE"):
        if e.dxf.get("paperspace", 0):
            continue
        s, t = e.dxf.start, e.dxf.end
        styles = lines.get(key((s.x * factor, s.y * factor), (t.x * factor, t.y * factor)))
        if not styles:
            continue  # a degenerate or duplicated line
        checked += 1
        want = dashed(doc, e)
        if not any((style != 1) == want for style in styles):
            problems.append(f"line {e.dxf.handle}: pen styles {styles}, dashed {want}")
    return problems, checked


def shapes(doc, mm):
    """Model space's lines as rounded sorted end pairs and its arcs and circles as rounded (x, y,
    radius, start, end) at real size (mm: millimetres per drawing unit), counted."""
    out = collections.Counter()
    for e in doc.modelspace():
        kind = e.dxftype()
        if kind == "LINE":
            s, t = e.dxf.start, e.dxf.end
            out[("LINE",) + key((s.x * mm, s.y * mm), (t.x * mm, t.y * mm))] += 1
        elif kind in ("ARC", "CIRCLE") and e.dxf.get("extrusion", (0, 0, 1))[2] > 0:
            c = e.dxf.center
            arc = (round(e.dxf.start_angle % 360, 3), round(e.dxf.end_angle % 360, 3)) \
                if kind == "ARC" else (0.0, 360.0)
            out[(kind, round(c.x * mm, 3), round(c.y * mm, 3), round(e.dxf.radius * mm, 3)) +
                arc] += 1
    return out


def same_lines_and_arcs(doc, back, mm):
    """Problems: model-space lines, arcs and circles of doc missing from back (already in
    millimetres) at real size, to 1e-4 mm (arcs 1e-3 mm and 1e-3 degrees)."""
    want, got = shapes(doc, mm), shapes(back, 1.0)
    missing = want - got
    if not missing:
        return []
    first = next(iter(missing))
    return [f"{sum(missing.values())} of {sum(want.values())} lines and arcs not saved back "
            f"where they were, e.g. {first}"]


if __name__ == "__main__":
    print(__doc__)
    sys.exit(2)

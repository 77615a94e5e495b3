"""How a DXF drawing's model-space lines come back in a JWW saved from it, judged with ezdxf: a
line whose linetype (its own, else its layer's) has gaps is a CDataSen of a broken Jw_cad line
type (2-9), any other a solid one (1); found by its ends in paper millimetres. A dashed linetype
whose description or name is a Jw_cad type's name (「Jw_cad 点線1」, as JWW -> DXF writes it)
comes back as that type; one whose name is of a known family (DASHED, CENTER, PHANTOM,
ACAD_ISO04W100, JIS_08_25, ...) as a type of that kind, as many dashes and dots a period as the
JWW's own pattern of it has (補助線種 not one)."""
import collections
import sys

import ezdxf  # noqa: F401  (the documents come from it)


# Jw_cad's names of its own dashed types.
JW_NAMES = {"点線1": 2, "点線2": 3, "点線3": 4, "一点鎖1": 5, "一点鎖2": 6, "二点鎖1": 7,
            "二点鎖2": 8, "補助線種": 9, "倍長線種1": 16, "倍長線種2": 17, "倍長線種3": 18,
            "倍長線種4": 19}
# Dashes and dots a period of the kinds the common names say: AutoCAD's families (also "2",
# "X2" and LibreCAD's "TINY"), ISO 128's numbers, JIS's.
FAMILIES = {"DASHED": 1, "HIDDEN": 1, "DOT": 1, "CENTER": 2, "DASHDOT": 2, "PHANTOM": 3,
            "DIVIDE": 3}
ISO = {"02": 1, "03": 1, "07": 1, "04": 2, "08": 2, "10": 2, "05": 3, "09": 3, "11": 3, "12": 3}
JIS = {"JIS_02_": 1, "JIS_08_": 2, "JIS_09_": 3}


def linetype(doc, e):
    """The LTYPE entry e is drawn in, or None (solid, or a name the file lacks)."""
    name = e.dxf.get("linetype", "BYLAYER")
    if name.upper() == "BYLAYER":
        layer = doc.layers.get(e.dxf.get("layer", "0"))
        name = layer.dxf.get("linetype", "CONTINUOUS") if layer is not None else "CONTINUOUS"
    if name.upper() in ("BYBLOCK", "CONTINUOUS"):
        return None
    return doc.linetypes.get(name)


def dashed(doc, e):
    ltype = linetype(doc, e)
    if ltype is None or ltype.pattern_tags.tags is None:
        return False
    return any(t.code == 49 and t.value < 0 for t in ltype.pattern_tags.tags)


def named(ltype):
    """("style", n) for a linetype naming Jw_cad's type n, ("marks", k) for one of a family of k
    dashes and dots a period, else None."""
    description = ltype.dxf.get("description", "")
    if description.startswith("Jw_cad ") and description[7:] in JW_NAMES:
        return "style", JW_NAMES[description[7:]]
    if ltype.dxf.name in JW_NAMES:
        return "style", JW_NAMES[ltype.dxf.name]
    name = ltype.dxf.name.upper().split("$")[-1]
    for family, marks in FAMILIES.items():
        if name in (family, family + "2", family + "X2", family + "TINY"):
            return "marks", marks
    for prefix in ("ACAD_ISO", "AM_ISO"):
        if name.startswith(prefix) and name[len(prefix) + 2:len(prefix) + 3] == "W" and \
                name[len(prefix):len(prefix) + 2] in ISO:
            return "marks", ISO[name[len(prefix):len(prefix) + 2]]
    for prefix, marks in JIS.items():
        if name.startswith(prefix):
            return "marks", marks
    return None


def marks_of(values, style):
    """Dashes and dots a period of the JWW's line type style (header values): the runs of on
    bits, round the pattern's bits."""
    bits, count = values.get(f"m_alLType[{style}]", 0), values.get(
        f"m_anTokushuSenUintDot[{style}]", 0)
    on = [(bits >> i) & 1 for i in range(count)]
    return sum(1 for i in range(count) if on[i] and not on[i - 1])


def key(p, q):
    a = (round(p[0], 4), round(p[1], 4))
    b = (round(q[0], 4), round(q[1], 4))
    return min(a, b), max(a, b)


def check_line_types(doc, lines, factor, values=None, figures=None):
    """Problems: model-space LINEs whose CDataSen (by ends, JWW units = DXF units × factor) has
    the wrong kind of line type; lines: {(end, end): [pen style, ...]} of the JWW; with the
    JWW's header values, named linetypes' lines the type or kind their names say (counted in
    figures["named lines"])."""
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
        says = named(linetype(doc, e)) if want and values is not None else None
        if says is None:
            continue
        figures["named lines"] = figures.get("named lines", 0) + 1
        kind, n = says
        if not any(style == n if kind == "style" else
                   style != 9 and marks_of(values, style) == n for style in styles):
            problems.append(f"line {e.dxf.handle} in {linetype(doc, e).dxf.name}: pen styles "
                            f"{styles}, its name says {kind} {n}")
    return problems, checked


def named_drawing(path):
    """A drawing ezdxf makes (millimetres, 1:1) of a line in each of linetypes whose patterns
    alone would give another Jw_cad type than their names: a DOT nearest 補助線種, Jw_cad names
    in the description and as the name over another type's pattern, CENTER and PHANTOM over a
    dashed pattern, an ISO and a JIS dash-dot over a two-dot one, an external reference's
    DASHED over a dash-dot."""
    doc = ezdxf.new()
    doc.header["$INSUNITS"] = 4
    rows = [("DOT", "Dot . . . .", [6.35, 0.0, -6.35]),
            ("JW3", "Jw_cad 点線3", [4.0, 2.0, -2.0]),
            ("一点鎖2", "", [4.0, 2.0, -2.0]),
            ("CENTER2", "Center (.5x)", [6.0, 4.0, -2.0]),
            ("PHANTOM", "Phantom", [6.0, 4.0, -2.0]),
            ("ACAD_ISO10W100", "ISO dash dot", [9.0, 5.0, -1.0, 0.0, -1.0, 0.0, -2.0]),
            ("JIS_08_25", "一点鎖線", [9.0, 5.0, -1.0, 0.0, -1.0, 0.0, -2.0]),
            ("plan$0$DASHED", "Dashed", [9.0, 6.0, -1.5, 0.0, -1.5])]
    msp = doc.modelspace()
    for i, (name, description, pattern) in enumerate(rows):
        doc.linetypes.new(name, dxfattribs={"description": description, "pattern": pattern})
        msp.add_line((0, -10 * i), (100, -10 * i), dxfattribs={"linetype": name})
    doc.saveas(path)


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

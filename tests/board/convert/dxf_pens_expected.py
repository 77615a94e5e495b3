"""How a DXF drawing's model-space lines come back in a JWW saved from it, judged with ezdxf: a
line whose linetype (its own, else its layer's) has gaps is a CDataSen of a broken Jw_cad line
type (2-9), any other a solid one (1); found by its ends in paper millimetres. A dashed linetype
whose description or name is a Jw_cad type's name (「Jw_cad 点線1」, as JWW -> DXF writes it)
comes back as that type; any other simple one as a type of the kind its pattern is (structure:
dashed, one-dot or two-dot chain by the dots a period), as many dashes and dots a period as the
JWW's own pattern of it has (補助線種 not one). A drawing ezdxf makes of every linetype name of
acad.lin and acadiso.lin, each over one dashed pattern, judges them by the pattern their name
stands for there (STANDARD), so that only the name can tell them apart."""
import collections
import sys

import ezdxf  # noqa: F401  (the documents come from it)


# Jw_cad's names of its own dashed types.
JW_NAMES = {"点線1": 2, "点線2": 3, "点線3": 4, "一点鎖1": 5, "一点鎖2": 6, "二点鎖1": 7,
            "二点鎖2": 8, "補助線種": 9, "倍長線種1": 16, "倍長線種2": 17, "倍長線種3": 18,
            "倍長線種4": 19}
# The patterns the common names stand for (dash >= 0, gap < 0; only their structure counts):
# AutoCAD's families as acad.lin has them in inches (also "2", "X2" and LibreCAD's "TINY"), ISO
# 128's in millimetres as its line type table draws them, JIS's by their names (破線, 一点鎖線,
# 二点鎖線).
STANDARD = {
    "DASHED": [0.5, -0.25], "HIDDEN": [0.25, -0.125], "DOT": [0.0, -0.25],
    "CENTER": [1.25, -0.25, 0.25, -0.25], "DASHDOT": [0.5, -0.25, 0.0, -0.25],
    "BORDER": [0.5, -0.25, 0.5, -0.25, 0.0, -0.25],
    "PHANTOM": [1.25, -0.25, 0.25, -0.25, 0.25, -0.25],
    "DIVIDE": [0.5, -0.25, 0.0, -0.25, 0.0, -0.25],
    "ISO02": [12, -3], "ISO03": [12, -18], "ISO04": [24, -3, 0, -3], "ISO05": [24, -3, 0, -3, 0, -3],
    "ISO06": [24, -3, 0, -3, 0, -3, 0, -3], "ISO07": [0, -3], "ISO08": [24, -3, 6, -3],
    "ISO09": [24, -3, 6, -3, 6, -3], "ISO10": [12, -3, 0, -3], "ISO11": [12, -3, 12, -3, 0, -3],
    "ISO12": [12, -3, 0, -3, 0, -3], "ISO13": [12, -3, 12, -3, 0, -3, 0, -3],
    "ISO14": [12, -3, 0, -3, 0, -3, 0, -3], "ISO15": [12, -3, 12, -3, 0, -3, 0, -3, 0, -3],
    "JIS_02_": [3, -1], "JIS_08_": [10, -1, 0, -1], "JIS_09_": [10, -1, 0, -1, 0, -1],
}


# The simple linetypes of the real drawings' LTYPE tables: {name: pattern} (corpus_patterns).
CORPUS = {}


def corpus_patterns(corpus):
    """Fills CORPUS from every real DXF's LTYPE table: each simple linetype with gaps under its
    name (an external reference's last part), the first pattern found."""
    import glob
    import os
    for path in sorted(glob.glob(os.path.join(corpus, "real-dxf", "*.dxf"))):
        try:
            doc = ezdxf.readfile(path)
        except Exception:  # damaged files: ezdxf's recovery reads them
            from ezdxf import recover
            doc = recover.readfile(path)[0]
        for ltype in doc.linetypes:
            tags = ltype.pattern_tags
            if tags.tags is None or tags.is_complex_type():
                continue
            pattern = [t.value for t in tags.tags if t.code == 49]
            if any(v < 0 for v in pattern):
                CORPUS.setdefault(ltype.dxf.name.upper().split("$")[-1], pattern)


def standard(name):
    """The pattern a linetype name stands for (the real drawings', else the common names'), or
    None."""
    name = name.upper().split("$")[-1]
    if name in CORPUS:
        return CORPUS[name]
    for family in ("DASHED", "HIDDEN", "DOT", "CENTER", "DASHDOT", "BORDER", "PHANTOM", "DIVIDE"):
        if name in (family, family + "2", family + "X2", family + "TINY"):
            return STANDARD[family]
    for prefix in ("ACAD_ISO", "AM_ISO"):
        number = name[len(prefix):len(prefix) + 2]
        if name.startswith(prefix) and name[len(prefix) + 2:len(prefix) + 3] == "W" and \
                "ISO" + number in STANDARD:
            return STANDARD["ISO" + number]
    return next((p for prefix, p in STANDARD.items() if prefix.startswith("JIS_") and
                 name.startswith(prefix)), None)


def structure(pattern):
    """Jw_cad's dashes and dots a period of the kind a pattern is (dash >= 0, gap < 0): dots (a
    dash shorter than half the longest one counts as one) none 1 (dashed; so a dotted one),
    one 2 (one-dot chain), more 3 (two-dot chain, Jw_cad's most); None without a gap."""
    if not any(v < 0 for v in pattern):
        return None
    dashes, joined = [], True  # a dash goes on into the next with no gap between
    for v in pattern:
        if v >= 0:
            if joined and dashes:
                dashes[-1] += v
            else:
                dashes.append(v)
            joined = True
        elif v < 0:
            joined = False
    if joined and len(dashes) > 1 and pattern[0] >= 0:
        dashes[0] += dashes.pop()  # the period's last dash runs into its first
    longest = max(dashes, default=0.0)
    dots = sum(1 for d in dashes if d < 0.5 * longest)
    return 1 if longest <= 0 or dots == 0 else 2 if dots == 1 else 3


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


def named(ltype, by_name=False):
    """("style", n) for a linetype naming Jw_cad's type n, ("marks", k) for one whose pattern
    (by_name: the one its name stands for, STANDARD) is of k dashes and dots a period (structure),
    else None (shapes or text in it, or no gap)."""
    description = ltype.dxf.get("description", "")
    if description.startswith("Jw_cad ") and description[7:] in JW_NAMES:
        return "style", JW_NAMES[description[7:]]
    if ltype.dxf.name in JW_NAMES:
        return "style", JW_NAMES[ltype.dxf.name]
    if by_name:
        pattern = standard(ltype.dxf.name)
    elif ltype.pattern_tags.tags is None or ltype.pattern_tags.is_complex_type():
        pattern = None
    else:
        pattern = [t.value for t in ltype.pattern_tags.tags if t.code == 49]
    marks = structure(pattern) if pattern else None
    return ("marks", marks) if marks else None


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


def check_line_types(doc, lines, factor, values=None, figures=None, by_name=False):
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
        says = named(linetype(doc, e), by_name) if want and values is not None else None
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
    DASHED over a dash-dot; and each name of the real drawings (CORPUS) and acad.lin's and
    acadiso.lin's over a pattern of another kind."""
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
    # Every name of the real drawings and of acad.lin / acadiso.lin over a pattern of another
    # kind: a dashed one for the chains, a two-dot chain for the dashed ones.
    names = set(CORPUS) | {f + size for f in ("DASHED", "HIDDEN", "DOT", "CENTER", "DASHDOT",
                                              "BORDER", "PHANTOM", "DIVIDE")
                           for size in ("", "2", "X2")}
    names |= {f"ACAD_ISO{n:02d}W100" for n in range(2, 16)}
    taken = {name.upper() for name, _d, _p in rows}
    for name in sorted(names - taken):
        marks = structure(standard(name))
        rows.append((name, "", [9.0, 5.0, -1.0, 0.0, -1.0, 0.0, -2.0] if marks == 1 else
                     [8.0, 6.0, -2.0]))
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

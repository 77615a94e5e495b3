#!/usr/bin/env python3
"""The drafter's edits of a DXF's own records kept when it is saved as JWW: on every real DXF
drawing of the shared corpus, for each kind of record below, the first one the board shows is
erased in one copy and turned a quarter turn about a far pivot in another (dxf_edit_probe), each
saved as JWW and read back with the test's own reader of the records (jww_records.py):

- erased: the JWW is the unedited one's records less some (none added), and some are gone;
- turned: every record lying below the drawing, turned back a quarter turn about the pivot, is
  one of those the erased copy lost, all of them and nothing else; everything else stays where
  the unedited JWW had it (but the lines of XLINEs and RAYs, cut anew to the new extents);
- put on another layer (a third copy): the records the erased copy lost come back on another
  layer, the same in all else but their pen and line type, and nothing else changes.

Records are compared whole: class, points (paper mm), angles, sizes, pens, layers, texts.

Usage: check_dxf_edits_to_jww.py DXF_EDIT_PROBE CORPUS OUT_DIR"""
import collections
import glob
import json
import math
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "jww"))
import check_report  # noqa: E402
import ezdxf  # noqa: E402
import jww_records  # noqa: E402

KINDS = ["LINE", "ARC", "CIRCLE", "TEXT", "MTEXT", "INSERT", "LWPOLYLINE", "POLYLINE", "HATCH",
         "DIMENSION", "SOLID", "SPLINE", "ELLIPSE", "POINT"]
UNIT_MM = {0: 1.0, 1: 25.4, 2: 304.8, 4: 1.0, 5: 10.0, 6: 1000.0, 14: 100.0}
POINTS = [("x1", "y1"), ("x2", "y2"), ("x3", "y3"), ("x4", "y4"), ("cx", "cy"), ("x", "y")]
# Angles a quarter turn adds to: degrees (texts), radians (arcs' starts, inserts).
ANGLES = {"angle": 360.0, "start": 2 * math.pi, "rotation": 2 * math.pi}


def rounded(v):
    # An odd offset keeps values written exactly in decimals off the rounding edges.
    return round(v + 3.7e-7, 4) if isinstance(v, float) else v


def signature(fields, back=None):
    """A hashable record: each point (turned back a quarter turn about back's pivot when given),
    each angle (less the quarter turn), everything else as it is; nested members alike."""
    out = []
    geometry = {name for pair in POINTS for name in pair}
    for x, y in POINTS:
        if x in fields and y in fields:
            p = (fields[x], fields[y])
            if back is not None:
                px, py = back
                p = (px + (p[1] - py), py - (p[0] - px))
            out.append((x, rounded(p[0]), rounded(p[1])))
    for name, value in sorted(fields.items()):
        if name in geometry:
            continue
        if isinstance(value, dict):
            out.append((name, signature(value, back)))
        elif name in ANGLES and not (name == "start" and fields.get("full")):
            turn = ANGLES[name]
            a = (value - (turn / 4 if back is not None else 0.0)) % turn
            a = rounded(a)
            out.append((name, 0.0 if abs(a - turn) < 1e-3 else a))
        else:
            out.append((name, rounded(value) if isinstance(value, float) else value))
    return tuple(out)


def highest(fields):
    ys = [fields[y] for x, y in POINTS if x in fields and y in fields]
    for value in fields.values():
        if isinstance(value, dict):
            ys.append(highest(value))
    return max(ys) if ys else -math.inf


# What follows the layer a record is put on: the layer, the colour and the line type.
LAYER_FIELDS = {"m_nLayer", "m_nGLayer", "m_nPenColor", "m_nPenStyle", "rgb"}


def check_layer(path, kind, record, unedited, gone):
    """Put on another layer: the records the erase took are replaced by the same records on
    another layer (their pen and line type may follow the layer's); nothing else changed."""
    def strip(sig):
        return tuple((v[0], strip(v[1])) if len(v) == 2 and isinstance(v[1], tuple) else v
                     for v in sig if v[0] not in LAYER_FIELDS)

    def plain(key):
        return key[0], strip(key[1])

    layered = collections.Counter((cls, signature(f)) for cls, f in records(path)[0])
    lost, new = unedited - layered, layered - unedited
    same = collections.Counter(plain(k) for k in new.elements()) == collections.Counter(
        plain(k) for k in gone.elements())
    if lost != gone or not same:
        return [f"{kind} {record} put on another layer: {sum(lost.values())} records left their "
                f"place of the {sum(gone.values())} the erase took, {sum(new.values())} new"]
    return []


def without_solids(counter):
    return collections.Counter({k: n for k, n in counter.items() if k[0] != "CDataSolid"})


def fill_of(counter):
    """The solids of a record count as (their pens and layers, total area, box), in paper mm."""
    area, xs, ys, looks = 0.0, [], [], set()
    for (cls, sig), n in counter.items():
        if cls != "CDataSolid":
            continue
        points = {name: (x, y) for name, x, y in (v for v in sig if len(v) == 3)}
        ring = [points[k] for k in ("x1", "x2", "x3", "x4") if k in points]
        area += n * abs(sum(a[0] * b[1] - b[0] * a[1]
                            for a, b in zip(ring, ring[1:] + ring[:1]))) / 2
        xs += [x for x, _ in ring]
        ys += [y for _, y in ring]
        looks.add(tuple(v for v in sig if len(v) != 3))
    if not xs:
        return None
    return frozenset(looks), round(area, 2), (round(min(xs), 3), round(min(ys), 3), round(max(xs), 3),
                                   round(max(ys), 3))


def construction_lines(dxf, factor):
    """The model space's XLINEs and RAYs as (point, unit direction) in paper mm: the board cuts
    them to a box around the rest of the drawing, which an edit may move."""
    try:
        doc = ezdxf.readfile(dxf)
    except Exception:  # damaged files: none read
        return []
    return [((e.dxf.start.x * factor, e.dxf.start.y * factor), e.dxf.unit_vector.normalize())
            for e in doc.modelspace().query("XLINE RAY")]


def without_construction(counter, lines):
    """The records but the lines lying on a construction line (they follow the extents)."""
    def on(sig):
        points = [(x, y) for name, x, y in (v for v in sig if len(v) == 3)]
        return len(points) == 2 and any(
            all(abs((q[0] - p[0]) * d.y - (q[1] - p[1]) * d.x) < 1e-3 for q in points)
            for p, d in lines)
    return collections.Counter({k: n for k, n in counter.items()
                                if not (k[0] == "CDataSen" and on(k[1]))})


def records(path):
    d = jww_records.read(path)
    return [(cls, jww_records.parse_fields(d["version"], cls, body)) for cls, body in
            d["records"]], d["values"]["m_adScale[0]"]


def probe(tool, dxf, out, kind, op):
    run = subprocess.run([tool, dxf, out, kind, op], capture_output=True, text=True)
    if run.returncode != 0:
        raise RuntimeError(f"{kind} {op}: {run.stderr.strip()}")
    line = run.stdout.strip()
    return None if line in ("none", "") else json.loads(line)


def check(tool, dxf, out_dir):
    name = os.path.splitext(os.path.basename(dxf))[0]
    base = os.path.join(out_dir, name + ".jww")
    probe(tool, dxf, base, "-", "keep")
    before, scale = records(base)
    try:
        units = ezdxf.readfile(dxf).header.get("$INSUNITS", 0)
    except Exception:  # damaged files: their unit is the default
        units = 0
    factor = UNIT_MM.get(units, 1.0) / scale
    unedited = collections.Counter((cls, signature(f)) for cls, f in before)
    construction = construction_lines(dxf, factor)
    problems, figures = [], {"kinds": 0}
    for kind in KINDS:
        erased_jww = os.path.join(out_dir, f"{name}.{kind}.erase.jww")
        turned_jww = os.path.join(out_dir, f"{name}.{kind}.turn.jww")
        edit = probe(tool, dxf, erased_jww, kind, "erase")
        if edit is None:
            continue
        figures["kinds"] += 1
        turned = probe(tool, dxf, turned_jww, kind, "turn")
        erased = collections.Counter((cls, signature(f)) for cls, f in records(erased_jww)[0])
        gone = unedited - erased
        if erased - unedited or not gone:
            problems.append(f"{kind} {edit['record']} erased: {sum(gone.values())} records "
                            f"gone, {sum((erased - unedited).values())} new")
            continue
        layered = probe(tool, dxf, os.path.join(out_dir, f"{name}.{kind}.layer.jww"), kind,
                        "layer")
        if layered is not None:
            problems += check_layer(os.path.join(out_dir, f"{name}.{kind}.layer.jww"), kind,
                                    edit["record"], unedited, gone)
        if turned is None:
            continue  # a kind the board cannot turn (dimensions)
        pivot = (edit["pivot"][0] * factor, edit["pivot"][1] * factor)
        below = edit["below"] * factor
        stay, away = collections.Counter(), collections.Counter()
        for cls, f in records(turned_jww)[0]:
            if highest(f) < below:
                away[(cls, signature(f, pivot))] += 1
            else:
                stay[(cls, signature(f))] += 1
        # A filled area is cut into strips along the paper's x, so a turned one is cut anew:
        # its solids are compared by what they cover, not one by one.
        if fill_of(away) == fill_of(gone):
            away, gone = without_solids(away), without_solids(gone)
        # Construction lines are cut anew to the drawing's new extents.
        stay = without_construction(stay, construction)
        erased = without_construction(erased, construction)
        if away != gone or stay != erased:
            problems.append(f"{kind} {edit['record']} turned: {sum(away.values())} records "
                            f"turned away, {sum((away & gone).values())} of the "
                            f"{sum(gone.values())} the erase took; "
                            f"{sum((stay - erased).values())} others changed")
    return problems, figures


def main(argv):
    if len(argv) != 4:
        print(__doc__)
        return 2
    tool, corpus, out_dir = argv[1:4]
    drawings = sorted(glob.glob(os.path.join(corpus, "real-dxf", "*.dxf")))
    if not drawings:
        print(f"SKIPPED: no real DXF drawings under {corpus}/real-dxf")
        return 0
    os.makedirs(out_dir, exist_ok=True)

    def one(dxf):
        try:
            return check(tool, dxf, out_dir)
        except RuntimeError as error:
            return [str(error)], {}

    return check_report.report(drawings, one, "DXF drawings edited and saved as JWW")


if __name__ == "__main__":
    sys.exit(main(sys.argv))

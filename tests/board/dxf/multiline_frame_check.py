#!/usr/bin/python3
"""Every MLINE, XLINE, RAY, IMAGE, WIPEOUT, SHAPE and TOLERANCE of the real drawings as the board draws it
(underlay_dump), compared with ezdxf's reading of the same entity.

MLINE: ezdxf's virtual entities (its element lines from the vertices' miters, caps and miters
its style asks for) cut by the breaks the vertices' element parameters give (ezdxf leaves those
out): each drawn point lies on them, each of their points is drawn, no break is drawn over, and
each element line has its style's colour (BYLAYER: the layer's). XLINE and RAY: one line through
ezdxf's point along its direction (a ray from the point on), reaching past everything else the
drawing shows. IMAGE and WIPEOUT: one closed line through the corners of ezdxf's clip boundary
in the drawing (boundary_path_wcs; the whole image's when clipping is off), in its order.
SHAPE: a point at its insertion point (its strokes are in a shape file). TOLERANCE: a box and a
text for each field of its content (rows ^J, fields %%v), plain fields as written, GDT symbols
without their codes, each text in its box, the first row's left edge centred on its point.
Usage: multiline_frame_check.py UNDERLAY_DUMP CORPUS_DIR
"""
import math
import sys

from ezdxf import colors

import dump_corpus

KINDS = ("MLINE", "XLINE", "RAY", "IMAGE", "WIPEOUT", "SHAPE", "TOLERANCE")


def xy(p):
    return (p[0], p[1])


def distance(p, seg):
    (ax, ay), (bx, by) = seg
    dx, dy = bx - ax, by - ay
    ll = dx * dx + dy * dy
    t = 0.0 if ll == 0 else max(0.0, min(1.0, ((p[0] - ax) * dx + (p[1] - ay) * dy) / ll))
    return math.hypot(p[0] - ax - t * dx, p[1] - ay - t * dy)


def near(p, segs):
    return min((distance(p, s) for s in segs), default=math.inf)


def samples(a, b, n=16):
    return [(a[0] + (b[0] - a[0]) * i / n, a[1] + (b[1] - a[1]) * i / n) for i in range(n + 1)]


def rgb_of(doc, entity, aci):
    """The colour an element of colour number aci is drawn in (BYLAYER: its layer's, BYBLOCK:
    the entity's own)."""
    layer = doc.layers.get(entity.dxf.layer) if doc.layers.has_entry(entity.dxf.layer) else None
    if aci == 0:
        aci = entity.dxf.color
    if aci == 256:
        if layer is None:
            return (255, 255, 255)
        if layer.rgb is not None:
            return tuple(layer.rgb)
        aci = abs(layer.color)
    return tuple(colors.aci2rgb(aci)) if aci != 7 else None  # 7: black or white, either


def mline_reference(doc, entity):
    """ezdxf's lines of the multiline, each with its colour, cut by the breaks; and the gaps."""
    ends = {}
    vertices = entity.vertices
    count = len(vertices)
    for i, v in enumerate(vertices):
        j = (i + 1) % count
        if j == 0 and not entity.is_closed:
            continue
        w = vertices[j]
        for k, params in enumerate(v.line_params):
            a = v.location + v.miter_direction * (params[0] if params else 0.0)
            b = w.location + w.miter_direction * (w.line_params[k][0] if w.line_params[k] else 0)
            ends[(round(a.x, 6), round(a.y, 6), round(b.x, 6), round(b.y, 6))] = list(params[1:])
    segs, gaps = [], []
    for line in entity.virtual_entities():
        if line.dxftype() == "ARC":
            pts = [xy(p) for p in line.flattening(max(line.dxf.radius * 1e-3, 1e-9))]
            colour = rgb_of(doc, entity, line.dxf.color)
            segs += [(s, colour) for s in zip(pts, pts[1:])]
            continue
        if line.dxftype() != "LINE":
            continue
        a, b = line.dxf.start, line.dxf.end
        colour = rgb_of(doc, entity, line.dxf.color)
        marks = ends.get((round(a.x, 6), round(a.y, 6), round(b.x, 6), round(b.y, 6)), [])
        length = (b - a).magnitude
        along = (b - a).normalize() if length > 0 else b - a
        marks = list(marks) or [0.0]
        if len(marks) % 2:
            marks.append(length)
        last = 0.0
        for start, stop in zip(marks[::2], marks[1::2]):
            start, stop = min(max(start, 0.0), length), min(max(stop, 0.0), length)
            if start > last:
                gaps.append(xy(a + along * (0.5 * (last + start))))
            if stop > start:
                segs.append(((xy(a + along * start), xy(a + along * stop)), colour))
            last = max(last, stop)
    return segs, gaps


def drawn_segments(items):
    out = []
    for it in items:
        if it["kind"] != "polyline":
            continue
        pts = [tuple(p) for p in it["points"]]
        if it["closed"]:
            pts.append(pts[0])
        out += [((a, b), tuple(it["colour"])) for a, b in zip(pts, pts[1:])]
    return out


def compare_mline(doc, entity, items):
    ref, gaps = mline_reference(doc, entity)
    if not ref:
        return ["ezdxf gives no lines"]
    segs = drawn_segments(items)
    if not segs:
        return ["nothing drawn"]
    span = max(math.dist(*s) for s, _ in ref)
    tol = 1e-6 * max(span, 1.0)
    rsegs = [s for s, _ in ref]
    dsegs = [s for s, _ in segs]
    problems = []
    stray = [p for s in dsegs for p in samples(*s) if near(p, rsegs) > tol]
    if stray:
        problems.append(f"{len(stray)} drawn points off ezdxf's lines, e.g. {stray[0]}")
    missed = [p for s in rsegs for p in samples(*s) if near(p, dsegs) > tol]
    if missed:
        problems.append(f"{len(missed)} of ezdxf's line points not drawn, e.g. {missed[0]}")
    over = [g for g in gaps if near(g, dsegs) <= tol]
    if over:
        problems.append(f"{len(over)} breaks drawn over, e.g. at {over[0]}")
    for s, colour in segs:
        mid = samples(*s, 2)[1]
        want = min(ref, key=lambda r: distance(mid, r[0]))[1]
        if want is not None and colour != want:
            problems.append(f"element line at {mid} drawn in {colour}, its style's is {want}")
            break
    return problems


def compare_infinite(entity, items, others):
    lines = drawn_segments(items)
    if len(lines) != 1:
        return [f"{len(lines)} lines drawn, one wanted"]
    (a, b), _ = lines[0]
    p = xy(entity.dxf.start)
    d = xy(entity.dxf.unit_vector)
    size = max(math.dist(a, b), 1.0)
    tol = 1e-9 * max(size, max(abs(c) for c in p + a + b))
    problems = []
    for q in (a, b):
        across = (q[0] - p[0]) * -d[1] + (q[1] - p[1]) * d[0]
        if abs(across) > tol:
            problems.append(f"end {q} {across:.3g} off the line")
    ta = (a[0] - p[0]) * d[0] + (a[1] - p[1]) * d[1]
    tb = (b[0] - p[0]) * d[0] + (b[1] - p[1]) * d[1]
    if entity.dxftype() == "RAY":
        if abs(ta) > tol or tb <= 0:
            problems.append(f"not from its point {p} along {d}: {ta}, {tb}")
    elif not ta < 0 < tb:
        problems.append(f"not through its point {p} along {d}: {ta}, {tb}")
    # It runs past everything else drawn (the view at its extents is crossed whole).
    pts = [q for s, _ in others for q in s]
    if pts:
        lo = (min(q[0] for q in pts), min(q[1] for q in pts))
        hi = (max(q[0] for q in pts), max(q[1] for q in pts))
        reach = max(hi[0] - lo[0], hi[1] - lo[1])
        ends = [b] if entity.dxftype() == "RAY" else [a, b]
        for q in ends:
            inside = lo[0] <= q[0] <= hi[0] and lo[1] <= q[1] <= hi[1]
            if inside:
                problems.append(f"ends at {q}, inside the drawing {lo}-{hi}")
        if size > 10 * (reach + math.dist(p, lo)) + 1.0:
            problems.append(f"{size:.3g} long, the drawing {reach:.3g} across")
    return problems


def compare_frame(entity, items):
    if not entity.dxf.get("clipping", 0):
        entity.reset_boundary_path()  # only this reading of the file is changed
    corners = [xy(p) for p in entity.boundary_path_wcs()]
    if len(corners) > 1 and math.dist(corners[0], corners[-1]) == 0:
        corners.pop()
    lines = [it for it in items if it["kind"] == "polyline"]
    if len(lines) != 1 or not lines[0]["closed"]:
        return [f"{len(lines)} lines drawn, one closed frame wanted"]
    drawn = [tuple(p) for p in lines[0]["points"]]
    size = max(math.dist(a, b) for a in corners for b in corners)
    tol = 1e-9 * max([size] + [abs(c) for p in corners for c in p])
    if len(drawn) != len(corners):
        return [f"{len(drawn)} corners drawn, ezdxf's frame has {len(corners)}: {corners}"]
    # The same corners in the same turn, from any of them.
    for shift in range(len(corners)):
        turned = corners[shift:] + corners[:shift]
        if all(math.dist(a, b) <= tol for a, b in zip(drawn, turned)):
            return []
    return [f"corners {drawn} are not ezdxf's {corners}"]


def compare_marker(entity, items):
    at = xy(entity.ocs().to_wcs(entity.dxf.insert))
    points = [tuple(it["points"][0]) for it in items if it["kind"] == "point"]
    if len(points) != 1 or len(items) != 1:
        return [f"{len(items)} items drawn, one point wanted"]
    if math.dist(points[0], at) > 1e-9 * max(1.0, abs(at[0]), abs(at[1])):
        return [f"point {points[0]} is not at its insertion point {at}"]
    return []


def compare_tolerance(entity, items):
    rows = [[f for f in row.split("%%v") if f.strip("{}")] for row in entity.dxf.content.replace("^J", "\n").split("\n")]
    fields = [f for row in rows for f in row]
    boxes = [it["points"] for it in items if it["kind"] == "polyline" and it["closed"]]
    texts = [it for it in items if it["kind"] == "text"]
    if len(boxes) != len(fields) or len(texts) != len(fields) or len(items) != 2 * len(fields):
        return [f"{len(boxes)} boxes, {len(texts)} texts for the {len(fields)} fields {fields}"]
    problems = []
    for field, text, box in zip(fields, texts, boxes):
        plain = field.replace("{", "").replace("}", "")
        if "\\" not in field and text["text"] != plain:
            problems.append(f"field {field!r} drawn {text['text']!r}")
        if "\\" in field and any(c in text["text"] for c in "\\{};"):
            problems.append(f"field {field!r} drawn with its codes: {text['text']!r}")
        centre = (sum(p[0] for p in box) / 4, sum(p[1] for p in box) / 4)
        if len(box) != 4 or math.dist(centre, text["origin"]) > 1e-9 * max(map(abs, centre)):
            problems.append(f"text {text['text']!r} not in its box {box}")
    a, d = boxes[0][0], boxes[0][3]
    at = xy(entity.dxf.insert)
    mid = ((a[0] + d[0]) / 2, (a[1] + d[1]) / 2)
    if math.dist(mid, at) > 1e-9 * max(1.0, abs(at[0]), abs(at[1])):
        problems.append(f"first box's left edge centred on {mid}, its point is {at}")
    return problems


def main():
    dump, corpus = sys.argv[1], sys.argv[2]
    compared, failed = {k: 0 for k in KINDS}, 0
    for name, doc, entities, everything in dump_corpus.drawings(dump, corpus, KINDS):
        grouped = dump_corpus.by_handle(everything)
        infinite = {e.dxf.handle for e in entities if e.dxftype() in ("XLINE", "RAY")}
        others = drawn_segments([it for it in everything if it.get("handle") not in infinite])
        for e in entities:
            compared[e.dxftype()] += 1
            items = grouped.get(e.dxf.handle, [])
            if e.dxftype() == "MLINE":
                problems = compare_mline(doc, e, items)
            elif e.dxftype() == "TOLERANCE":
                problems = compare_tolerance(e, items)
            elif e.dxftype() == "SHAPE":
                problems = compare_marker(e, items)
            elif e.dxftype() in ("IMAGE", "WIPEOUT"):
                problems = compare_frame(e, items)
            else:
                problems = compare_infinite(e, items, others)
            if problems:
                failed += 1
                print(f"{name} {e.dxftype()} {e.dxf.handle}: " + "; ".join(problems))
    print(", ".join(f"{n} {k}" for k, n in compared.items()) + f" compared, {failed} differ")
    return 1 if failed or min(compared.values()) == 0 else 0


if __name__ == "__main__":
    sys.exit(main())

"""What a DXF drawing saved as JWW keeps as blocks, read with ezdxf (independently of the board):
the model-space inserts a Jw_cad block insert holds as they are (one copy, seen from above, a
scale other than zero, of a block that exists and does not insert itself; their attributes
become texts), and the blocks they use, nested ones through such inserts (without attributes)
included."""
import math

MAX_DEPTH = 16


def plain(insert, doc, top=False):
    d = insert.dxf
    if (insert.attribs and not top) or d.get("row_count", 1) > 1 or d.get("column_count", 1) > 1:
        return False
    x, y, z = d.get("extrusion", (0.0, 0.0, 1.0))
    if abs(x) > 1e-12 or abs(y) > 1e-12 or z <= 0.0:
        return False
    if d.get("xscale", 1.0) == 0.0 or d.get("yscale", 1.0) == 0.0:
        return False
    return doc.blocks.get(d.name) is not None


class Kept:
    def __init__(self, doc):
        self.doc = doc
        self.state = {}  # upper-case name -> "visiting" or True

    def keep(self, name, depth):
        key = name.upper()
        if key in self.state:
            return self.state[key] is True
        if depth >= MAX_DEPTH:
            return False
        self.state[key] = "visiting"
        for e in self.doc.blocks.get(name):
            if e.dxftype() == "INSERT" and plain(e, self.doc):
                self.keep(e.dxf.name, depth + 1)
        self.state[key] = True
        return True

    def names(self):
        return {k for k, v in self.state.items() if v is True}


def kept_inserts(doc):
    """The kept model-space inserts in file order, and the names (upper case) of kept blocks."""
    kept = Kept(doc)
    out = [e for e in doc.modelspace()
           if e.dxftype() == "INSERT" and plain(e, doc, True) and kept.keep(e.dxf.name, 0)]
    return out, kept.names()


def circles(insert, mm):
    """The insert's own arcs and circles in world coordinates by ezdxf's transformation, as
    sorted (x, y, radius) at real size (mm: millimetres per drawing unit)."""
    out = []
    for e in insert.virtual_entities():
        if e.dxftype() in ("ARC", "CIRCLE"):
            c = e.ocs().to_wcs(e.dxf.center)
            out.append((c.x * mm, c.y * mm, e.dxf.radius * mm))
    return sorted(out)


def compare_insert(src, back, mm):
    """Problems of a round-tripped insert against its source (real millimetres)."""
    s, b = src.dxf, back.dxf
    want = (s.insert.x * mm, s.insert.y * mm)
    got = (b.insert.x, b.insert.y)
    size = max(1.0, abs(want[0]), abs(want[1]))
    if math.dist(want, got) > 1e-6 * size:
        return [f"insert of {s.name} at {got}, not {want}"]
    try:
        a, c = circles(src, mm), circles(back, 1.0)
    except Exception as error:  # a transformation ezdxf does not do (non-uniform scaling)
        return [] if "scal" in str(error).lower() else [f"insert of {s.name}: {error}"]
    if len(a) != len(c):
        return [f"insert of {s.name}: {len(c)} arcs and circles, not {len(a)}"]
    for p, q in zip(a, c):
        if max(abs(u - v) for u, v in zip(p, q)) > 1e-6 * max(size, abs(p[0]), abs(p[1])):
            return [f"insert of {s.name}: an arc at {q}, not {p}"]
    return []


def kept_dimensions(doc):
    """Model space's linear and aligned dimensions seen from above: what a Jw_cad dimension
    holds."""
    out = []
    for e in doc.modelspace().query("DIMENSION"):
        if e.dxf.get("dimtype", 0) & 7 in (0, 1) and e.dxf.get("extrusion", (0, 0, 1))[2] > 0:
            out.append(e)
    return out


def compare_dimension(src, back, mm):
    """Problems of a dimension saved back: its extension lines' origins at the same real-size
    places, its dimension line through the same place in the same direction."""
    s, b = src.dxf, back.dxf
    first, second = s.defpoint2, s.defpoint3
    want = [(first.x * mm, first.y * mm), (second.x * mm, second.y * mm)]
    got = [(b.defpoint2.x, b.defpoint2.y), (b.defpoint3.x, b.defpoint3.y)]
    size = max(1.0, *(abs(v) for p in want for v in p))
    if any(math.dist(p, q) > 1e-6 * size for p, q in zip(want, got)):
        return [f"dimension {s.handle}: extension lines from {got}, not {want}"]
    if s.get("dimtype", 0) & 7 == 1:
        angle = math.atan2(second.y - first.y, second.x - first.x)
    else:
        angle = math.radians(s.get("angle", 0.0))
    u = (math.cos(angle), math.sin(angle))
    p = (s.defpoint.x * mm, s.defpoint.y * mm)
    off = (b.defpoint.x - p[0]) * u[1] - (b.defpoint.y - p[1]) * u[0]
    if abs(off) > 1e-6 * size:
        return [f"dimension {s.handle}: its line {off} mm off"]
    return []


# The Jw_cad record each kind of a dimension's block content becomes.
PART_CLASS = {"LINE": "CDataSen", "ARC": "CDataEnko", "CIRCLE": "CDataEnko",
              "SOLID": "CDataSolid", "TRACE": "CDataSolid", "TEXT": "CDataMoji",
              "MTEXT": "CDataMoji", "POINT": "CDataTen"}


def other_dimensions(doc):
    """Model space's dimensions other than linear and aligned (angular, radial, diameter,
    ordinate) seen from above, with their blocks (the board draws one without from its
    definition points, ezdxf nothing)."""
    return [e for e in doc.modelspace().query("DIMENSION")
            if e.dxf.get("dimtype", 0) & 7 not in (0, 1)
            and e.dxf.get("extrusion", (0, 0, 1))[2] > 0
            and doc.blocks.get(e.dxf.get("geometry", "")) is not None]


def dimension_parts(dimensions, mm):
    """What the dimensions' blocks draw, by ezdxf, nested inserts opened: the Jw_cad records
    expected (a Counter by class; a polyline's straight pieces lines) and their arcs and circles
    as sorted (x, y, radius, start degrees, sweep degrees) at real size."""
    import collections
    counts, arcs = collections.Counter(), []

    def walk(entities):
        for e in entities:
            kind = e.dxftype()
            if kind == "INSERT":
                walk(e.virtual_entities())
            elif kind == "LWPOLYLINE":
                counts["CDataSen"] += len(e) - (0 if e.closed else 1)
            elif kind == "MTEXT":
                counts["CDataMoji"] += len(e.plain_text().split("\n"))
            else:
                counts[PART_CLASS.get(kind, kind)] += 1
            if kind in ("ARC", "CIRCLE"):
                c = e.ocs().to_wcs(e.dxf.center)
                start, sweep = 0.0, 360.0
                if kind == "ARC":
                    # Seen from below (a mirrored insert) it runs clockwise from its start.
                    a, b = e.start_point, e.end_point
                    if e.dxf.extrusion.z < 0:
                        a, b = b, a
                    start = math.degrees(math.atan2(a.y - c.y, a.x - c.x)) % 360.0
                    sweep = (e.dxf.end_angle - e.dxf.start_angle) % 360.0 or 360.0
                arcs.append((c.x * mm, c.y * mm, e.dxf.radius * mm, start, sweep))

    for d in dimensions:
        walk(d.virtual_entities())
    return counts, sorted(arcs)


def dimensions_drawing(path):
    """A drawing of dimensions ezdxf makes (angular, radius, diameter), whose blocks also insert a
    block of an arc and a circle turned, mirrored and scaled: their parts must land where ezdxf
    puts them."""
    import ezdxf
    doc = ezdxf.new("R2010", setup=True)
    msp = doc.modelspace()
    mark = doc.blocks.new("MARK")
    mark.add_arc((1, 0), 2, 10, 100)
    mark.add_circle((0, 1), 0.5)
    mark.add_line((0, 0), (3, 0))
    dims = [msp.add_angular_dim_2l(base=(30, 30), line1=((0, 0), (50, 0)),
                                   line2=((0, 0), (40, 40))),
            msp.add_radius_dim(center=(100, 0), radius=20, angle=30),
            msp.add_diameter_dim(center=(200, 0), radius=15, angle=120)]
    for n, dim in enumerate(dims):
        dim.render()
        block = doc.blocks.get(dim.dimension.dxf.geometry)
        block.add_blockref("MARK", (10 * n, 5), dxfattribs={
            "xscale": -1.5 if n != 1 else 2.0, "yscale": 1.5 if n != 1 else 2.0,
            "rotation": 30.0 * (n + 1)})
    doc.saveas(path)

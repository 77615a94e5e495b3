"""What a DXF drawing's solid hatches fill, read with ezdxf and measured with matplotlib
(independently of the board): the area inside an odd number of boundary paths, and a drawing
ezdxf makes whose hatches have holes and islands."""
import ezdxf
from matplotlib.path import Path


def rings(hatch):
    """The hatch's boundary paths as vertex lists; None when one has curved pieces (whose
    flattening differs between programs)."""
    out = []
    for p in hatch.paths:
        if p.type == ezdxf.entities.BoundaryPathType.POLYLINE:
            if any(abs(v[2]) > 1e-12 for v in p.vertices):
                return None
            out.append([(v[0], v[1]) for v in p.vertices])
        elif all(e.type == ezdxf.entities.EdgeType.LINE for e in p.edges):
            out.append([(e.start[0], e.start[1]) for e in p.edges])
        else:
            return None
    return [r for r in out if len(r) >= 3]


def area(ring):
    return abs(sum(a[0] * b[1] - b[0] * a[1] for a, b in zip(ring, ring[1:] + ring[:1]))) / 2


def filled_area(paths):
    """Even-odd area of non-crossing rings: each ring's area, less when it lies inside an odd
    number of the others (a hole), more when inside an even number (an island)."""
    total = 0.0
    for i, ring in enumerate(paths):
        depth = 0
        for j, other in enumerate(paths):
            inside = Path(other).contains_points(ring)
            if j != i and inside.sum() * 2 > len(ring):
                depth += 1
        total += area(ring) * (-1 if depth % 2 else 1)
    return total


def solid_hatches(doc):
    """Model space's solid hatches with straight boundaries, as (hatch, filled area)."""
    out = []
    for h in doc.modelspace().query("HATCH"):
        paths = rings(h) if h.dxf.solid_fill else None
        if paths:
            out.append((h, filled_area(paths)))
    return out


def holed_drawing(path):
    """A drawing of solid hatches with holes and islands, outlines concave and convex."""
    doc = ezdxf.new("R2010")
    msp = doc.modelspace()
    shapes = [
        [[(0, 0), (100, 0), (100, 100), (0, 100)], [(30, 30), (70, 30), (70, 70), (30, 70)]],
        [[(200, 0), (300, 0), (300, 40), (240, 40), (240, 100), (200, 100)],
         [(260, 10), (290, 10), (290, 30), (260, 30)], [(210, 50), (230, 50), (220, 90)]],
        [[(400, 0), (500, 0), (500, 100), (400, 100)], [(420, 20), (480, 20), (480, 80), (420, 80)],
         [(440, 40), (460, 40), (460, 60), (440, 60)]],
    ]
    for shape in shapes:
        hatch = msp.add_hatch(color=1)
        for ring in shape:
            hatch.paths.add_polyline_path(ring, is_closed=True)
    doc.saveas(path)

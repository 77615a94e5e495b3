"""Checks a drawing saved after drawing along its polyline: the polyline is kept and the wave's
arcs, 60 of them for 300 units at a pitch of 5, have their chord ends on it."""
import math
import sys

import ezdxf

POLYLINE = [(0.0, 0.0), (100.0, 0.0), (100.0, 100.0), (200.0, 100.0)]


def distance_to_polyline(x: float, y: float) -> float:
    best = math.inf
    for (ax, ay), (bx, by) in zip(POLYLINE, POLYLINE[1:]):
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
        best = min(best, math.hypot(x - (ax + t * dx), y - (ay + t * dy)))
    return best


def main(path: str) -> int:
    document = ezdxf.readfile(path)
    auditor = document.audit()
    if auditor.has_errors:
        print(f"{path}: audit errors: {[str(e) for e in auditor.errors]}")
        return 1
    modelspace = document.modelspace()
    polylines = [e for e in modelspace if e.dxftype() == "LWPOLYLINE"]
    if len(polylines) != 1 or len(list(polylines[0].vertices())) != 4:
        print(f"{path}: the polyline did not come back as it was")
        return 1
    arcs = [e for e in modelspace if e.dxftype() == "ARC"]
    if len(arcs) != 60:
        print(f"{path}: {len(arcs)} arcs, expected 60")
        return 1
    for arc in arcs:
        for point in (arc.start_point, arc.end_point):
            if distance_to_polyline(point.x, point.y) > 1e-6:
                print(f"{path}: arc end {point} is off the polyline")
                return 1
    print(f"{path}: 60 arcs along the polyline")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))

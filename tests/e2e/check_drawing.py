"""Checks a drawing the program saved: an independent reader finds the wave it drew."""
import math
import sys

import ezdxf


def main(path: str, minimum_arcs: int) -> int:
    document = ezdxf.readfile(path)
    auditor = document.audit()
    if auditor.has_errors:
        print(f"{path}: audit errors: {[str(e) for e in auditor.errors]}")
        return 1
    arcs = [e for e in document.modelspace() if e.dxftype() == "ARC"]
    if len(arcs) < minimum_arcs:
        print(f"{path}: {len(arcs)} arcs, expected at least {minimum_arcs}")
        return 1
    # The default wave at 1:1: chord 5 mm, radius 4 mm, on layer 200 "地況線".
    for arc in arcs:
        if not math.isclose(arc.dxf.radius, 4.0, rel_tol=1e-9):
            print(f"{path}: arc radius {arc.dxf.radius}, expected 4")
            return 1
    layers = {layer.dxf.name for layer in document.layers}
    print(f"{path}: {len(arcs)} arcs; layers {sorted(layers)}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 2))

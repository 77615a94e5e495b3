#!/usr/bin/env python3
"""The batch command on drawings in other units and with a current layer, read back by ezdxf.

Usage: check_units_and_layer.py <pelimator-batch>. For each row, ezdxf writes a drawing with the
row's $INSUNITS and $CLAYER, the batch draws a wave along a straight path of exactly 12 pitches
at 1:500 with "Change" 0 in its settings, and ezdxf reads the result: 12 arcs, each spanning a
chord of 5 paper-mm at 1:500 in the drawing's unit, on the drawing's current layer, with the
header's $CLAYER and $INSUNITS as they were; the summary names the unit.
"""
import math
import os
import subprocess
import sys
import tempfile

import ezdxf

# $INSUNITS, millimetres in one unit, the symbol the summary shows ("" for none).
UNITS = [
    (None, 1.0, ""),  # the header names no unit: taken as millimetres, as before
    (0, 1.0, ""),
    (4, 1.0, "mm"),
    (5, 10.0, "cm"),
    (6, 1000.0, "m"),
    (1, 25.4, "in"),
    (2, 304.8, "ft"),
    (7, 1e6, "km"),
    (10, 914.4, "yd"),
    (21, 1200000.0 / 3937.0, "ft(US)"),
]


def run_row(batch, folder, code, millimetres, symbol, current):
    problems = []
    where = f"$INSUNITS {code}, $CLAYER {current!r}"
    doc = ezdxf.new("R2013")
    doc.layers.new("道路", dxfattribs={"color": 3})
    doc.layers.new("other")
    if code is None:
        del doc.header["$INSUNITS"]
    else:
        doc.header["$INSUNITS"] = code
    doc.header["$CLAYER"] = current
    doc.modelspace().add_line((0, 0), (1, 1), dxfattribs={"layer": "other"})
    source = os.path.join(folder, "in.dxf")
    doc.saveas(source)

    pitch = 5.0 * 500.0 / millimetres  # 5 mm at 1:500, in the drawing's unit
    angle = math.radians(37.0)
    length = 12 * pitch
    with open(os.path.join(folder, "points.txt"), "w") as f:
        f.write(f"{100 * pitch!r} {-3 * pitch!r}\n"
                f"{100 * pitch + length * math.cos(angle)!r} "
                f"{-3 * pitch + length * math.sin(angle)!r}\n")
    with open(os.path.join(folder, "settings.ini"), "w") as f:
        f.write("[Wave]\nWidth=5\nRadius=4\n[Layer]\nChange=0\nNumber=7\n")
    output = os.path.join(folder, "out.dxf")
    result = subprocess.run([batch, "--points", "points.txt", "--path", "0", "--scale", "500",
                             "--settings", "settings.ini", "-o", "out.dxf", "in.dxf"],
                            cwd=folder, capture_output=True, text=True)
    if result.returncode != 0:
        return [f"{where}: exit {result.returncode}: {result.stderr.strip()}"]
    shown = symbol if symbol else "指定なし"
    if f"図面の単位: {shown}" not in result.stderr:
        problems.append(f"{where}: the summary does not name the unit: {result.stderr!r}")

    after = ezdxf.readfile(output)
    for error in after.audit().errors:
        problems.append(f"{where}: audit error {error.code}: {error.message}")
    arcs = [e for e in after.modelspace() if e.dxftype() == "ARC"]
    if len(arcs) != 12:
        problems.append(f"{where}: {len(arcs)} arcs, expected 12")
    for arc in arcs:
        if arc.dxf.layer != current:
            problems.append(f"{where}: arc on {arc.dxf.layer!r}, not the current layer")
            break
        a, b = arc.start_point, arc.end_point
        chord = math.hypot(b.x - a.x, b.y - a.y)
        if abs(chord - pitch) > 1e-6 * pitch or abs(arc.dxf.radius - 0.8 * pitch) > 1e-6 * pitch:
            problems.append(f"{where}: chord {chord}, radius {arc.dxf.radius}; pitch {pitch}")
            break
    if after.header.get("$CLAYER") != current:
        problems.append(f"{where}: $CLAYER became {after.header.get('$CLAYER')!r}")
    if after.header.get("$INSUNITS") != doc.header.get("$INSUNITS"):
        problems.append(f"{where}: $INSUNITS became {after.header.get('$INSUNITS')!r}")
    if "7" in after.layers:
        problems.append(f"{where}: layer 7 made although Change is 0")
    return problems


def main():
    batch = sys.argv[1]
    problems = []
    with tempfile.TemporaryDirectory() as folder:
        for index, (code, millimetres, symbol) in enumerate(UNITS):
            current = "道路" if index % 2 == 0 else "other"
            try:
                problems += run_row(batch, folder, code, millimetres, symbol, current)
            except Exception as error:  # one row failing must not hide the others
                problems.append(f"$INSUNITS {code}: {type(error).__name__}: {error}")
    for problem in problems:
        print(problem)
    print(f"{len(UNITS)} rows, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Writes large drawings with dashed lines in the units site plans and building plans use, for the
fitted export comparison: site_metres.dxf (a 180 m x 120 m site in metres), plan_inches.dxf (a
50 ft plan in inches) and plan_feet.dxf (the same plan in feet). Each holds a solid boundary,
dashed lines across it, a dashed V-shaped polyline, a dashed circle and arc, and text.

Usage: make_big_drawings.py OUT_DIR"""
import os
import sys

import ezdxf

# name: (INSUNITS, size of the site in its units, dash and gap in its units)
DRAWINGS = {
    "site_metres": (6, (180.0, 120.0), (4.0, 2.0)),
    "plan_inches": (1, (600.0, 400.0), (12.0, 6.0)),
    "plan_feet": (2, (50.0, 33.0), (1.0, 0.5)),
}


def write(path, units, size, dash):
    doc = ezdxf.new("R2010")
    doc.header["$INSUNITS"] = units
    for style in doc.styles:
        style.dxf.font = "NotoSansCJK-Regular.ttc"
    doc.linetypes.new("SITEDASH", dxfattribs={"description": "__ __",
                                              "pattern": [dash[0] + dash[1], dash[0], -dash[1]]})
    doc.layers.new("BOUNDARY", dxfattribs={"color": 7})
    doc.layers.new("SETBACK", dxfattribs={"color": 1, "linetype": "SITEDASH"})
    msp = doc.modelspace()
    w, h = size
    msp.add_lwpolyline([(0, 0), (w, 0), (w, h), (0, h)], close=True,
                       dxfattribs={"layer": "BOUNDARY"})
    dashed = {"layer": "SETBACK"}
    # Long dashed lines across the whole site, one diagonal.
    msp.add_line((0.05 * w, 0.1 * h), (0.95 * w, 0.1 * h), dxfattribs=dashed)
    msp.add_line((0.1 * w, 0.05 * h), (0.1 * w, 0.95 * h), dxfattribs=dashed)
    msp.add_line((0.05 * w, 0.05 * h), (0.95 * w, 0.9 * h), dxfattribs=dashed)
    # A dashed V.
    msp.add_lwpolyline([(0.3 * w, 0.8 * h), (0.45 * w, 0.3 * h), (0.6 * w, 0.8 * h)],
                       dxfattribs=dashed)
    msp.add_circle((0.8 * w, 0.3 * h), 0.12 * h, dxfattribs=dashed)
    msp.add_arc((0.75 * w, 0.7 * h), 0.15 * h, 20, 160, dxfattribs=dashed)
    # Text well above the lines (a dash clamped into the text showed up there).
    msp.add_text("配置図 SITE", height=0.05 * h,
                 dxfattribs={"layer": "BOUNDARY"}).set_placement((0.15 * w, 0.88 * h))
    doc.saveas(path)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        print(__doc__)
        sys.exit(2)
    os.makedirs(sys.argv[1], exist_ok=True)
    for name, (units, size, dash) in DRAWINGS.items():
        write(os.path.join(sys.argv[1], name + ".dxf"), units, size, dash)

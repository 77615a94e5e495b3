#!/usr/bin/env python3
"""Writes small DXF files that ask for a great deal of drawing work (work bombs).

hatch:  a block holding a HATCH with a 20,000-vertex boundary and 20 pattern families (about
        1,960 lines each), inserted by one MINSERT of ROWS x COLUMNS (about 0.9 MB).
mtext:  one MTEXT of 400,000 characters in a frame one character wide, inserted through a block
        by a MINSERT of 10 x 10.
Both also hold a polyline along which the batch can draw.

Usage: make_bombs.py KIND OUT.dxf [ROWS COLUMNS]
"""
import math
import sys

import ezdxf


def hatch_block(doc):
    block = doc.blocks.new("BOMB")
    hatch = block.add_hatch(color=3)
    n = 20_000
    hatch.paths.add_polyline_path(
        [(980.0 * math.cos(2 * math.pi * k / n), 980.0 * math.sin(2 * math.pi * k / n))
         for k in range(n)])
    # 20 families of solid lines one unit apart, each at its own angle.
    hatch.set_pattern_fill("BOMB", definition=[
        [9.0 * f, (0.0, 0.0), (-math.sin(math.radians(9.0 * f)),
                               math.cos(math.radians(9.0 * f))), []] for f in range(20)])


def mtext_block(doc):
    block = doc.blocks.new("BOMB")
    block.add_mtext("あ" * 400_000, dxfattribs={"char_height": 1.0, "width": 1.0})


def main():
    kind, out = sys.argv[1], sys.argv[2]
    rows = int(sys.argv[3]) if len(sys.argv) > 3 else (100 if kind == "hatch" else 10)
    columns = int(sys.argv[4]) if len(sys.argv) > 4 else rows
    doc = ezdxf.new("R2000")
    doc.header["$INSUNITS"] = 4  # millimetres, as its sizes are meant (ezdxf's default is metres)
    {"hatch": hatch_block, "mtext": mtext_block}[kind](doc)
    msp = doc.modelspace()
    insert = msp.add_blockref("BOMB", (0.0, 0.0))
    insert.dxf.row_count = rows
    insert.dxf.column_count = columns
    insert.dxf.row_spacing = 2000.0
    insert.dxf.column_spacing = 2000.0
    msp.add_lwpolyline([(0.0, -2000.0), (4000.0, -2000.0), (8000.0, -2500.0)])
    doc.saveas(out)


if __name__ == "__main__":
    main()

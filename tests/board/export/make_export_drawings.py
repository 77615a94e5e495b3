#!/usr/bin/env python3
"""Writes the drawings the export comparison adds to the corpus: texts.dxf (TEXT in every
alignment, rotated, widened and slanted; MTEXT paragraphs and wrapping; a dimension; a block
with an attribute; Japanese) and dashed.dxf (LINE, LWPOLYLINE, POLYLINE, ARC and CIRCLE in a
dashed linetype of their own, by layer and scaled by $LTSCALE and their own scale).

Usage: make_export_drawings.py TEXTS.dxf DASHED.dxf"""
import os
import sys

import ezdxf
from ezdxf.enums import TextEntityAlignment

ALIGNMENTS = [
    "LEFT", "CENTER", "RIGHT", "ALIGNED", "MIDDLE", "FIT",
    "BOTTOM_LEFT", "BOTTOM_CENTER", "BOTTOM_RIGHT", "MIDDLE_LEFT", "MIDDLE_CENTER",
    "MIDDLE_RIGHT", "TOP_LEFT", "TOP_CENTER", "TOP_RIGHT",
]


def texts(path):
    doc = ezdxf.new("R2010", setup=True)
    for style in doc.styles:
        style.dxf.font = "NotoSansCJK-Regular.ttc"
    msp = doc.modelspace()
    for i, name in enumerate(ALIGNMENTS):
        x, y = (i % 3) * 120.0, -(i // 3) * 40.0
        msp.add_line((x - 5, y), (x + 5, y))
        msp.add_line((x, y - 5), (x, y + 5))
        text = msp.add_text(f"揃え {name}", height=5.0,
                            dxfattribs={"rotation": 10.0 * (i % 4), "width": 1.0 + 0.1 * (i % 3),
                                        "oblique": 15.0 if i % 5 == 0 else 0.0})
        alignment = TextEntityAlignment[name]
        if name in ("ALIGNED", "FIT"):
            text.set_placement((x, y), (x + 80, y + 10 * (i % 2)), align=alignment)
        else:
            text.set_placement((x, y), align=alignment)
    mtext = msp.add_mtext("平面図 1 階\\P二行目の段落は長いので枠の幅で折り返されます wrapping "
                          "words here", dxfattribs={"char_height": 4.0, "width": 70.0})
    mtext.set_location((0, -230), attachment_point=1)
    block = doc.blocks.new("ROOM")
    block.add_lwpolyline([(0, 0), (40, 0), (40, 25), (0, 25)], close=True)
    block.add_attdef("NAME", (4, 10), dxfattribs={"height": 4.0})
    msp.add_blockref("ROOM", (150, -250)).add_auto_attribs({"NAME": "居間"})
    dim = msp.add_linear_dim(base=(250, -215), p1=(230, -240), p2=(330, -240),
                             override={"dimtxt": 5.0, "dimasz": 3.0, "dimlfac": 1.0})
    dim.render()
    doc.saveas(path)


def dashed(path):
    doc = ezdxf.new("R2010")
    doc.header["$LTSCALE"] = 2.0
    doc.linetypes.new("BIGDASH", dxfattribs={"description": "__ __", "pattern": [30.0, 20.0, -10.0]})
    doc.linetypes.new("DASHDOT", dxfattribs={"description": "_ .", "pattern": [14.0, 10.0, -2.0, 0.0, -2.0]})
    doc.layers.new("DASHED_LAYER", dxfattribs={"color": 1, "linetype": "BIGDASH"})
    msp = doc.modelspace()
    own = {"linetype": "DASHDOT"}
    layer = {"layer": "DASHED_LAYER"}
    scaled = {"linetype": "BIGDASH", "ltscale": 0.5}
    for row, attribs in enumerate((own, layer, scaled)):
        y = -row * 120.0
        msp.add_line((0, y), (200, y), dxfattribs=attribs)
        msp.add_lwpolyline([(0, y - 20), (60, y - 20), (60, y - 60), (200, y - 60)], dxfattribs=attribs)
        msp.add_polyline2d([(220, y), (300, y - 40), (380, y)], dxfattribs=attribs)
        msp.add_arc((260, y - 60), 35, 200, 340, dxfattribs=attribs)
        msp.add_circle((440, y - 30), 40, dxfattribs=attribs)
    doc.saveas(path)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        print(__doc__)
        sys.exit(2)
    for target in sys.argv[1:]:
        os.makedirs(os.path.dirname(os.path.abspath(target)), exist_ok=True)
    texts(sys.argv[1])
    dashed(sys.argv[2])

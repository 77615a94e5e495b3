#!/usr/bin/env python3
"""Writes a drawing with what the board shows beneath its own lines and arcs: Japanese text and
MTEXT, nested blocks with attributes, arrays and mirrored inserts, a dimension, a leader, a spline,
ellipses, hatches, solids, 3-D faces, points, wide polylines, linetypes, true colour and layers
that are off or frozen. Usage: make_rich_drawing.py OUT.dxf [PLAN.dxf]; the second is a small plan of rooms, door
symbols and room names in a grid of inserts."""
import math
import os
import sys

import ezdxf
from ezdxf.enums import TextEntityAlignment


def main(out):
    doc = ezdxf.new("R2010", setup=True)
    doc.header["$LTSCALE"] = 1.0
    doc.layers.add("壁", color=5)
    doc.layers.add("文字", color=1)
    doc.layers.add("設備", true_color=ezdxf.rgb2int((0, 128, 64)))
    off = doc.layers.add("非表示", color=3)
    off.off()
    frozen = doc.layers.add("凍結", color=4)
    frozen.freeze()
    msp = doc.modelspace()

    # The board's own lines and arcs.
    msp.add_line((0, 0), (200, 0), dxfattribs={"layer": "壁"})
    msp.add_line((200, 0), (200, 120), dxfattribs={"layer": "壁"})
    msp.add_arc((100, 120), 100, 0, 180, dxfattribs={"layer": "壁"})

    # Text: alignments, rotation, width factor, specials.
    msp.add_text("平面図 1:100", height=6, dxfattribs={"layer": "文字"}).set_placement((10, 10))
    msp.add_text("中央揃え", height=4, dxfattribs={"layer": "文字", "width": 0.8}).set_placement(
        (100, 30), align=TextEntityAlignment.MIDDLE_CENTER)
    msp.add_text("右上 %%c50 45%%d ±%%p1", height=3, dxfattribs={"layer": "文字", "rotation": 30}
                 ).set_placement((190, 40), align=TextEntityAlignment.TOP_RIGHT)
    msp.add_text("非表示の文字", height=5, dxfattribs={"layer": "非表示"}).set_placement((20, 60))
    msp.add_text("凍結の文字", height=5, dxfattribs={"layer": "凍結"}).set_placement((20, 70))
    msp.add_mtext("{\\H1.5x;見出し}\\P本文の二行目\\P\\C3;緑の三行目 \\S1/2;",
                  dxfattribs={"layer": "文字", "char_height": 3, "insert": (120, 100),
                              "attachment_point": 1})

    # Blocks: a nested symbol with an attribute.
    inner = doc.blocks.new("INNER")
    inner.add_circle((0, 0), 2, dxfattribs={"color": 0})
    inner.add_line((-3, 0), (3, 0), dxfattribs={"color": 0})
    sym = doc.blocks.new("SYMBOL", base_point=(0, 0))
    sym.add_lwpolyline([(-5, -5), (5, -5), (5, 5), (-5, 5)], close=True)
    sym.add_blockref("INNER", (0, 0), dxfattribs={"xscale": 1.5, "yscale": 1.5})
    sym.add_attdef("NO", (0, -9), dxfattribs={"height": 2.5})
    for i in range(4):
        ref = msp.add_blockref("SYMBOL", (30 + 25 * i, 80), dxfattribs={
            "layer": "設備", "rotation": 15 * i, "xscale": 1 + 0.2 * i, "yscale": 1 + 0.2 * i})
        ref.add_auto_attribs({"NO": f"機器{i + 1}"})
    # An array and a mirrored insert (extrusion 0,0,-1).
    msp.add_blockref("INNER", (230, 10), dxfattribs={
        "column_count": 3, "row_count": 2, "column_spacing": 8, "row_spacing": 8, "color": 6})
    msp.add_blockref("SYMBOL", (-30, 40), dxfattribs={"extrusion": (0, 0, -1), "color": 2})

    # A dimension and a leader.
    dim = msp.add_linear_dim(base=(0, -15), p1=(0, 0), p2=(200, 0), dxfattribs={"layer": "壁"})
    dim.render()
    msp.add_leader([(150, 60), (165, 75), (180, 75)], dxfattribs={"layer": "文字"})

    # Curves.
    msp.add_spline([(0, 140), (30, 170), (60, 130), (90, 160), (120, 140)],
                   dxfattribs={"color": 30})
    msp.add_ellipse((250, 80), major_axis=(30, 10), ratio=0.5, dxfattribs={"color": 5})
    msp.add_ellipse((250, 130), major_axis=(0, 20), ratio=0.4, start_param=0,
                    end_param=math.pi, dxfattribs={"color": 1})
    msp.add_circle((250, 40), 12, dxfattribs={"linetype": "DASHED", "color": 1})

    # Fills and outlines.
    hatch = msp.add_hatch(color=8)
    hatch.paths.add_polyline_path([(210, 150), (240, 150), (240, 175), (210, 175)], is_closed=True)
    pattern = msp.add_hatch(color=3)
    pattern.set_pattern_fill("ANSI31", scale=2)
    pattern.paths.add_polyline_path([(250, 150), (290, 150), (290, 175), (250, 175)],
                                    is_closed=True)
    msp.add_solid([(-40, 0), (-20, 0), (-40, 15), (-20, 15)], dxfattribs={"color": 1})
    msp.add_3dface([(-40, 20), (-20, 20), (-20, 30), (-40, 30)], dxfattribs={"color": 5})
    msp.add_point((-30, -10), dxfattribs={"color": 1})
    msp.add_lwpolyline([(0, -40), (60, -40), (60, -25)], dxfattribs={"const_width": 2,
                                                                      "color": 4})
    msp.add_lwpolyline([(80, -40), (140, -40)], format="xyseb",
                       dxfattribs={"true_color": ezdxf.rgb2int((200, 100, 0))})
    doc.saveas(out)


def plan(out):
    doc = ezdxf.new("R2013", setup=True)
    doc.layers.add("部屋", color=7)
    doc.layers.add("建具", color=1)
    msp = doc.modelspace()
    door = doc.blocks.new("DOOR")
    door.add_line((0, 0), (9, 0))
    door.add_arc((0, 0), 9, 0, 90)
    room = doc.blocks.new("ROOM")
    room.add_lwpolyline([(0, 0), (40, 0), (40, 30), (0, 30)], close=True,
                        dxfattribs={"const_width": 0.5})
    room.add_blockref("DOOR", (5, 0), dxfattribs={"layer": "建具"})
    room.add_attdef("NAME", (20, 15), dxfattribs={"height": 3})
    names = ["居間", "台所", "寝室", "浴室", "玄関", "書斎"]
    for i, name in enumerate(names):
        ref = msp.add_blockref("ROOM", (45 * (i % 3), 35 * (i // 3)), dxfattribs={"layer": "部屋"})
        ref.add_auto_attribs({"NAME": name})
    msp.add_blockref("DOOR", (150, 0), dxfattribs={"column_count": 4, "row_count": 3,
                                                    "column_spacing": 12, "row_spacing": 12,
                                                    "rotation": 10, "color": 5})
    msp.add_text("一階平面図", height=5).set_placement((60, -12), align=TextEntityAlignment.CENTER)
    hatch = msp.add_hatch(color=252)
    hatch.paths.add_polyline_path([(0, -30), (40, -30), (40, -20), (0, -20)], is_closed=True)
    msp.add_ellipse((190, -20), major_axis=(15, 5), ratio=0.6, dxfattribs={"color": 3})
    doc.saveas(out)


if __name__ == "__main__":
    os.makedirs(os.path.dirname(os.path.abspath(sys.argv[1])), exist_ok=True)
    main(sys.argv[1])
    if len(sys.argv) > 2:
        plan(sys.argv[2])

#!/usr/bin/env python3
"""Writes the DXF corpus that the round-trip checks open, save and compare.

Every drawing is made by ezdxf at test time: one per DXF version, Shift-JIS drawings with and
without $DWGCODEPAGE (Japanese programs often leave it out) and one binary DXF. Each holds the
kinds of content a drafter's drawing brings from other programs; kinds a version cannot hold
(R12 has no MTEXT, LWPOLYLINE, HATCH, SPLINE, ELLIPSE, objects or extension dictionaries) are
left out there.

Usage: make_corpus.py OUTDIR [NAME ...]   (all drawings when no name is given)
"""
import math
import sys
from pathlib import Path

import ezdxf
from ezdxf.lldxf.const import DXF2000, DXF2004

from corpus_table import BY_NAME, CORPUS, CorpusDrawing

APP_ID = "CORPUS_APP"
# ezdxf 0.18 writes names a pre-2007 code page cannot hold as \U+XXXX escapes and then refuses
# to read them back, so drawings in the western page use these ASCII names instead; their
# Japanese text (TEXT, MTEXT, attributes, extended data) stays, written as \U+XXXX.
ASCII_NAMES = {
    "壁芯": "WALL", "寸法線": "DIMENSIONS", "文字": "TEXT", "ハッチ": "HATCHING",
    "建具": "FITTINGS", "非表示の画層": "HIDDEN_LAYER", "破線_社内": "DASHED_HOUSE",
    "一点鎖線_社内": "CENTER_HOUSE", "日本語": "JAPANESE", "ゴシック": "GOTHIC", "扉": "DOOR",
    "窓と扉": "WINDOW_AND_DOOR", "番号": "NUMBER", "材質": "MATERIAL", "配置図2": "LAYOUT_2",
    "作成者": "AUTHOR",
}


def names(doc):
    """name(japanese): a table, block or tag name as this drawing can hold it."""
    western = doc.dxfversion < "AC1021" and doc.encoding != "cp932"
    return lambda japanese: ASCII_NAMES.get(japanese, japanese) if western else japanese


# Layers a drafter's drawing typically has: name, colour, linetype, lineweight (R2000 on), true
# colour (R2004 on).
LAYERS = [
    ("壁芯", 1, "破線_社内", 25, None),
    ("寸法線", 3, "Continuous", 18, None),
    ("文字", 7, "Continuous", 35, (200, 120, 40)),
    ("ハッチ", 8, "Continuous", 13, None),
    ("建具", 4, "一点鎖線_社内", 50, (10, 200, 240)),
    ("非表示の画層", 5, "Continuous", 9, None),
]


def add_tables(doc):
    n = names(doc)
    doc.appids.new(APP_ID)
    doc.linetypes.new(n("破線_社内"), dxfattribs={
        "description": "破線 __ __ __", "pattern": [10.0, 6.0, -4.0]})
    doc.linetypes.new(n("一点鎖線_社内"), dxfattribs={
        "description": "一点鎖線 ____ _ ____", "pattern": [20.0, 12.0, -3.0, 2.0, -3.0]})
    for name, colour, linetype, lineweight, rgb in LAYERS:
        layer = doc.layers.new(n(name), dxfattribs={"color": colour, "linetype": n(linetype)})
        if doc.dxfversion >= DXF2000:
            layer.dxf.lineweight = lineweight
        if rgb is not None and doc.dxfversion >= DXF2004:
            layer.rgb = rgb
    doc.layers.get(n("非表示の画層")).off()
    doc.styles.new(n("日本語"), dxfattribs={
        "font": "txt.shx", "bigfont": "extfont2.shx", "height": 0.0, "width": 0.8})
    if doc.dxfversion >= DXF2000:
        doc.styles.new(n("ゴシック"), dxfattribs={"font": "msgothic.ttc"})
    doc.header["$INSUNITS"] = 4
    doc.header["$LTSCALE"] = 2.5
    doc.header["$TEXTSTYLE"] = n("日本語")
    if doc.dxfversion >= DXF2004:
        doc.header.custom_vars.append(n("作成者"), "図面テスト")


def xdata(*extra):
    """Extended data as Japanese programs attach it: text, numbers, a point, a list."""
    return [(1000, "属性データ 一"), (1002, "{"), (1070, 12), (1040, 3.25), (1002, "}"),
            (1010, (1.5, 2.5, 0.0)), (1071, 123456), *extra]


def add_extension_dict(doc, entity, label):
    """An extension dictionary holding one XRECORD, as add-on programs keep their data."""
    if doc.dxfversion < DXF2000:
        return
    xdict = entity.new_extension_dict()
    record = xdict.add_xrecord("CORPUS_DATA")
    record.reset([(1, label), (40, 2.75), (70, 3), (10, (4.0, 5.0, 0.0))])


def add_blocks(doc, msp):
    """A door with attributes, nested in a window block; inserts of both in model space."""
    n = names(doc)
    door = doc.blocks.new(n("扉"), base_point=(0, 0))
    door.add_line((0, 0), (0, 900), dxfattribs={"layer": "0"})
    door.add_arc((0, 0), 900, 0, 90, dxfattribs={"color": 0})  # colour BYBLOCK
    door.add_attdef(n("番号"), (100, 100), dxfattribs={
        "height": 50, "prompt": "扉の番号", "style": n("日本語")})
    door.add_attdef(n("材質"), (100, 200), dxfattribs={"height": 50, "prompt": "材質"})

    window = doc.blocks.new(n("窓と扉"), base_point=(10, 20))
    window.add_polyline2d([(0, 0), (1200, 0), (1200, 100), (0, 100)], close=True)
    nested = window.add_blockref(n("扉"), (1300, 0), dxfattribs={"rotation": 90, "xscale": 0.8})
    nested.add_auto_attribs({n("番号"): "D-1", n("材質"): "木製"})
    window.add_text("窓", dxfattribs={"insert": (0, 150), "height": 80, "style": n("日本語")})

    for i, (x, y) in enumerate([(5000, 0), (5000, 3000)]):
        msp.add_blockref(n("窓と扉"), (x, y), dxfattribs={"layer": n("建具"), "rotation": 15.0 * i})
    door_ref = msp.add_blockref(n("扉"), (8000, 0), dxfattribs={"layer": n("建具"), "xscale": -1})
    door_ref.add_auto_attribs({n("番号"): "D-2", n("材質"): "スチール"})
    door_ref.set_xdata(APP_ID, xdata((1000, "扉の参照")))


def add_plain_geometry(doc, msp):
    """LINE, ARC, CIRCLE, POINT, SOLID and old-style polylines with their own properties."""
    n = names(doc)
    wall = {"layer": n("壁芯")}
    line = msp.add_line((0, 0), (3000, 0), dxfattribs=wall)
    line.set_xdata(APP_ID, xdata((1000, "壁の線")))
    add_extension_dict(doc, line, "線の拡張データ")
    msp.add_line((0, 0, 0), (0, 3000, 250), dxfattribs={
        **wall, "color": 2, "linetype": n("一点鎖線_社内"), "thickness": 120.0})
    msp.add_arc((1500, 1500), 600, 10, 170, dxfattribs={**wall, "color": 6})
    circle = msp.add_circle((400, 400), 150, dxfattribs={
        "layer": n("建具"), "extrusion": (0, 0, -1)})
    circle.set_xdata(APP_ID, xdata())
    add_extension_dict(doc, circle, "円")
    msp.add_circle((800, 400), 80, dxfattribs={"color": 256})  # explicitly BYLAYER
    msp.add_point((100, 2000, 5), dxfattribs={**wall, "color": 1})
    msp.add_solid([(0, -500), (400, -500), (0, -300), (400, -300)],
                  dxfattribs={"layer": n("ハッチ"), "color": 8})
    msp.add_polyline2d([(0, 4000, 0, 0, 0.5), (1000, 4000, 10, 20, 0), (1000, 5000, 0, 0, -1.0),
                        (0, 5000, 0, 0, 0)], format="xyseb", close=True, dxfattribs=wall)
    msp.add_polyline3d([(0, 0, 0), (100, 100, 50), (200, 0, 100)], dxfattribs={"color": 5})
    if doc.dxfversion >= DXF2000:
        line.dxf.lineweight = 35
        circle.dxf.lineweight = 50
    if doc.dxfversion >= DXF2004:
        line.rgb = (255, 128, 0)
        circle.rgb = (12, 34, 56)
        circle.transparency = 0.5


def add_text(doc, msp):
    n = names(doc)
    text = msp.add_text("壁の中心線 W=120", dxfattribs={
        "layer": n("文字"), "height": 250, "style": n("日本語"), "rotation": 30})
    text.set_placement((200, 6000), align=ezdxf.enums.TextEntityAlignment.MIDDLE_CENTER)
    text.set_xdata(APP_ID, xdata((1000, "文字の属性")))
    msp.add_text("English and 半角ｶﾅ and ①②", dxfattribs={"insert": (200, 6500), "height": 100})
    if doc.dxfversion >= DXF2000:
        mtext = msp.add_mtext(
            "{\\fMS Gothic|b0|i0|c128;一階平面図}\\P縮尺 1:100\\P\\C1;赤い文字\\C256; 終わり",
            dxfattribs={"layer": n("文字"), "char_height": 200, "width": 3000,
                        "insert": (200, 7000), "style": n("ゴシック")})
        add_extension_dict(doc, mtext, "複数行文字")
        mtext.set_xdata(APP_ID, xdata())


def add_dimensions(doc, msp):
    attribs = {"layer": names(doc)("寸法線")}
    msp.add_linear_dim(base=(0, -1000), p1=(0, 0), p2=(3000, 0), dxfattribs=attribs).render()
    msp.add_aligned_dim(p1=(0, 0), p2=(0, 3000), distance=500, dxfattribs=attribs,
                        override={"dimtxt": 150}).render()
    msp.add_radius_dim(center=(1500, 1500), radius=600, angle=45, dxfattribs=attribs).render()


def add_r2000_kinds(doc, msp):
    """The kinds R12 cannot hold: LWPOLYLINE, HATCH, SPLINE, ELLIPSE."""
    n = names(doc)
    polyline = msp.add_lwpolyline(
        [(0, 8000, 0, 0, 0.0), (1000, 8000, 20, 40, 0.5), (2000, 9000, 40, 40, -0.25),
         (3000, 8000, 0, 10, 0.0)],
        format="xyseb", dxfattribs={"layer": n("壁芯"), "const_width": 0.0, "elevation": 12.5})
    polyline.set_xdata(APP_ID, xdata((1000, "ポリライン")))
    add_extension_dict(doc, polyline, "ポリライン")
    msp.add_lwpolyline([(4000, 8000), (5000, 8000), (5000, 9000)], close=True,
                       dxfattribs={"color": 3, "linetype": "DASHED", "lineweight": 30})

    solid_fill = msp.add_hatch(color=2, dxfattribs={"layer": n("ハッチ")})
    solid_fill.paths.add_polyline_path([(0, 10000), (1000, 10000, 0.5), (1000, 11000),
                                        (0, 11000)], is_closed=True)
    pattern = msp.add_hatch(dxfattribs={"layer": n("ハッチ")})
    pattern.set_pattern_fill("ANSI31", scale=20.0, angle=15.0)
    edges = pattern.paths.add_edge_path()
    edges.add_line((2000, 10000), (3000, 10000))
    edges.add_arc((3000, 10500), 500, -90, 90)
    edges.add_line((3000, 11000), (2000, 11000))
    edges.add_line((2000, 11000), (2000, 10000))
    pattern.set_seed_points([(2500, 10500)])
    pattern.set_xdata(APP_ID, xdata())

    msp.add_spline([(0, 12000), (500, 12500), (1000, 12000), (1500, 12800), (2000, 12000)],
                   dxfattribs={"layer": n("壁芯"), "color": 4})
    rational = msp.add_rational_spline(
        [(3000, 12000), (3500, 13000), (4000, 12000), (4500, 13000)], weights=[1, 0.5, 2, 1],
        degree=3, dxfattribs={"linetype": "DASHED"})
    add_extension_dict(doc, rational, "スプライン")

    msp.add_ellipse((6000, 12000), major_axis=(800, 300), ratio=0.4, start_param=0.3,
                    end_param=math.pi * 1.5, dxfattribs={"layer": n("建具")})


def add_paper_space(doc):
    """A title block in the first paper-space layout and, from R2000 on, a second layout."""
    n = names(doc)
    paper = doc.layout()
    paper.add_line((0, 0), (420, 0), dxfattribs={"layer": "0"})
    paper.add_text("表題欄 図面名", dxfattribs={"insert": (10, 10), "height": 5,
                                               "style": n("日本語")})
    paper.add_circle((200, 150), 20).set_xdata(APP_ID, xdata())
    if doc.dxfversion >= DXF2000:
        second = doc.layouts.new(n("配置図2"))
        second.add_line((0, 0), (297, 210), dxfattribs={"color": 1})
        second.add_mtext("二枚目の配置", dxfattribs={"insert": (20, 180), "char_height": 4})


def build(drawing: CorpusDrawing):
    doc = ezdxf.new(drawing.version, setup=True)
    if drawing.code_page == "ANSI_932":
        doc.encoding = "cp932"  # ezdxf writes $DWGCODEPAGE from it
    add_tables(doc)
    msp = doc.modelspace()
    add_plain_geometry(doc, msp)
    add_blocks(doc, msp)
    add_text(doc, msp)
    add_dimensions(doc, msp)
    if doc.dxfversion >= DXF2000:
        add_r2000_kinds(doc, msp)
    add_paper_space(doc)
    assert doc.dxfversion == drawing.version
    return doc


def drop_code_page(data: bytes) -> bytes:
    """The same file without the $DWGCODEPAGE header variable."""
    for newline in (b"\r\n", b"\n"):
        lines = data.split(newline)
        for i in range(len(lines) - 3):
            if lines[i].strip() == b"9" and lines[i + 1].strip() == b"$DWGCODEPAGE":
                del lines[i:i + 4]
                return newline.join(lines)
    raise ValueError("no $DWGCODEPAGE in the written file")


def write(drawing: CorpusDrawing, path: Path) -> None:
    doc = build(drawing)
    if drawing.binary:
        doc.saveas(path, fmt="bin")
        return
    doc.saveas(path)
    if drawing.drop_code_page:
        path.write_bytes(drop_code_page(path.read_bytes()))


def main(argv):
    if len(argv) < 2:
        print(__doc__)
        return 2
    out = Path(argv[1])
    out.mkdir(parents=True, exist_ok=True)
    for name in argv[2:] or [d.name for d in CORPUS]:
        write(BY_NAME[name], out / f"{name}.dxf")
        print(out / f"{name}.dxf")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

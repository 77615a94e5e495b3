#!/usr/bin/env python3
"""Records seen from below (extrusion or normal 0, 0, -1) and the kinds a mirror turns over, made
one per named row in one drawing, then erased, moved, copied, turned, put on another layer,
mirrored and scaled through the program and each compared with ezdxf's transform of the original
(check_all_edits). A row fails when a problem names its record, or when it is refused.

Usage: check_upside_down.py WORKDIR DXF_CORPUS_EDIT_ALL   (exit 77 when ezdxf is missing)
"""
import sys
from pathlib import Path

try:
    import ezdxf
    from ezdxf.math import Vec3
except ImportError:
    print("ezdxf is not installed")
    sys.exit(77)

sys.path.insert(0, str(Path(__file__).resolve().parent))
import check_all_edits  # noqa: E402

BELOW = {"extrusion": (0, 0, -1)}


def mtext(msp, **attribs):
    return msp.add_mtext("上と下\\P二行目", dxfattribs={"char_height": 2.5, **attribs})


def leader(msp, **attribs):
    entity = msp.add_leader([(10, 40), (14, 46), (22, 46)], dxfattribs=attribs)
    return entity


def shape(msp, **attribs):
    return msp.add_shape("ARROW", insert=(30, 12), size=3.0,
                         dxfattribs={"rotation": 25.0, **attribs})


def block_with_a_corner(doc):
    block = doc.blocks.new("CORNER")
    block.add_line((0, 0), (4, 0))
    block.add_line((0, 0), (0, 2))
    block.add_circle((3, 1), 0.5)


# name: what the row makes (its record returned).
ROWS = {
    "MtextBelowByAngle": lambda msp: mtext(msp, insert=(5, 5), rotation=30.0,
                                           attachment_point=1, **BELOW),
    "MtextBelowByAngleLeftwards": lambda msp: mtext(msp, insert=(8, 20), rotation=160.0,
                                                    attachment_point=6, **BELOW),
    "MtextBelowByDirection": lambda msp: mtext(msp, insert=(15, 5), text_direction=(0.6, 0.8, 0),
                                               attachment_point=7, **BELOW),
    "MtextBelowWithNeither": lambda msp: mtext(msp, insert=(25, 5), attachment_point=3, **BELOW),
    "LeaderBelow": lambda msp: leader(msp, normal_vector=(0, 0, -1)),
    "LeaderBelowWithDirection": lambda msp: leader(msp, normal_vector=(0, 0, -1),
                                                   horizontal_direction=(0, 1, 0)),
    "LeaderAbove": lambda msp: leader(msp),
    "TextBelowLeft": lambda msp: msp.add_text("左寄せ", dxfattribs={
        "insert": (-4, 3, 0), "height": 2.0, "rotation": 20.0, **BELOW}),
    "TextBelowRight": lambda msp: msp.add_text("右寄せ", dxfattribs={
        "insert": (-9, 12, 0), "align_point": (-9, 12, 0), "halign": 2, "height": 2.0,
        "rotation": 200.0, **BELOW}),
    "InsertBelow": lambda msp: msp.add_blockref("CORNER", (12, -6), dxfattribs={
        "rotation": 15.0, "xscale": 2.0, "yscale": 1.0, **BELOW}),
    "ArcBelow": lambda msp: msp.add_arc((-20, 4), 3.0, 10.0, 120.0, dxfattribs=BELOW),
    "LwpolylineBelow": lambda msp: msp.add_lwpolyline(
        [(1, 1, 0, 0, 0.4), (6, 2, 0, 0, -0.7), (9, 7, 0, 0, 0)], format="xyseb",
        dxfattribs={"elevation": 1.5, **BELOW}),
    "ShapeAboveOblique": lambda msp: shape(msp, oblique=15.0, xscale=0.8),
    "ShapeBelowOblique": lambda msp: shape(msp, oblique=-10.0, **BELOW),
}


def main(argv) -> int:
    if len(argv) != 3:
        print(__doc__)
        return 2
    work = Path(argv[1]) / "upside_down_edits"
    work.mkdir(parents=True, exist_ok=True)
    doc = ezdxf.new("R2010")
    block_with_a_corner(doc)
    msp = doc.modelspace()
    handles = {name: make(msp).dxf.handle for name, make in ROWS.items()}
    drawing = work / "upside_down.dxf"
    doc.saveas(drawing)
    refused = []
    problems, edits = check_all_edits.check(drawing, work, argv[2], refused)
    problems += [f"#{row['handle']}: refused: {row['refusal']}" for row in refused]
    failed = 0
    for name, handle in handles.items():
        mine = [p for p in problems if f"#{handle}:" in p or f"#{handle} " in p]
        status = "ok" if not mine else "FAILED"
        failed += bool(mine)
        print(f"{status}: {name} (#{handle})")
        for problem in mine[:6]:
            print(f"    {problem}")
    others = [p for p in problems if not any(f"#{h}:" in p or f"#{h} " in p
                                             for h in handles.values())]
    for problem in others:
        print(f"other: {problem}")
    print(f"{len(ROWS)} rows, {edits} edits checked, {failed} rows failed, "
          f"{len(others)} other problems")
    return 1 if failed or others else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

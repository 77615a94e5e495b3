#!/usr/bin/env python3
"""Multileaders of the shapes the real drawings lack, made one per named row in one drawing
(several leaders and vertices, a turned text, a scaled one, breaks in a leader and in its line,
a block content), then erased, moved, copied, turned, put on another layer, mirrored and scaled
through the program and each compared with ezdxf's transform of the original, context data
included (check_all_edits). A row fails when a problem names its record, or when it is refused
and should not be (or placed and should be refused).

Usage: check_multileader_edits.py WORKDIR DXF_CORPUS_EDIT_ALL   (exit 77 when ezdxf is missing)
"""
import sys
from pathlib import Path

try:
    import ezdxf
    from ezdxf.math import Vec2, Vec3
    from ezdxf.render import mleader
except ImportError:
    print("ezdxf is not installed")
    sys.exit(77)

sys.path.insert(0, str(Path(__file__).resolve().parent))
import check_all_edits  # noqa: E402


def text(msp, at, rotation=0.0, scale=1.0, sides=("left", "right")):
    builder = msp.add_multileader_mtext("Standard")
    builder.set_overall_scaling(scale)
    builder.set_content("引出線\\P二行目", char_height=2.0)
    if "left" in sides:
        builder.add_leader_line(mleader.ConnectionSide.left,
                                [Vec2(at) + Vec2(-20, 8), Vec2(at) + Vec2(-14, 3)])
    if "right" in sides:
        builder.add_leader_line(mleader.ConnectionSide.right,
                                [Vec2(at) + Vec2(25, -6), Vec2(at) + Vec2(30, 2),
                                 Vec2(at) + Vec2(22, 4)])
    builder.build(insert=Vec2(at), rotation=rotation)
    return builder.multileader


def with_breaks(msp):
    entity = text(msp, (40, -30), sides=("left",))
    leader = entity.context.leaders[0]
    leader.breaks = [Vec3(41, -29, 0), Vec3(42, -28, 0)]
    line = leader.lines[0]
    line.breaks = [0, Vec3(25, -24, 0), Vec3(27, -25, 0)]
    return entity


def block_content(msp):
    block = msp.doc.blocks.new("MARK")
    block.add_circle((0, 0), 2.0)
    builder = msp.add_multileader_block("Standard")
    builder.set_content("MARK")
    builder.add_leader_line(mleader.ConnectionSide.left, [Vec2(-60, 10), Vec2(-55, 2)])
    builder.build(insert=Vec2(-50, 0))
    return builder.multileader


# name: what the row makes (its record returned), and the refusal it must meet ("" for none).
ROWS = {
    "TwoLeadersFiveVertices": (lambda msp: text(msp, (0, 0)), ""),
    "TurnedText": (lambda msp: text(msp, (10, 50), rotation=35.0), ""),
    "ScaledByTwo": (lambda msp: text(msp, (-40, 40), scale=2.0, sides=("right",)), ""),
    "BreaksInLeaderAndLine": (with_breaks, ""),
    "BlockContent": (block_content, "ブロックを中身"),
}


def main(argv) -> int:
    if len(argv) != 3:
        print(__doc__)
        return 2
    work = Path(argv[1]) / "multileader_edits"
    work.mkdir(parents=True, exist_ok=True)
    doc = ezdxf.new("R2018")
    msp = doc.modelspace()
    handles = {name: make(msp).dxf.handle for name, (make, _) in ROWS.items()}
    drawing = work / "multileaders.dxf"
    doc.saveas(drawing)
    refused = []
    problems, edits = check_all_edits.check(drawing, work, argv[2], refused)
    by_handle = {row["handle"]: row["refusal"] for row in refused}
    failed = 0
    for name, handle in handles.items():
        want = ROWS[name][1]
        got = by_handle.get(handle, "")
        mine = [p for p in problems if f"#{handle}:" in p or f"#{handle} " in p]
        if (want == "") != (got == "") or want not in got:
            mine.append(f"refused: {got!r}, expected {want!r}")
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

#!/usr/bin/env python3
"""Dimensions of every kind, made one per named row in one drawing by ezdxf (each with its block
rendered; an AutoCAD 2010 drawing, an R12 one, which has no block record table, and the R12 one
without handles), then erased, moved, copied, turned, put on another layer, mirrored and scaled
through the program (a copy with a new block of its own) and compared with ezdxf's transform of
the original, block content included (check_all_edits). A row fails when a problem names its
record, or when it is refused though it should be placed, or placed though it should be refused.

Usage: check_dimension_edits.py WORKDIR DXF_CORPUS_EDIT_ALL   (exit 77 when ezdxf is missing)
"""
import sys
from pathlib import Path

try:
    import ezdxf
except ImportError:
    print("ezdxf is not installed")
    sys.exit(77)

sys.path.insert(0, str(Path(__file__).resolve().parent))
import check_all_edits  # noqa: E402


def rendered(dimension):
    dimension.render()
    return dimension.dimension


def shared(msp):
    """A second dimension drawn by the first one's block: placing one would move the other's."""
    first = rendered(msp.add_linear_dim(base=(0, -30), p1=(0, -25), p2=(12, -25)))
    second = rendered(msp.add_linear_dim(base=(0, -40), p1=(0, -35), p2=(12, -35)))
    second.dxf.geometry = first.dxf.geometry
    return second


def block_point(msp):
    """A block drawn at a point of the dimension's own (12)."""
    dimension = rendered(msp.add_linear_dim(base=(40, -30), p1=(40, -25), p2=(52, -25)))
    dimension.dxf.insert = (1, 2, 0)
    return dimension


def no_block(msp):
    """A dimension naming a block the file lacks: its definition points placed alone."""
    dimension = rendered(msp.add_linear_dim(base=(70, -30), p1=(70, -25), p2=(82, -25)))
    dimension.dxf.geometry = "*D999"
    return dimension


# name: (what the row makes (its record returned), whether the program must refuse it)
ROWS = {
    "Horizontal": (lambda msp: rendered(msp.add_linear_dim(
        base=(0, 10), p1=(0, 0), p2=(25, 0))), False),
    "Rotated": (lambda msp: rendered(msp.add_linear_dim(
        base=(30, 10), p1=(30, 0), p2=(50, 8), angle=30.0)), False),
    "TextTurned": (lambda msp: rendered(msp.add_linear_dim(
        base=(60, 10), p1=(60, 0), p2=(80, 0), text_rotation=35.0)), False),
    "TextMoved": (lambda msp: rendered(msp.add_linear_dim(
        base=(90, 10), p1=(90, 0), p2=(110, 0), location=(104, 18))), False),
    "Aligned": (lambda msp: rendered(msp.add_aligned_dim(
        p1=(0, 30), p2=(20, 45), distance=5)), False),
    "Angular3Point": (lambda msp: rendered(msp.add_angular_dim_3p(
        base=(40, 45), center=(30, 30), p1=(45, 30), p2=(35, 42))), False),
    "Radius": (lambda msp: rendered(msp.add_radius_dim(
        center=(70, 35), radius=8, angle=40)), False),
    "Diameter": (lambda msp: rendered(msp.add_diameter_dim(
        center=(95, 35), radius=7, angle=130)), False),
    "Ordinate": (lambda msp: rendered(msp.add_ordinate_x_dim(
        feature_location=(120, 30), offset=(5, 10), origin=(100, 20))), False),
    "NoBlock": (no_block, False),
    "SharedBlock": (shared, True),
    "BlockPoint": (block_point, True),
}


def without_handles(path: Path):
    """An R12 drawing rewritten as one with no handles ($HANDLING 0), as old programs write."""
    lines = path.read_text(encoding="cp1252").splitlines()
    pairs = list(zip(lines[0::2], lines[1::2]))
    out, handling = [], False
    for code, value in pairs:
        if code.strip() == "9":
            handling = value.strip() == "$HANDLING"
            if value.strip() == "$HANDSEED":
                continue
        if code.strip() in ("5", "105"):
            continue
        if handling and code.strip() == "70":
            value = "0"
        out += [code, value]
    path.write_text("\n".join(out) + "\n", encoding="cp1252")


def check_version(version: str, work: Path, exe: str, keep_handles: bool = True) -> int:
    """The rows made in a drawing of that version (without handles: R12 only), checked: how many
    rows failed, plus the other problems."""
    work.mkdir(parents=True, exist_ok=True)
    doc = ezdxf.new(version, setup=True)
    msp = doc.modelspace()
    made = {name: (make(msp), refuse) for name, (make, refuse) in ROWS.items()}
    ordinal = {e.dxf.handle: i for i, e in enumerate(msp)}
    # A record is named by its handle, or by its place in model space where it has none.
    handles = {name: (e.dxf.handle if keep_handles else str(ordinal[e.dxf.handle]), refuse)
               for name, (e, refuse) in made.items()}
    drawing = work / "dimensions.dxf"
    doc.saveas(drawing)
    if not keep_handles:
        without_handles(drawing)
        version += " without handles"
    refused = []
    problems, edits = check_all_edits.check(drawing, work, exe, refused)
    refusals = {row["handle"] or str(row["ordinal"]): row["refusal"] for row in refused}
    failed = 0
    for name, (handle, refuse) in handles.items():
        mine = [p for p in problems if f"#{handle}:" in p or f"#{handle} " in p]
        if refuse != (handle in refusals):
            mine.append(f"refused: {refusals[handle]}" if handle in refusals else "placed")
        failed += bool(mine)
        print(f"{'FAILED' if mine else 'ok'}: {version} {name} (#{handle})")
        for problem in mine[:6]:
            print(f"    {problem}")
    shown = {h for h, _ in handles.values()}
    others = [p for p in problems if not any(f"#{h}:" in p or f"#{h} " in p for h in shown)]
    for problem in others:
        print(f"other: {problem}")
    print(f"{version}: {len(ROWS)} rows, {edits} edits checked, {failed} rows failed, "
          f"{len(others)} other problems")
    return failed + len(others)


def main(argv) -> int:
    if len(argv) != 3:
        print(__doc__)
        return 2
    failed = 0
    for version in ("R2010", "R12"):
        failed += check_version(version, Path(argv[1]) / f"dimension_edits_{version}", argv[2])
    failed += check_version("R12", Path(argv[1]) / "dimension_edits_R12_no_handles", argv[2],
                            keep_handles=False)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

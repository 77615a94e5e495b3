#!/usr/bin/env python3
"""Images and underlays of the shapes the real drawings lack, made one per named row in one
drawing (two images of one picture, an image whose definition lists no reactors, an image in a
turned frame, a PDF underlay, a wipeout), then erased, moved, copied, turned, put on another
layer, mirrored and scaled through the program and each compared with ezdxf's transform of the
original; each copy's reactor and its definition's list checked as written (check_all_edits).
A row fails when a problem names its record or it is refused.

Usage: check_image_edits.py WORKDIR DXF_CORPUS_EDIT_ALL   (exit 77 when ezdxf is missing)
"""
import re
import sys
from pathlib import Path

try:
    import ezdxf
except ImportError:
    print("ezdxf is not installed")
    sys.exit(77)

sys.path.insert(0, str(Path(__file__).resolve().parent))
import check_all_edits  # noqa: E402


def picture(msp, name):
    return msp.doc.add_image_def(filename=f"{name}.png", size_in_pixel=(640, 360))


def image(msp, definition, at, size=(64, 36), rotation=0.0):
    return msp.add_image(definition, insert=at, size_in_units=size, rotation=rotation)


def unlisted(msp):
    """An image whose definition names no reactor (its list is made for the copy)."""
    entity = image(msp, picture(msp, "unlisted"), (0, 80))
    UNLISTED.append(entity.dxf.image_def_handle)
    return entity


UNLISTED = []
SHARED = []


def shared(msp, at):
    if not SHARED:
        SHARED.append(picture(msp, "shared"))
    return image(msp, SHARED[0], at)


# name: what the row makes (its record returned).
ROWS = {
    "FirstImageOfAPicture": lambda msp: shared(msp, (0, 0)),
    "SecondImageOfThePicture": lambda msp: shared(msp, (100, 0)),
    "DefinitionListsNoReactor": unlisted,
    "TurnedImage": lambda msp: image(msp, picture(msp, "turned"), (-80, 20), rotation=30.0),
    "PdfUnderlay": lambda msp: msp.add_underlay(
        msp.doc.add_underlay_def("plan.pdf", "pdf", "1"), insert=(50, -60), scale=(2, 2, 1)),
    "Wipeout": lambda msp: msp.add_wipeout([(0, -40), (30, -40), (20, -20)]),
}


def without_reactor_lists(text: str, handles) -> str:
    """The definitions' {ACAD_REACTORS} groups taken out of the written file."""
    for handle in handles:
        text = re.sub(r"(\n  0\nIMAGEDEF\n  5\n" + handle + r"\n)102\n\{ACAD_REACTORS\n"
                      r"(?:330\n[0-9A-Fa-f]+\n)+102\n\}\n", r"\1", text, count=1)
    return text


def main(argv) -> int:
    if len(argv) != 3:
        print(__doc__)
        return 2
    work = Path(argv[1]) / "image_edits"
    work.mkdir(parents=True, exist_ok=True)
    doc = ezdxf.new("R2018")
    msp = doc.modelspace()
    handles = {name: make(msp).dxf.handle for name, make in ROWS.items()}
    drawing = work / "images.dxf"
    doc.saveas(drawing)
    written = drawing.read_text()
    edited = without_reactor_lists(written, UNLISTED)
    if edited == written:
        print("could not take the definition's reactor list out")
        return 1
    drawing.write_text(edited)
    refused = []
    problems, edits = check_all_edits.check(drawing, work, argv[2], refused)
    by_handle = {row["handle"]: row["refusal"] for row in refused}
    failed = 0
    for name, handle in handles.items():
        mine = [p for p in problems if f"#{handle}:" in p or f"#{handle} " in p]
        if by_handle.get(handle):
            mine.append(f"refused: {by_handle[handle]!r}")
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

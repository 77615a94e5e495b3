"""Makes the drawing the select-move-delete run opens, and checks what it saved: the upper line
moved by one translation to the right with every other group as it was, the lower line gone, and
everything else the same entity for entity (by handle)."""
import sys

import ezdxf

UPPER = ((0.0, 30.0), (0.0, 140.0))
LOWER = ((0.0, -140.0), (0.0, -30.0))


def make(path: str) -> int:
    document = ezdxf.new("R2010")
    document.layers.add("壁", color=1)
    modelspace = document.modelspace()
    modelspace.add_lwpolyline([(-250, -180), (250, -180), (250, 180), (-250, 180)], close=True)
    upper = modelspace.add_line(*UPPER, dxfattribs={"layer": "壁", "color": 5, "lineweight": 35})
    upper.set_xdata("PELIMATOR_TEST", [(1000, "上の線")])
    modelspace.add_line(*LOWER, dxfattribs={"layer": "壁"})
    modelspace.add_circle((150, -100), 20)
    modelspace.add_text("平面図", dxfattribs={"height": 10, "insert": (-200, 150)})
    document.saveas(path)
    return 0


def attributes(entity) -> dict:
    return {k: v for k, v in entity.dxfattribs().items() if k not in ("owner",)}


def check(opened_path: str, saved_path: str) -> int:
    opened = ezdxf.readfile(opened_path)
    saved = ezdxf.readfile(saved_path)
    auditor = saved.audit()
    if auditor.has_errors:
        print(f"audit errors: {[str(e) for e in auditor.errors]}")
        return 1
    after = {e.dxf.handle: e for e in saved.modelspace()}
    problems = []
    for entity in opened.modelspace():
        handle = entity.dxf.handle
        kept = after.pop(handle, None)
        is_line = entity.dxftype() == "LINE"
        if is_line and entity.dxf.start.y < 0:
            if kept is not None:
                problems.append("the lower line was not deleted")
            continue
        if kept is None:
            problems.append(f"{entity.dxftype()} {handle} is missing")
            continue
        a, b = attributes(entity), attributes(kept)
        if is_line:
            delta = kept.dxf.start - entity.dxf.start
            if (kept.dxf.end - entity.dxf.end - delta).magnitude > 1e-9:
                problems.append(f"the upper line was not moved as a whole: {delta}")
            if delta.x < 10:
                problems.append(f"the upper line did not move to the right: {delta}")
            for key in ("start", "end"):
                a.pop(key)
                b.pop(key)
            if kept.get_xdata("PELIMATOR_TEST") != entity.get_xdata("PELIMATOR_TEST"):
                problems.append("the moved line lost its extended data")
        if a != b:
            problems.append(f"{entity.dxftype()} {handle} changed: {a} -> {b}")
    if after:
        problems.append(f"unexpected entities: {list(after)}")
    for problem in problems:
        print(problem)
    if not problems:
        print(f"{saved_path}: one line moved, one deleted, the rest unchanged")
    return 1 if problems else 0


if __name__ == "__main__":
    if sys.argv[1] == "make":
        sys.exit(make(sys.argv[2]))
    sys.exit(check(sys.argv[2], sys.argv[3]))

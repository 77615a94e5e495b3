#!/usr/bin/env python3
"""Edits one model-space entity of each kind of a corpus drawing through the program (erase,
move, copy, rotate), and checks the saved file with ezdxf: every other entity is exactly as it
was; the edited one is gone (erase), or equals the original as ezdxf itself transforms it (move,
rotate), or stays and gains one new copy so transformed with a handle of its own (copy). A kind
the program refuses to place must be one it names in its message; the file must still audit.

Usage: check_edits.py NAME WORKDIR DXF_CORPUS_EDIT   (exit 77 when ezdxf is missing)
"""
import math
import subprocess
import sys
from pathlib import Path

try:
    import ezdxf
    from ezdxf.math import Matrix44, Vec2, Vec3
except ImportError:
    print("ezdxf is not installed")
    sys.exit(77)

sys.path.insert(0, str(Path(__file__).resolve().parent))
import make_corpus  # noqa: E402
from check_corpus import RawFile, exported_tags, read  # noqa: E402
from corpus_table import BY_NAME  # noqa: E402

DELTA = (12.5, -7.25)
PIVOT, DEGREES = (3.0, 4.0), 30.0
MIRROR_TO = (3.5, 5.0)  # the mirror line runs from PIVOT through here
FACTOR = 2.5  # the scale's, about PIVOT
# Kinds the program may refuse to move, turn or copy: none (a dimension goes with its block).
MAY_REFUSE = set()


def placement(operation):
    if operation in ("move", "copy"):
        return Matrix44.translate(DELTA[0], DELTA[1], 0)
    if operation == "mirror":
        axis = math.atan2(MIRROR_TO[1] - PIVOT[1], MIRROR_TO[0] - PIVOT[0])
        return Matrix44.chain(Matrix44.translate(-PIVOT[0], -PIVOT[1], 0),
                              Matrix44.scale(1, -1, 1), Matrix44.z_rotate(2 * axis),
                              Matrix44.translate(PIVOT[0], PIVOT[1], 0))
    if operation == "copyturn":  # copied, then the copy turned
        return Matrix44.chain(placement("copy"), placement("rotate"))
    if operation == "scale":
        return Matrix44.chain(Matrix44.translate(-PIVOT[0], -PIVOT[1], 0),
                              Matrix44.scale(FACTOR, FACTOR, 1),
                              Matrix44.translate(PIVOT[0], PIVOT[1], 0))
    return Matrix44.chain(Matrix44.translate(-PIVOT[0], -PIVOT[1], 0),
                          Matrix44.z_rotate(math.radians(DEGREES)),
                          Matrix44.translate(PIVOT[0], PIVOT[1], 0))


def flat(value):
    if isinstance(value, (Vec2, Vec3)):
        return [float(v) for v in value]
    if isinstance(value, (list, tuple)):
        out = []
        for v in value:
            out.extend(flat(v) if isinstance(v, (list, tuple, Vec2, Vec3)) else [v])
        return out
    return [value]


def signature(entity) -> dict:
    """What an entity is, as comparable values: its attributes and its geometry lists."""
    kind = entity.dxftype()
    sig = {}
    for key, value in entity.dxfattribs().items():
        if key in ("handle", "owner", "text_direction", "rotation") and kind == "MTEXT":
            continue
        if key in ("handle", "owner", "pattern_angle"):
            continue
        sig[key] = flat(value)
    if kind == "MTEXT":
        # Its direction in the drawing: an angle (50) alone is one of its plane system (ezdxf's
        # get_rotation would give it as written).
        sig["angle"] = [Vec3(entity.get_text_direction()).angle_deg % 360.0]
    if kind == "LWPOLYLINE":
        sig["points"] = flat([tuple(p) for p in entity.get_points()])
    if kind == "POLYLINE":
        sig["vertices"] = flat([v.dxf.location for v in entity.vertices])
    if kind == "INSERT":
        sig["attribs"] = flat([a.dxf.insert for a in entity.attribs])
        sig["attrib_angles"] = [a.dxf.rotation for a in entity.attribs]
    if kind == "SPLINE":
        sig["control"] = flat([tuple(p) for p in entity.control_points])
        sig["fit"] = flat([tuple(p) for p in entity.fit_points])
    if kind in ("LEADER", "MESH"):
        sig["vertices"] = flat([tuple(v) for v in entity.vertices])
    if kind == "HATCH":
        paths = []
        for path in entity.paths:
            if hasattr(path, "vertices"):
                paths.append(flat([tuple(v)[:2] for v in path.vertices]))
            else:
                for edge in path.edges:
                    for name in ("start", "end", "center", "major_axis"):
                        if hasattr(edge, name):
                            paths.append(flat(getattr(edge, name)))
        sig["paths"] = paths
        sig["seeds"] = flat([tuple(s) for s in entity.seeds])
    return sig


def same(a, b, key="") -> bool:
    if isinstance(a, list) and isinstance(b, list):
        return len(a) == len(b) and all(same(x, y, key) for x, y in zip(a, b))
    if isinstance(a, float) or isinstance(b, float):
        try:
            x, y = float(a), float(b)
        except (TypeError, ValueError):
            return False
        if "angle" in key or "rotation" in key or key == "params":
            d = (x - y) % 360.0
            return min(d, 360.0 - d) <= 1e-9
        return abs(x - y) <= 1e-9 * (1.0 + abs(x))
    return a == b


def differences(expected: dict, edited: dict, original: dict, entity=None) -> list:
    """Values that differ; a value ezdxf's transform adds with its default (extrusion, width)
    need not be written, but nothing the original had may go missing, and (when the edited
    entity is given) a value added that is not the default must be written."""
    lost = [f"{k}: missing" for k in original if k not in edited]
    if entity is not None:
        for k in sorted(set(expected) - set(edited) - set(original)):
            # ezdxf's transform adds an alignment point to a left-aligned text, which has none.
            if k == "align_point" and entity.dxf.get("halign", 0) == 0 and \
                    entity.dxf.get("valign", 0) == 0:
                continue
            definition = entity.DXFATTRIBS.get(k)
            default = definition.default if definition is not None else None
            if default is None or not same(expected[k], flat(default), k):
                lost.append(f"{k}: {expected[k]} not written")
    keys = sorted(set(expected) & set(edited))
    return lost + [f"{k}: {expected[k]} != {edited[k]}" for k in keys
                   if not same(expected[k], edited[k], k)]


def check(drawing, work: Path, exe: str) -> list:
    problems = []
    original_path = work / f"{drawing.name}.dxf"
    make_corpus.write(drawing, original_path)
    fallback = drawing.read_encoding or "cp1252"
    original = read(original_path, RawFile(original_path), fallback)
    version = original.dxfversion
    firsts = {}
    for entity in original.modelspace():
        firsts.setdefault(entity.dxftype(), entity)
    if len(firsts) < 8:
        problems.append(f"only {len(firsts)} kinds in model space: {sorted(firsts)}")
    for kind, target in sorted(firsts.items()):
        handle = target.dxf.handle
        for operation in ("erase", "move", "copy", "rotate"):
            saved_path = work / f"{drawing.name}_{operation}_{kind}.dxf"
            saved_path.unlink(missing_ok=True)
            run = subprocess.run([exe, str(original_path), str(saved_path), operation, handle],
                                 capture_output=True, text=True, timeout=120)
            where = f"{operation} {kind} #{handle}"
            if run.returncode == 3:
                if kind not in MAY_REFUSE or operation == "erase" or kind not in run.stdout:
                    problems.append(f"{where}: refused: {run.stdout.strip()}")
                continue
            if run.returncode != 0:
                problems.append(f"{where}: failed: {run.stdout}{run.stderr}")
                continue
            # Read afresh: ezdxf's copy and transform below may touch what the copy shares.
            original = read(original_path, RawFile(original_path), fallback)
            target = original.entitydb[handle]
            saved = read(saved_path, RawFile(saved_path), fallback)
            before = {e.dxf.handle: e for e in original.modelspace()}
            after = {e.dxf.handle: e for e in saved.modelspace()}
            for h, entity in before.items():
                if h == handle and operation != "copy":
                    continue
                if h not in after:
                    problems.append(f"{where}: #{h} {entity.dxftype()} lost")
                elif exported_tags(entity, version) != exported_tags(after[h], version):
                    problems.append(f"{where}: #{h} {entity.dxftype()} changed")
            audited = read(saved_path, RawFile(saved_path), fallback).audit()
            for error in audited.errors:
                problems.append(f"{where}: audit error {error.code}: {error.message}")
            new = [h for h in after if h not in before]
            if operation == "erase":
                if handle in after or new:
                    problems.append(f"{where}: still there or something new: {new}")
                continue
            if operation == "copy":
                if len(new) != 1:
                    problems.append(f"{where}: {len(new)} new entities instead of one")
                    continue
                edited = after[new[0]]
            else:
                if new or handle not in after:
                    problems.append(f"{where}: entity missing or something new: {new}")
                    continue
                edited = after[handle]
            before_sig = signature(target)
            expected = target.copy()
            expected.transform(placement(operation))
            for line in differences(signature(expected), signature(edited), before_sig):
                problems.append(f"{where}: {line}")
    return problems


def main(argv) -> int:
    if len(argv) != 4 or argv[1] not in BY_NAME:
        print(__doc__)
        return 2
    drawing = BY_NAME[argv[1]]
    work = Path(argv[2]) / f"edit_{drawing.name}"
    work.mkdir(parents=True, exist_ok=True)
    problems = check(drawing, work, argv[3])
    for problem in problems:
        print(problem)
    print(f"{drawing.name}: {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

#!/usr/bin/env python3
"""Drawings pasted whole into other drawings, checked with ezdxf.

Each line of the manifest names a copied drawing A, the drawing B it was pasted into, the saved
result, the placement (factor about the reference point, then to the paste point) and a file of
A's handles of the pasted records in the order they were written. For each: ezdxf's audit finds
nothing that A and B did not have; the last model-space entities of the result are the pasted
records, each equal to ezdxf's own transform of the original (kind, attributes bar handle and
owner, geometry, extended data), an insert's block equal to the original's (under a new name when
B had another block of that name), and every layer, linetype and text style a pasted record names
is in the result. (Handles are checked by the program's test: ezdxf makes objects of its own on
reading, with handles from the file's seed.)

Usage: check_paste.py MANIFEST   (exit 77 when ezdxf is missing)
"""
import re
import sys
from pathlib import Path

try:
    import ezdxf
    from ezdxf.math import Matrix44
except ImportError:
    print("ezdxf is not installed")
    sys.exit(77)

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "dxf_corpus"))
import check_all_edits  # noqa: E402
from check_all_edits import audit_codes, compare_placed, load  # noqa: E402
from check_edits import differences, signature  # noqa: E402


def unescaped(sig: dict) -> dict:
    """Texts with AutoCAD's \\U+XXXX escapes decoded: a file in a code page holds characters it
    cannot encode that way, and ezdxf leaves them as written."""
    def decode(value):
        if isinstance(value, str):
            return re.sub(r"\\U\+([0-9A-Fa-f]{4})", lambda m: chr(int(m.group(1), 16)), value)
        if isinstance(value, list):
            return [decode(v) for v in value]
        return value
    return {key: decode(value) for key, value in sig.items()}


PLACED_SIGNATURE = check_all_edits.placed_signature
check_all_edits.placed_signature = lambda entity: unescaped(PLACED_SIGNATURE(entity))


def same_block(doc_a, name_a, doc_b, name_b, problems, where, depth=0):
    """The blocks hold equal entities (nested blocks compared the same way)."""
    a, b = doc_a.blocks.get(name_a), doc_b.blocks.get(name_b)
    if a is None or b is None:
        if (a is None) != (b is None):
            problems.append(f"{where}: block {name_a!r} / {name_b!r} missing")
        return
    ea, eb = list(a), list(b)
    if len(ea) != len(eb):
        problems.append(f"{where}: block {name_b!r} holds {len(eb)} entities, not {len(ea)}")
        return
    for x, y in zip(ea, eb):
        want, got = unescaped(signature(x)), unescaped(signature(y))
        if x.dxftype() == "INSERT" and y.dxftype() == "INSERT" and depth < 8:
            same_block(doc_a, x.dxf.name, doc_b, y.dxf.name, problems, where, depth + 1)
            want.pop("name", None)
            got.pop("name", None)
        for line in differences(want, got, want):
            problems.append(f"{where}: block {name_b!r} {x.dxftype()}: {line}")


def names_present(doc, entity, where, problems):
    layer = entity.dxf.get("layer")
    if layer is not None and layer not in doc.layers:
        problems.append(f"{where}: layer {layer!r} not in the table")
    linetype = entity.dxf.get("linetype")
    if linetype and linetype.upper() not in ("BYLAYER", "BYBLOCK") and \
            linetype not in doc.linetypes:
        problems.append(f"{where}: linetype {linetype!r} not in the table")
    style = entity.dxf.get("style") if entity.dxftype() in ("TEXT", "MTEXT") else None
    if style and style not in doc.styles:
        problems.append(f"{where}: text style {style!r} not in the table")


def new_dimension_block(doc_b, original, edited, out, where, problems):
    """A pasted dimension draws with a new anonymous block of its own (none of B's), in its
    dimension style, which the result has (B's own of that name, else A's copied)."""
    name = edited.dxf.get("geometry", "")
    if original.get_geometry_block() is not None:
        if not name.upper().startswith("*D") or name in doc_b.blocks or \
                out.blocks.get(name) is None:
            problems.append(f"{where}: draws with block {name!r}, not a new one")
    style = edited.dxf.get("dimstyle", "Standard")
    if out.dxfversion > "AC1009" and style not in out.dimstyles:
        problems.append(f"{where}: dimension style {style!r} not in the table")
        return
    if out.dxfversion > "AC1009" and style not in doc_b.dimstyles and \
            style in original.doc.dimstyles:
        # Copied: its text style and arrow blocks (pointers by handle) are the same by name.
        was, now = original.doc.dimstyles.get(style), out.dimstyles.get(style)
        for key in ("dimtxsty", "dimblk", "dimblk1", "dimblk2", "dimldrblk"):
            if was.dxf.get(key) != now.dxf.get(key):
                problems.append(f"{where}: style {style!r} {key} {now.dxf.get(key)!r}, "
                                f"not {was.dxf.get(key)!r}")


def check_pair(line: str) -> tuple:
    a_path, b_path, out_path, factor, bx, by, ax, ay, list_path = line.split("\t")
    factor, bx, by, ax, ay = (float(v) for v in (factor, bx, by, ax, ay))
    handles = Path(list_path).read_text().split()
    problems = []
    tag = f"{Path(a_path).name} -> {Path(b_path).name}"
    doc_a, doc_b, out = load(Path(a_path)), load(Path(b_path)), load(Path(out_path))
    for code, count in (audit_codes(load(Path(out_path))) - audit_codes(doc_a) -
                        audit_codes(doc_b)).items():
        problems.append(f"{tag}: {count} new audit errors {code}")
    entities = list(out.modelspace())
    pasted = entities[len(entities) - len(handles):] if handles else []
    if len(pasted) != len(handles):
        return [f"{tag}: {len(entities)} entities, {len(handles)} pasted"], 0
    m = Matrix44.chain(Matrix44.translate(-bx, -by, 0), Matrix44.scale(factor, factor, 1),
                       Matrix44.translate(ax, ay, 0))
    check_all_edits.placement = lambda operation: m
    check_all_edits.FACTOR = factor
    operation = "move" if factor == 1.0 else "scale"
    dimensions = 0
    for handle, edited in zip(handles, pasted):
        original = doc_a.entitydb.get(handle)
        where = f"{tag} {edited.dxftype()} #{handle}"
        if original is None:
            problems.append(f"{where}: not in A")
            continue
        if original.dxftype() == "INSERT" and edited.dxftype() == "INSERT":
            same_block(doc_a, original.dxf.name, out, edited.dxf.name, problems, where)
            original.dxf.name = edited.dxf.name  # a renamed copy is the same block
        names_present(out, edited, where, problems)
        if original.dxftype() in check_all_edits.DIMENSIONS and \
                edited.dxftype() == original.dxftype():
            dimensions += 1
            new_dimension_block(doc_b, original, edited, out, where, problems)
        try:
            compare_placed(where, original, edited, operation, problems, new_block=True)
        except Exception as error:  # noqa: BLE001 (any failure of ezdxf is a finding)
            problems.append(f"{where}: ezdxf could not compare: {error!r}")
    if dimensions:
        print(f"{tag}: {dimensions} dimensions pasted")
    return problems, len(handles)


def main(argv) -> int:
    problems, compared = [], 0
    for line in Path(argv[1]).read_text().splitlines():
        found, count = check_pair(line)
        problems += found
        compared += count
    for problem in problems[:60]:
        print(problem)
    print(f"{compared} pasted records compared, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

#!/usr/bin/env python3
"""Every table (ACAD_TABLE) of the real drawings scaled by several factors about a point through
the program (dxf_corpus_edit ... scale:F HANDLE), each saved file read back by ezdxf: the
insertion point is the scaled point and the direction kept; the entities its *T block draws
equal ezdxf's transform of the original's by the scale about that point; its row heights, column
widths, margins and every cell's text height as drawn (its own, else its table's or its style's)
are the factor times the original's; ezdxf's audit finds nothing new; the same edit saved twice
gives the same bytes. A negative factor must be refused.

Usage: check_table_scale.py REAL_DXF_DIR WORKDIR DXF_CORPUS_EDIT
       (exit 77 when ezdxf or the drawings are missing)
"""
import subprocess
import sys
from pathlib import Path

try:
    import ezdxf
    from ezdxf.math import Vec3
except ImportError:
    print("ezdxf is not installed")
    sys.exit(77)

sys.path.insert(0, str(Path(__file__).resolve().parent))
from check_all_edits import audit_codes, compare_scaled_table, load  # noqa: E402
from check_edits import flat  # noqa: E402
from table_sizes import scale_about  # noqa: E402

PIVOT = (3.0, 4.0)  # dxf_corpus_edit's scale is about it
FACTORS = (0.4, 2.5, 7.0)


def run(exe, original: Path, out: Path, operation: str, handle: str):
    return subprocess.run([exe, str(original), str(out), operation, handle], capture_output=True,
                          text=True, timeout=600, errors="replace")


def check_table(exe, path: Path, work: Path, handle: str, factor: float, problems):
    where = f"{path.name} #{handle} x{factor}"
    outs = [work / f"{path.stem}_{handle}_{factor}_{n}.dxf" for n in (1, 2)]
    for out in outs:
        done = run(exe, path, out, f"scale:{factor}", handle)
        if done.returncode != 0:
            problems.append(f"{where}: not scaled: {done.stdout.strip()} {done.stderr.strip()}")
            return
    if outs[0].read_bytes() != outs[1].read_bytes():
        problems.append(f"{where}: saved twice, not the same bytes")
    original_doc, edited_doc = load(path), load(outs[0])
    for code, count in (audit_codes(load(outs[0])) - audit_codes(load(path))).items():
        problems.append(f"{where}: {count} new audit errors {code}")
    original, edited = original_doc.entitydb.get(handle), edited_doc.entitydb.get(handle)
    if edited is None or edited.dxftype() != "ACAD_TABLE":
        problems.append(f"{where}: the table is gone")
        return
    m = scale_about(PIVOT, factor)
    want, got = m.transform(Vec3(original._insert_location())), Vec3(edited._insert_location())
    if not want.isclose(got, abs_tol=1e-9 * (want.magnitude + 1)):
        problems.append(f"{where}: inserted at {flat(got)}, not {flat(want)}")
    compare_scaled_table(where, original, edited, m, factor, problems)


def main(argv) -> int:
    if len(argv) != 4:
        print(__doc__)
        return 2
    drawings = sorted(Path(argv[1]).glob("*.dxf"))
    if not drawings:
        print(f"skipped: no real drawings in {argv[1]}")
        return 77
    work = Path(argv[2]) / "table_scale"
    work.mkdir(parents=True, exist_ok=True)
    problems, tables, edits = [], 0, 0
    for path in drawings:
        if b"ACAD_TABLE" not in path.read_bytes():
            continue
        try:
            handles = [t.dxf.handle for t in ezdxf.readfile(str(path)).modelspace()
                       if t.dxftype() == "ACAD_TABLE"]
        except Exception:  # noqa: BLE001 (a drawing ezdxf cannot read strictly has none here)
            continue
        for handle in handles:
            tables += 1
            for factor in FACTORS:
                edits += 1
                check_table(argv[3], path, work, handle, factor, problems)
            refused = run(argv[3], path, work / "refused.dxf", "scale:-2", handle)
            if refused.returncode != 3:
                problems.append(f"{path.name} #{handle}: a factor of -2 not refused "
                                f"({refused.returncode}: {refused.stdout.strip()})")
    for problem in problems[:200]:
        print(problem)
    print(f"{tables} tables, {edits} scales checked, {len(problems)} problems")
    return 1 if problems or not tables else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

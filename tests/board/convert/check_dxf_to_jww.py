#!/usr/bin/env python3
"""Every real DXF drawing of the shared corpus saved as JWW by pelimator-batch and checked:

- the test's own reading of the JWW records (tests/board/jww/jww_records.py, from the published
  layout) reads every record to its end;
- the lines, arcs and circles the DXF's model space holds directly (ezdxf) each come back as a
  CDataSen / CDataEnko record;
- with RENDER_BOARD: the board's picture of the JWW matches its picture of the DXF (the
  share-of-ink measure of tests/board/render/compare_with_ezdxf.py) at MIN_AGREEMENT, the DXF's
  picture placed by the JWW's scale and the DXF's unit: what the JWW shows is what the DXF
  showed.

Usage: check_dxf_to_jww.py PELIMATOR_BATCH CORPUS OUT_DIR [RENDER_BOARD MIN_AGREEMENT]"""
import collections
import glob
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "jww"))
sys.path.insert(0, os.path.join(HERE, "..", "render"))
import check_report  # noqa: E402
import ezdxf  # noqa: E402
import jww_records  # noqa: E402

UNIT_MM = {0: 1.0, 1: 25.4, 2: 304.8, 4: 1.0, 5: 10.0, 6: 1000.0, 14: 100.0}


def check(batch, dxf, out_dir, render_board, minimum):
    name = os.path.splitext(os.path.basename(dxf))[0]
    jww = os.path.join(out_dir, name + ".jww")
    run = subprocess.run([batch, "--allow-loss", "-o", jww, dxf], capture_output=True,
                         text=True)
    if run.returncode != 0:
        return [f"conversion failed: {run.stderr.strip()}"], {}
    d = jww_records.read(jww)
    kinds = collections.Counter()
    for cls, body in d["records"]:
        jww_records.parse_fields(d["version"], cls, body)  # raises on a bad record
        kinds[cls] += 1
    problems = []
    try:
        doc = ezdxf.readfile(dxf)
    except Exception:  # damaged files: ezdxf's recovery reads them
        from ezdxf import recover
        doc, _ = recover.readfile(dxf)
    msp = doc.modelspace()
    lines = len(msp.query("LINE"))
    arcs = len(msp.query("ARC CIRCLE"))
    if kinds["CDataSen"] < lines or kinds["CDataEnko"] < arcs:
        problems.append(f"{dict(kinds)} for {lines} LINE and {arcs} ARC/CIRCLE")
    figures = {"records": sum(kinds.values())}
    if render_board and sum(kinds.values()) > 0:
        import compare_with_ezdxf as pictures
        board_png = os.path.join(out_dir, name + ".board.png")
        dxf_png = os.path.join(out_dir, name + ".dxf.png")
        try:
            box = pictures.board_picture(render_board, jww, board_png)
        except subprocess.CalledProcessError:
            return problems, figures  # nothing the board shows
        factor = d["values"]["m_adScale[0]"] / UNIT_MM.get(doc.header.get("$INSUNITS", 0), 1.0)
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        subprocess.run([render_board, dxf, dxf_png, str(pictures.WIDTH), str(pictures.HEIGHT)] +
                       [str(v * factor) for v in box], env=env, capture_output=True, check=True)
        board, other = pictures.inked(board_png), pictures.inked(dxf_png)
        share = min(pictures.agreement(board, other), pictures.agreement(other, board))
        figures["ink"] = share
        if share < minimum:
            problems.append(f"pictures agree {share:.3f} < {minimum}")
    return problems, figures


def main(argv):
    if len(argv) not in (4, 6):
        print(__doc__)
        return 2
    batch, corpus, out_dir = argv[1:4]
    render_board, minimum = (argv[4], float(argv[5])) if len(argv) == 6 else (None, 0.0)
    drawings = sorted(glob.glob(os.path.join(corpus, "real-dxf", "*.dxf")))
    if not drawings:
        print(f"SKIPPED: no real DXF drawings under {corpus}/real-dxf")
        return 0
    os.makedirs(out_dir, exist_ok=True)
    return check_report.report(
        drawings, lambda dxf: check(batch, dxf, out_dir, render_board, minimum),
        "DXF drawings saved as JWW")


if __name__ == "__main__":
    sys.exit(main(sys.argv))

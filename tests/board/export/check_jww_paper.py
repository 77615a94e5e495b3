#!/usr/bin/env python3
"""Checks that a Jw_cad drawing exported to PDF at scale, with no sheet named, is printed on its
own paper as Jw_cad lays it: the page is the header's paper (A0-A4 lying landscape) and the
paper's middle is the drawing's origin, when the drawing lies on its paper.

Usage: check_jww_paper.py PELIMATOR_BATCH CORPUS_DIR OUT_DIR

For every drawing of CORPUS_DIR/real-jww (and its subfolders) the test reads the header and the
lines itself (jww_records.py, not Pelimator's reader), exports the drawing with pelimator-batch,
asks pdfinfo for the page size and rasterises the page with pdftoppm. On its paper, the end points
of the lines on shown layers must be inked where the paper puts them (within 2 pixels at 4 pixels
a millimetre, for at least MIN_INKED of them). A drawing that reaches past its paper (a line end,
circle, point or text start outside it) may go on another sheet."""
import glob
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "jww"))
import jww_records  # noqa: E402
import numpy as np  # noqa: E402
from PIL import Image  # noqa: E402

PAPERS = {0: (1189.0, 841.0), 1: (841.0, 594.0), 2: (594.0, 420.0), 3: (420.0, 297.0),
          4: (297.0, 210.0)}
PIXELS_PER_MM = 4.0
NEAR = 2  # pixels
MIN_INKED = 0.95
PT_PER_MM = 72.0 / 25.4


def shown(values, f):
    g, lay = f["m_nGLayer"] & 15, f["m_nLayer"] & 15
    return values[f"m_anGLay[{g}]"] != 0 and values[f"m_aanLay[{g}][{lay}]"] != 0


def drawing(path):
    """The paper code, the line end points on shown layers and whether anything shown lies past
    the paper (paper mm, Y up, origin in the paper's middle)."""
    d = jww_records.read(path)
    version, values = d["version"], d["values"]
    paper = values["m_nZumen"]
    width, height = PAPERS.get(paper, (float("inf"), float("inf")))
    ends, past = [], False

    def outside(x, y):
        return abs(x) > width / 2 + 1e-3 or abs(y) > height / 2 + 1e-3

    for cls, body in d["records"]:
        if cls in ("null", "ref"):
            continue
        f = jww_records.parse_fields(version, cls, body)
        if not shown(values, f):
            continue
        if cls == "CDataSen":
            for p in ((f["x1"], f["y1"]), (f["x2"], f["y2"])):
                ends.append(p)
                past |= outside(*p)
        elif cls == "CDataEnko":
            r = f["radius"] * max(1.0, abs(f["flat"]))
            past |= outside(f["cx"] + r, f["cy"] + r) or outside(f["cx"] - r, f["cy"] - r)
        elif cls in ("CDataMoji", "CDataTen"):
            x, y = (f["x1"], f["y1"]) if cls == "CDataMoji" else (f["x"], f["y"])
            past |= outside(x, y)
    return paper, ends, past


def page_size_mm(pdf):
    info = subprocess.run(["pdfinfo", pdf], capture_output=True, text=True, check=True).stdout
    line = next(x for x in info.splitlines() if x.startswith("Page size:"))
    w, _, h = line.split()[2:5]
    return float(w) / PT_PER_MM, float(h) / PT_PER_MM


def inked_share(pdf, out_prefix, ends, width, height):
    subprocess.run(["pdftoppm", "-r", str(PIXELS_PER_MM * 25.4), "-png", "-singlefile", pdf,
                    out_prefix], check=True)
    picture = np.asarray(Image.open(out_prefix + ".png").convert("RGB")).min(axis=2) < 220
    rows, cols = picture.shape
    inked = 0
    for x, y in ends:
        col = round((x + width / 2) * PIXELS_PER_MM)
        row = round((height / 2 - y) * PIXELS_PER_MM)
        window = picture[max(row - NEAR, 0):min(row + NEAR + 1, rows),
                         max(col - NEAR, 0):min(col + NEAR + 1, cols)]
        inked += bool(window.size and window.any())
    return inked / len(ends) if ends else 1.0


def main():
    batch, corpus, out_dir = sys.argv[1:4]
    os.makedirs(out_dir, exist_ok=True)
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    paths = sorted(glob.glob(os.path.join(corpus, "real-jww", "**", "*.jww"), recursive=True))
    if not paths:
        print("no real Jw_cad drawings in", corpus)
        return 77
    failures, on_paper = [], 0
    for path in paths:
        name = os.path.splitext(os.path.basename(path))[0]
        paper, ends, past = drawing(path)
        pdf = os.path.join(out_dir, name + ".pdf")
        subprocess.run([batch, "--export", pdf, path], env=env, capture_output=True, check=True)
        w, h = page_size_mm(pdf)
        own = PAPERS.get(paper)
        if own is None or past:
            print(f"ok   {name}: paper {paper}, page {w:.0f} x {h:.0f} mm, "
                  f"{'reaches past its paper' if past else 'a paper without an ISO sheet'}")
            continue
        on_paper += 1
        share = 0.0
        if abs(w - own[0]) < 0.5 and abs(h - own[1]) < 0.5:
            share = inked_share(pdf, os.path.join(out_dir, name), ends, w, h)
        verdict = share >= MIN_INKED
        print(f"{'ok  ' if verdict else 'FAIL'} {name}: paper {own[0]:.0f} x {own[1]:.0f} mm, "
              f"page {w:.0f} x {h:.0f} mm, {len(ends)} line ends, inked {share:.3f}")
        if not verdict:
            failures.append(name)
    print(f"{len(paths) - len(failures)} of {len(paths)} drawings; {on_paper} on their own paper")
    if failures:
        print("failed:", ", ".join(failures))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

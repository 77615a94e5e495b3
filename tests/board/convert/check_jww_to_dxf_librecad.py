#!/usr/bin/env python3
"""Every real Jw_cad drawing converted to DXF by pelimator-batch and printed by a second DXF reader
of its own, LibreCAD (`librecad dxf2pdf`), against the board's picture of the JWW.

LibreCAD's print draws every text in its own stroke font, whatever the text style names, and
that font has no Japanese glyphs (each is a small diamond); so LibreCAD prints a copy of the DXF
without its texts. It fits that copy's extents to its page (A4 upright; it takes no other paper
size from the command line) with no margins; the PDF is rasterised with pdftoppm, and the board
paints the JWW into a picture of the same size fitted to the same extents (ezdxf's, over the
copy). The texts' place, ezdxf's picture of the DXF's texts alone in that frame grown by
TEXT_MARGIN pixels, is left out of both pictures. The measure is the share of ink of
tests/board/render/compare_with_ezdxf.py; both shares must reach MIN_AGREEMENT. The pictures are
kept in OUT_DIR as NAME.board.png, NAME.librecad.png and NAME.texts.png.

Besides the real drawings, a generated one holds a line in each of Jw_cad's own dashed line
types (check_jww_to_dxf.generated_linetypes): each of them must print broken, inked below
DASHED_EACH. Its pictures are not held to MIN_AGREEMENT, all its lines being dashed, in
LibreCAD's own patterns rather than Jw_cad's.

Dashes: LibreCAD draws a linetype by its name, its own pattern for names it knows and any other
solid. Along each model-space LINE of the print (its ends and what the texts cover left out)
the share of points inked: the median over the lines whose linetype has gaps must stay below
DASHED_MOST, and over the others reach SOLID_LEAST (which shows the lines are looked for where
they are printed).

Exits with 77 (skipped) when librecad or pdftoppm is not installed.

Usage: check_jww_to_dxf_librecad.py PELIMATOR_BATCH RENDER_BOARD CORPUS OUT_DIR MIN_AGREEMENT"""
import glob
import math
import os
import shutil
import statistics
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "render"))
import check_jww_to_dxf  # noqa: E402
import check_report  # noqa: E402
import compare_with_ezdxf as pictures  # noqa: E402
import ezdxf  # noqa: E402
import ezdxf.bbox  # noqa: E402

SKIPPED = 77
DPI = 100
TEXT_MARGIN = 6
DASHED_MOST = 0.85
DASHED_EACH = 0.95
SOLID_LEAST = 0.95
LINE_END = 3  # pixels left out at each end of a line, where others meet it
ENV = dict(os.environ, QT_QPA_PLATFORM="offscreen")


def librecad_picture(dxf, out_dir, png):
    """LibreCAD's print of dxf, fitted to its page, as a PNG; its (width, height) in pixels."""
    pdf_dir = os.path.join(out_dir, "pdf")
    os.makedirs(pdf_dir, exist_ok=True)
    pdf = os.path.join(pdf_dir, os.path.splitext(os.path.basename(dxf))[0] + ".pdf")
    if os.path.exists(pdf):
        os.remove(pdf)
    run = subprocess.run(["librecad", "dxf2pdf", "-a", "-f", "0,0,0,0", "-t", pdf_dir, dxf],
                         env=ENV, capture_output=True, text=True, timeout=120)
    if not os.path.exists(pdf):
        raise RuntimeError(f"librecad printed no PDF: {run.stdout[-300:]} {run.stderr[-300:]}")
    stem = os.path.splitext(png)[0]
    subprocess.run(["pdftoppm", "-png", "-singlefile", "-r", str(DPI), pdf, stem], check=True)
    image = pictures.plt.imread(png)
    return image.shape[1], image.shape[0]


def split_texts(dxf, out_dir, name):
    """Two copies of the DXF: without its model space texts, and with nothing else; and the
    extents of the first as ezdxf finds them."""
    paths = []
    for texts in (False, True):
        doc = ezdxf.readfile(dxf)
        msp = doc.modelspace()
        for e in list(msp):
            if (e.dxftype() in ("TEXT", "MTEXT")) != texts:
                msp.delete_entity(e)
        if not texts:
            box = ezdxf.bbox.extents(msp)
        paths.append(os.path.join(out_dir, f"{name}.{'texts' if texts else 'shapes'}.dxf"))
        doc.saveas(paths[-1])
    return paths[0], paths[1], [box.extmin.x, box.extmin.y, box.extmax.x, box.extmax.y]


def has_gaps(doc, e):
    """Whether the linetype a LINE is drawn in (its own, else its layer's) has gaps."""
    name = e.dxf.get("linetype", "BYLAYER")
    if name.upper() == "BYLAYER":
        layer = doc.layers.get(e.dxf.layer)
        name = layer.dxf.get("linetype", "CONTINUOUS") if layer is not None else "CONTINUOUS"
    ltype = doc.linetypes.get(name) if name.upper() not in ("BYBLOCK", "CONTINUOUS") else None
    tags = ltype.pattern_tags.tags if ltype is not None else None
    return bool(tags) and any(t.code == 49 and t.value < 0 for t in tags)


def line_shares(dxf, box, ink, left_out):
    """(shares of dashed lines, shares of solid lines): for each model-space LINE of dxf on a
    shown layer, the share of the points along it, a pixel apart in the picture ink fitted to
    box, that are inked (within a pixel), those in left_out or within LINE_END of its ends not
    counted."""
    doc = ezdxf.readfile(dxf)
    height, width = ink.shape
    min_x, min_y, max_x, max_y = box
    ppu = min(width / max(max_x - min_x, 1e-9), height / max(max_y - min_y, 1e-9))
    cx, cy = (min_x + max_x) / 2, (min_y + max_y) / 2
    near = pictures.grown(ink, 1)
    shares = ([], [])
    for e in doc.modelspace().query("LINE"):
        layer = doc.layers.get(e.dxf.layer)
        if layer is not None and (layer.is_off() or layer.is_frozen()):
            continue  # not printed
        x0, y0 = (e.dxf.start.x - cx) * ppu + width / 2, height / 2 - (e.dxf.start.y - cy) * ppu
        x1, y1 = (e.dxf.end.x - cx) * ppu + width / 2, height / 2 - (e.dxf.end.y - cy) * ppu
        steps = int(math.hypot(x1 - x0, y1 - y0))
        hits = []
        for i in range(LINE_END, steps - LINE_END):
            col = int(round(x0 + (x1 - x0) * i / steps))
            row = int(round(y0 + (y1 - y0) * i / steps))
            if 0 <= row < height and 0 <= col < width and not left_out[row, col]:
                hits.append(bool(near[row, col]))
        if len(hits) >= 20:
            shares[0 if has_gaps(doc, e) else 1].append(sum(hits) / len(hits))
    return shares


def check(batch, render_board, jww, out_dir, minimum, generated=False):
    name = os.path.splitext(os.path.basename(jww))[0]
    dxf = os.path.join(out_dir, name + ".dxf")
    if os.path.exists(dxf):
        os.remove(dxf)
    # Random lines are the one named loss; the picture is what is looked at here.
    run = subprocess.run([batch, "--allow-loss", "-o", dxf, jww], capture_output=True, text=True)
    if run.returncode != 0 or not os.path.exists(dxf):
        return [f"no DXF: {run.stderr.strip()}"], {}
    scales = check_jww_to_dxf.expected(jww)[4]
    if len(scales) != 1:
        return [f"{len(scales)} group scales: no one frame for both pictures"], {}
    scale = scales.pop()
    shapes, texts, box = split_texts(dxf, out_dir, name)
    other_png = os.path.join(out_dir, name + ".librecad.png")
    try:
        width, height = librecad_picture(shapes, out_dir, other_png)
    except (RuntimeError, subprocess.SubprocessError) as e:
        return [str(e)], {}
    # The board paints the JWW (paper millimetres) in the frame LibreCAD fits, the extents of
    # the DXF's shapes (real millimetres).
    board_png = os.path.join(out_dir, name + ".board.png")
    subprocess.run([render_board, jww, board_png, str(width), str(height)] +
                   [str(v / scale) for v in box], env=ENV, capture_output=True, check=True)
    texts_png = os.path.join(out_dir, name + ".texts.png")
    pictures.ezdxf_picture(texts, texts_png, box, width=width, height=height)
    covered = pictures.grown(pictures.inked(texts_png), TEXT_MARGIN)
    board = pictures.inked(board_png) & ~covered
    other = pictures.inked(other_png) & ~covered
    mine, theirs = pictures.agreement(board, other), pictures.agreement(other, board)
    figures = {"board-in-librecad": mine, "librecad-in-board": theirs}
    problems = []
    if min(mine, theirs) < minimum and not generated:
        problems.append(f"pictures agree {min(mine, theirs):.3f} < {minimum}")
    dashed, solid = line_shares(shapes, box, pictures.inked(other_png), covered)
    if generated and dashed and max(dashed) >= DASHED_EACH:
        problems.append(f"a line of each dashed type: {max(dashed):.3f} inked >= {DASHED_EACH}")
    if dashed:
        figures["dashed-ink"] = statistics.median(dashed)
        if figures["dashed-ink"] >= DASHED_MOST:
            problems.append(f"{len(dashed)} dashed lines printed {figures['dashed-ink']:.3f} "
                            f"inked (median) >= {DASHED_MOST}")
    if solid:
        figures["solid-ink"] = statistics.median(solid)
        if figures["solid-ink"] < SOLID_LEAST:
            problems.append(f"{len(solid)} solid lines printed {figures['solid-ink']:.3f} inked "
                            f"(median) < {SOLID_LEAST}")
    return problems, figures


def main(argv):
    if len(argv) != 6:
        print(__doc__)
        return 2
    batch, render_board, corpus, out_dir, minimum = argv[1:5] + [float(argv[5])]
    missing = [tool for tool in ("librecad", "pdftoppm") if not shutil.which(tool)]
    if missing:
        print(f"SKIPPED: {' and '.join(missing)} not installed")
        return SKIPPED
    drawings = sorted(glob.glob(os.path.join(corpus, "real-jww", "**", "*.jww"), recursive=True))
    if not drawings:
        print(f"SKIPPED: no real Jw_cad drawings under {corpus}/real-jww")
        return SKIPPED
    os.makedirs(out_dir, exist_ok=True)
    generated = os.path.join(out_dir, "generated-linetypes.jww")
    check_jww_to_dxf.jww_gen.write(generated, check_jww_to_dxf.generated_linetypes(700))
    drawings.append(generated)
    return check_report.report(
        drawings,
        lambda jww: check(batch, render_board, jww, out_dir, minimum, jww == generated),
        "drawings print in LibreCAD as the board paints them")


if __name__ == "__main__":
    sys.exit(main(sys.argv))

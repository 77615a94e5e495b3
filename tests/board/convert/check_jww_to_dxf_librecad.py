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

Exits with 77 (skipped) when librecad or pdftoppm is not installed.

Usage: check_jww_to_dxf_librecad.py PELIMATOR_BATCH RENDER_BOARD CORPUS OUT_DIR MIN_AGREEMENT"""
import glob
import os
import shutil
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


def check(batch, render_board, jww, out_dir, minimum):
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
    if min(mine, theirs) < minimum:
        return [f"pictures agree {min(mine, theirs):.3f} < {minimum}"], figures
    return [], figures


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
    return check_report.report(
        drawings, lambda jww: check(batch, render_board, jww, out_dir, minimum),
        "drawings print in LibreCAD as the board paints them")


if __name__ == "__main__":
    sys.exit(main(sys.argv))

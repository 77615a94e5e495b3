#!/usr/bin/env python3
"""Compares the pictures pelimator-batch --export writes of a drawing fitted to a sheet (SVG, PNG
and PDF, on A4 and A0 lying landscape) with ezdxf's drawing add-on picture of the same page.

Usage: compare_fitted_exports.py PELIMATOR_BATCH EXPORT_FRAME OUT_DIR MIN_EZDXF DRAWING.dxf...

The drawings are taken at their own scale, so a large drawing (a site in metres) is reduced a
thousandfold onto the sheet: the case where dashed lines once went missing or bent. Every picture
is rasterised at RASTER pixels per page millimetre (rsvg-convert, pdftoppm, the PNG's own --dpi),
so the plotted 0.25 mm line stays inked, then pooled (a cell is inked when any of its pixels is)
to about GRID pixels across; ezdxf draws the page's box at that size. Agreement is that of
compare_with_ezdxf.py, both ways: the share of one picture's inked pixels within 2 pixels of the
other's, at least MIN_EZDXF. A blank export fails: ezdxf's ink is then near none of ours. The
pictures are kept in OUT_DIR. A drawing that is not there is skipped, saying so, and the run
ends with 77 (skipped) when nothing failed."""
import math
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "render"))
import compare_with_ezdxf as cmp  # noqa: E402
import numpy as np  # noqa: E402

SHEETS = {"A4": (297.0, 210.0), "A0": (1189.0, 841.0)}  # landscape
RASTER = 3.0  # pixels per page mm for rasterising
GRID = 900  # about this many cells across after pooling


def run(args):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    return subprocess.run(args, env=env, capture_output=True, text=True, check=True)


def pooled(mask, factor, width, height):
    """mask (at least height*factor x width*factor after padding) pooled to height x width."""
    out = np.zeros((height * factor, width * factor), dtype=bool)
    h, w = min(out.shape[0], mask.shape[0]), min(out.shape[1], mask.shape[1])
    out[:h, :w] = mask[:h, :w]
    return out.reshape(height, factor, width, factor).any(axis=(1, 3))


def compare(tools, out_dir, minimum, dxf, sheet):
    batch, export_frame = tools
    name = os.path.splitext(os.path.basename(dxf))[0] + "." + sheet
    base = os.path.join(out_dir, name)
    f = {k: float(v) for k, v in
         (line.split("=") for line in run([export_frame, dxf, sheet, "landscape"]).stdout.split())}
    page_w, page_h = SHEETS[sheet]
    factor = max(1, math.ceil(RASTER * page_w / GRID))
    width, height = math.ceil(page_w * RASTER / factor), math.ceil(page_h * RASTER / factor)
    raster_w, raster_h = round(page_w * RASTER), round(page_h * RASTER)
    zoom, factor_units = f["fit_zoom"], f["factor"]
    x0, y1 = f["fit_x0"] * factor_units, f["fit_y0"] * factor_units
    box = (x0, y1 - page_h / zoom * factor_units, x0 + page_w / zoom * factor_units, y1)
    ezdxf_png = base + ".ezdxf.png"
    cmp.ezdxf_picture(dxf, ezdxf_png, box, width, height)
    theirs = pooled(cmp.inked(ezdxf_png), 1, width, height)

    pictures = {}
    fit = ["--sheet", sheet + ",landscape", "--fit"]
    run([batch, "--export", base + ".svg", *fit, dxf])
    run(["rsvg-convert", "-b", "white", "-w", str(raster_w), "-h", str(raster_h),
         "-o", base + ".svg.png", base + ".svg"])
    pictures["svg"] = base + ".svg.png"
    run([batch, "--export", base + ".png", "--dpi", str(round(RASTER * 25.4)), *fit, dxf])
    pictures["png"] = base + ".png"
    run([batch, "--export", base + ".pdf", *fit, dxf])
    run(["pdftoppm", "-png", "-singlefile", "-r", f"{RASTER * 25.4:.6f}", base + ".pdf",
         base + ".pdf"])
    pictures["pdf"] = base + ".pdf.png"

    failed = False
    for kind, png in pictures.items():
        ours = pooled(cmp.inked(png), factor, width, height)
        a, b = cmp.agreement(ours, theirs), cmp.agreement(theirs, ours)
        ok = a >= minimum and b >= minimum and ours.any()
        failed = failed or not ok
        print(f"{name} {kind}: ink near ezdxf's {a:.3f}, ezdxf's ink near it {b:.3f} "
              f"(at least {minimum}) {'ok' if ok else 'FAILED'}")
    return failed


def main(argv):
    if len(argv) < 6:
        print(__doc__)
        return 2
    tools, out_dir, minimum = argv[1:3], argv[3], float(argv[4])
    os.makedirs(out_dir, exist_ok=True)
    failed = False
    skipped = False
    for dxf in argv[5:]:
        if not os.path.exists(dxf):
            print(f"{dxf}: skipped (the real drawings are not beside the checkout)")
            skipped = True
            continue
        for sheet in SHEETS:
            failed = compare(tools, out_dir, minimum, dxf, sheet) or failed
    return 1 if failed else 77 if skipped else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

#!/usr/bin/env python3
"""Compares the pictures pelimator-batch --export writes (SVG, PDF at scale and fitted, PNG)
with ezdxf's drawing add-on and with the window's own picture of the same drawing.

Usage: compare_exports.py PELIMATOR_BATCH RENDER_BOARD EXPORT_FRAME OUT_DIR MIN_WINDOW MIN_EZDXF
       DRAWING.dxf...

Each drawing is exported at one scale 1:N (--scale N, the smallest of 1, 2, 5, 10, 20, 50, ...
that puts it on an A4 sheet lying landscape) and every PDF on that sheet, so every format is
compared, at scale and fitted. Every picture is brought to one grid: the export's frame (the
drawing plus its margin) at S pixels per paper millimetre. The SVG is rasterised by
rsvg-convert, the PDF page by pdftoppm (at the resolution that gives S for the page's zoom, then
cut to the frame), the PNG is written at S * 25.4 dpi; ezdxf and the window's painter draw the
frame's box at the same size. Inked pixels and the agreement are those of compare_with_ezdxf.py:
the share of one picture's inked pixels within 2 pixels of an inked pixel of the other, which
must reach MIN_WINDOW (against the window's picture) or MIN_EZDXF (against ezdxf's) both ways for
every pair. The pictures are kept in OUT_DIR."""
import math
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "render"))
import compare_with_ezdxf as cmp  # noqa: E402
import numpy as np  # noqa: E402

SHEET = ("A4", "landscape")  # every PDF's, at scale and fitted
SHEET_MM = (297.0, 210.0)
MAX_PIXELS = 1100  # the longer side of the grid
MAX_PER_MM = 8.0  # so the plotted 0.25 mm line stays within the 2-pixel tolerance
MIN_PER_MM = 3.0  # below it the plotted 0.25 mm line fades under the ink threshold


def run(args, **kwargs):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    return subprocess.run(args, env=env, capture_output=True, text=True, check=True, **kwargs)


def to_grid(mask, width, height):
    """mask cut or padded (not inked) to height x width: matplotlib and the ceilings of the
    export sizes may differ by a pixel at the far edges; more than 2 is a fault."""
    if abs(mask.shape[0] - height) > 2 or abs(mask.shape[1] - width) > 2:
        return None
    out = np.zeros((height, width), dtype=bool)
    h, w = min(height, mask.shape[0]), min(width, mask.shape[1])
    out[:h, :w] = mask[:h, :w]
    return out


def crop(mask, x, y, width, height):
    """The height x width part of mask from (x, y), not inked where it lies off mask: a fitted
    drawing's margin may reach past the page."""
    out = np.zeros((height, width), dtype=bool)
    top, left = max(0, -y), max(0, -x)
    bottom = min(height, mask.shape[0] - y)
    right = min(width, mask.shape[1] - x)
    if bottom > top and right > left:
        out[top:bottom, left:right] = mask[y + top:y + bottom, x + left:x + right]
    return out


def frame_of(export_frame, dxf, denominator):
    out = run([export_frame, dxf, *SHEET, str(denominator)]).stdout
    return {k: float(v) for k, v in (line.split("=") for line in out.split())}


def common_scale(export_frame, dxf):
    """The denominator that puts the drawing on the sheet at scale, and its frame there."""
    f = frame_of(export_frame, dxf, 1)
    margin = 10.0  # the frame's margin on both sides, which does not scale
    for n in (m * 10 ** k for k in range(7) for m in (1, 2, 5)):
        if ((f["width"] - margin) / n + margin <= SHEET_MM[0]
                and (f["height"] - margin) / n + margin <= SHEET_MM[1]):
            break
    f = frame_of(export_frame, dxf, n)
    return n, f


PDF_RUNS = [("pdf_scale", "scale", []), ("pdf_fit", "fit", ["--fit"])]


def export_svg_and_png(batch, base, dxf, scale, dpi, width, height, pictures):
    run([batch, "--export", base + ".svg", *scale, dxf])
    run(["rsvg-convert", "-b", "white", "-w", str(width), "-h", str(height),
         "-o", base + ".svg.png", base + ".svg"])
    pictures["svg"] = base + ".svg.png"
    run([batch, "--export", base + ".png", "--dpi", str(dpi), *scale, dxf])
    pictures["png"] = base + ".png"


def compare_drawing(tools, out_dir, minimums, dxf):
    batch, render_board, export_frame = tools
    name = os.path.splitext(os.path.basename(dxf))[0]
    base = os.path.join(out_dir, name)
    n, f = common_scale(export_frame, dxf)
    scale = ["--scale", str(n)]
    dpi = max(10, int(25.4 * min(MAX_PER_MM, MAX_PIXELS / max(f["width"], f["height"]))))
    s = dpi / 25.4
    width, height = math.ceil(f["width"] * s), math.ceil(f["height"] * s)
    factor = f["factor"]
    box = (f["x0"] * factor, (f["y0"] - f["height"]) * factor,
           (f["x0"] + f["width"]) * factor, f["y0"] * factor)
    print(f"{name}: 1:{n}, {s:.2f} pixels per mm, {width}x{height}")
    if s < MIN_PER_MM or not f["scale_fits"]:
        print(f"{name}: does not come to {MIN_PER_MM} pixels per mm on the sheet at scale FAILED")
        return True

    pictures = {}
    export_svg_and_png(batch, base, dxf, scale, dpi, width, height, pictures)
    for key, layout, extra in PDF_RUNS:
        run([batch, "--export", base + "." + key + ".pdf", "--sheet", ",".join(SHEET), *extra,
             *scale, dxf])
        zoom = f[layout + "_zoom"]
        run(["pdftoppm", "-png", "-singlefile", "-r", f"{dpi / zoom:.6f}",
             base + "." + key + ".pdf", base + "." + key])
        x = round((f["x0"] - f[layout + "_x0"]) * s)
        y = round((f[layout + "_y0"] - f["y0"]) * s)
        pictures[key] = crop(cmp.inked(base + "." + key + ".png"), x, y, width, height)

    window = base + ".window.png"
    run([render_board, dxf, window, str(width), str(height), *(f"{v:.12g}" for v in box)])
    ezdxf_png = base + ".ezdxf.png"
    cmp.ezdxf_picture(dxf, ezdxf_png, box, width, height)
    others = {"ezdxf": to_grid(cmp.inked(ezdxf_png), width, height),
              "window": to_grid(cmp.inked(window), width, height)}

    failed = False
    for kind, picture in pictures.items():
        ours = picture if isinstance(picture, np.ndarray) else to_grid(cmp.inked(picture), width,
                                                                         height)
        if ours is None:
            print(f"{name} {kind}: not {width}x{height} pixels FAILED")
            failed = True
            continue
        for other_name, other in others.items():
            a, b = cmp.agreement(ours, other), cmp.agreement(other, ours)
            minimum = minimums[other_name]
            ok = a >= minimum and b >= minimum
            failed = failed or not ok
            print(f"{name} {kind}: ink near {other_name}'s {a:.3f}, {other_name}'s ink near it "
                  f"{b:.3f} (at least {minimum}) {'ok' if ok else 'FAILED'}")
    return failed


def main(argv):
    if len(argv) < 8:
        print(__doc__)
        return 2
    tools, out_dir = argv[1:4], argv[4]
    minimums = {"window": float(argv[5]), "ezdxf": float(argv[6])}
    os.makedirs(out_dir, exist_ok=True)
    failed = False
    for dxf in argv[7:]:
        failed = compare_drawing(tools, out_dir, minimums, dxf) or failed
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

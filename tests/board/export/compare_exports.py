#!/usr/bin/env python3
"""Compares the pictures pelimator-batch --export writes (SVG, PDF at scale and fitted, PNG)
with ezdxf's drawing add-on and with the window's own picture of the same drawing.

Usage: compare_exports.py PELIMATOR_BATCH RENDER_BOARD EXPORT_FRAME OUT_DIR MIN_WINDOW MIN_EZDXF
       DRAWING.dxf...

Every picture is brought to one grid: the export's frame (the drawing plus its margin) at S
pixels per paper millimetre. The SVG is rasterised by rsvg-convert, the PDF page by pdftoppm
(cropped to the frame, at the resolution that gives S for the page's zoom), the PNG is written
at S * 25.4 dpi; ezdxf and the window's painter draw the frame's box at the same size. Inked
pixels and the agreement are those of compare_with_ezdxf.py: the share of one picture's inked
pixels within 2 pixels of an inked pixel of the other, which must reach MIN_WINDOW (against the
window's picture) or MIN_EZDXF (against ezdxf's) both ways for every pair. A drawing so large
that the grid has under 3 pixels per mm (its plotted 0.25 mm lines would fade under the ink
threshold) is
judged by its fitted PDF alone. The pictures are kept in OUT_DIR."""
import math
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "ui"))
import compare_with_ezdxf as cmp  # noqa: E402
import numpy as np  # noqa: E402

SHEET = ("A3", "portrait")  # the fitted PDF's sheet; at scale the batch picks the smallest
MAX_PIXELS = 1100  # the longer side of the grid
MAX_PER_MM = 8.0  # so the plotted 0.25 mm line stays within the 2-pixel tolerance


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


def frame_of(export_frame, dxf):
    out = run([export_frame, dxf, *SHEET]).stdout
    return {k: float(v) for k, v in (line.split("=") for line in out.split())}


PDF_RUNS = [("pdf_scale", "scale", []), ("pdf_fit", "fit", ["--fit", "--sheet", ",".join(SHEET)])]


def export_svg_and_png(batch, base, dxf, dpi, width, height, pictures):
    run([batch, "--export", base + ".svg", dxf])
    run(["rsvg-convert", "-b", "white", "-w", str(width), "-h", str(height),
         "-o", base + ".svg.png", base + ".svg"])
    pictures["svg"] = base + ".svg.png"
    run([batch, "--export", base + ".png", "--dpi", str(dpi), dxf])
    pictures["png"] = base + ".png"


def compare_drawing(tools, out_dir, minimums, dxf):
    batch, render_board, export_frame = tools
    name = os.path.splitext(os.path.basename(dxf))[0]
    base = os.path.join(out_dir, name)
    f = frame_of(export_frame, dxf)
    dpi = max(10, int(25.4 * min(MAX_PER_MM, MAX_PIXELS / max(f["width"], f["height"]))))
    s = dpi / 25.4
    width, height = math.ceil(f["width"] * s), math.ceil(f["height"] * s)
    factor = f["factor"]
    box = (f["x0"] * factor, (f["y0"] - f["height"]) * factor,
           (f["x0"] + f["width"]) * factor, f["y0"] * factor)

    pictures = {}
    fine = s >= 3.0
    if not fine:
        print(f"{name}: {s:.2f} pixels per mm, under a pixel for the plotted line: the fitted "
              "PDF alone is compared")
    if fine:
        export_svg_and_png(batch, base, dxf, dpi, width, height, pictures)
    for key, layout, extra in PDF_RUNS:
        if not f[layout + "_fits"] or (layout == "scale" and not fine):
            continue
        run([batch, "--export", base + "." + key + ".pdf", *extra, dxf])
        zoom = f[layout + "_zoom"]
        x = round((f["x0"] - f[layout + "_x0"]) * s)
        y = round((f[layout + "_y0"] - f["y0"]) * s)
        run(["pdftoppm", "-png", "-singlefile", "-r", f"{dpi / zoom:.6f}", "-x", str(x), "-y",
             str(y), "-W", str(width), "-H", str(height), base + "." + key + ".pdf",
             base + "." + key])
        pictures[key] = base + "." + key + ".png"

    window = base + ".window.png"
    run([render_board, dxf, window, str(width), str(height), *(f"{v:.12g}" for v in box)])
    ezdxf_png = base + ".ezdxf.png"
    cmp.ezdxf_picture(dxf, ezdxf_png, box, width, height)
    others = {"ezdxf": to_grid(cmp.inked(ezdxf_png), width, height),
              "window": to_grid(cmp.inked(window), width, height)}

    failed = False
    for kind, png in pictures.items():
        ours = to_grid(cmp.inked(png), width, height)
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

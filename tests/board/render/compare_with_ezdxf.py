#!/usr/bin/env python3
"""Compares what the board paints with what ezdxf's drawing add-on draws (through matplotlib) for
the same drawing at the same scale and extents.

Usage: compare_with_ezdxf.py RENDER_BOARD OUT_DIR MIN_AGREEMENT DRAWING.dxf...

Both pictures are WIDTH x HEIGHT pixels showing the drawing's extents as the board fits them.
A pixel is inked when it is darker than light grey, or is half of a line anti-aliased across two
pixel rows or columns (see inked). The agreement of one picture with the other is
the share of its inked pixels that lie within RADIUS pixels of an inked pixel of the other; both
agreements must reach MIN_AGREEMENT. The pictures are kept in OUT_DIR as NAME.board.png and
NAME.ezdxf.png."""
import os
import subprocess
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

import ezdxf  # noqa: E402
from ezdxf.addons.drawing import Frontend, RenderContext  # noqa: E402
from ezdxf.addons.drawing.matplotlib import MatplotlibBackend  # noqa: E402

WIDTH, HEIGHT, DPI = 1200, 800, 100
RADIUS = 2
INK = 200  # a channel below this is ink


def board_picture(render_board, dxf, png):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    out = subprocess.run([render_board, dxf, png, str(WIDTH), str(HEIGHT)], env=env,
                         capture_output=True, text=True, check=True)
    return [float(v) for v in out.stdout.split()]


def ezdxf_picture(dxf, png, box, width=WIDTH, height=HEIGHT, font_of=None):
    """font_of(style): the font family ezdxf draws a text style in, by default Noto Sans CJK JP."""
    min_x, min_y, max_x, max_y = box
    # The board's fit: the box centred, at the zoom that shows all of it.
    ppu = min(width / max(max_x - min_x, 1e-9), height / max(max_y - min_y, 1e-9))
    cx, cy = (min_x + max_x) / 2, (min_y + max_y) / 2
    doc = ezdxf.readfile(dxf)
    # The board writes text in Noto Sans CJK; ezdxf is given the same font (it has no other
    # with Japanese glyphs here).
    for style in doc.styles:
        style.dxf.font = font_of(style) if font_of else "Noto Sans CJK JP"
    fig = plt.figure(figsize=(width / DPI, height / DPI), dpi=DPI)
    ax = fig.add_axes([0, 0, 1, 1])
    ctx = RenderContext(doc)
    msp = doc.modelspace()
    ctx.set_current_layout(msp)
    # On white, as the board draws; the layer colours are resolved again against it (ezdxf 0.18
    # resolves them in set_current_layout, for its dark default background).
    ctx.current_layout_properties.set_colors("#ffffff")
    ctx.layers = ctx._setup_layers(doc)
    Frontend(ctx, MatplotlibBackend(ax)).draw_layout(
        msp, finalize=False, layout_properties=ctx.current_layout_properties)
    ax.set_xlim(cx - width / 2 / ppu, cx + width / 2 / ppu)
    ax.set_ylim(cy - height / 2 / ppu, cy + height / 2 / ppu)
    ax.set_aspect("auto")
    ax.axis("off")
    fig.patch.set_facecolor("white")
    fig.savefig(png, dpi=DPI, facecolor="white")
    plt.close(fig)


def shifted(a, dy, dx):
    """a moved by (dy, dx) pixels, what comes in empty."""
    out = np.zeros_like(a)
    h, w = a.shape
    out[max(dy, 0):h + min(dy, 0), max(dx, 0):w + min(dx, 0)] = \
        a[max(-dy, 0):h + min(-dy, 0), max(-dx, 0):w + min(-dx, 0)]
    return out


def inked(png):
    """Pixels darker than INK in some channel; and a hairline anti-aliased across two pixel
    rows (or columns): two neighbours, each too light alone, lighter pixels either side, whose
    darkness together reaches INK's. Both pictures are read so."""
    image = plt.imread(png)
    if image.dtype != np.uint8:
        image = (image[..., :3] * 255).astype(np.uint8)
    dark = 255 - image[..., :3].min(axis=2).astype(np.int32)
    full = 255 - INK
    ink = dark > full
    out = ink.copy()
    for dy, dx in ((1, 0), (0, 1)):
        nxt = shifted(dark, -dy, -dx)  # at each pixel: the next one's darkness
        pair = ~ink & ~shifted(ink, -dy, -dx) & (dark > 0) & (nxt > 0) & (dark + nxt > full) & \
            (shifted(dark, dy, dx) < dark) & (shifted(dark, -2 * dy, -2 * dx) < nxt)
        out |= pair | shifted(pair, dy, dx)
    return out


def grown(mask, radius):
    out = np.zeros_like(mask)
    h, w = mask.shape
    for dy in range(-radius, radius + 1):
        for dx in range(-radius, radius + 1):
            if dx * dx + dy * dy > radius * radius:
                continue
            out[max(dy, 0):h + min(dy, 0), max(dx, 0):w + min(dx, 0)] |= \
                mask[max(-dy, 0):h + min(-dy, 0), max(-dx, 0):w + min(-dx, 0)]
    return out


def agreement(a, b):
    """Share of a's inked pixels near an inked pixel of b."""
    count = a.sum()
    return 1.0 if count == 0 else float((a & grown(b, RADIUS)).sum()) / float(count)


def main(render_board, out_dir, minimum, drawings):
    os.makedirs(out_dir, exist_ok=True)
    failed = False
    for dxf in drawings:
        name = os.path.splitext(os.path.basename(dxf))[0]
        board_png = os.path.join(out_dir, name + ".board.png")
        ezdxf_png = os.path.join(out_dir, name + ".ezdxf.png")
        box = board_picture(render_board, dxf, board_png)
        ezdxf_picture(dxf, ezdxf_png, box)
        board, other = inked(board_png), inked(ezdxf_png)
        ours, theirs = agreement(board, other), agreement(other, board)
        ok = ours >= minimum and theirs >= minimum
        failed = failed or not ok
        print(f"{name}: board ink near ezdxf ink {ours:.3f}, ezdxf ink near board ink "
              f"{theirs:.3f} (at least {minimum}) {'ok' if ok else 'FAILED'}")
    return 1 if failed else 0


if __name__ == "__main__":
    if len(sys.argv) < 5:
        print(__doc__)
        sys.exit(2)
    sys.exit(main(sys.argv[1], sys.argv[2], float(sys.argv[3]), sys.argv[4:]))

#!/usr/bin/env python3
"""The picture measure's ink (compare_with_ezdxf.inked) on named pictures: what it must count as
ink, a hairline anti-aliased across two pixel rows or columns included, and what it must not
(light fills, light bands, faint fringes).

Usage: inked_rows.py OUT_DIR"""
import os
import sys

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import compare_with_ezdxf as pictures  # noqa: E402
import matplotlib.pyplot as plt  # noqa: E402

W, H = 40, 20


def picture(rows=(), columns=(), fill=None):
    """A white picture, grey levels laid on whole rows [(y, level)] and columns [(x, level)]."""
    image = np.full((H, W, 3), 255, dtype=np.uint8)
    if fill is not None:
        image[:, :] = fill
    for y, level in rows:
        image[y, :] = level
    for x, level in columns:
        image[:, x] = level
    return image


# (name, picture, inked pixels wanted)
ROWS = [
    ("a black hairline", picture(rows=[(5, 0)]), W),
    ("a coloured hairline", picture(rows=[(5, (255, 120, 0))]), W),
    ("a hairline across two rows, grey 203 in both", picture(rows=[(5, 203), (6, 203)]), 2 * W),
    ("a hairline across two columns, 201 and 207", picture(columns=[(9, 201), (10, 207)]),
     2 * H),
    ("two rows too light together (230 and 230)", picture(rows=[(5, 230), (6, 230)]), 0),
    ("a light band three rows wide", picture(rows=[(5, 203), (6, 203), (7, 203)]), 0),
    ("a light fill", picture(fill=220), 0),
    ("a light fill under a black line", picture(rows=[(8, 0)], fill=220), W),
    ("a black line and its faint fringe", picture(rows=[(7, 240), (8, 0), (9, 240)]), W),
    ("a dark line's two grey halves", picture(rows=[(3, 140), (4, 140)]), 2 * W),
]


def main(argv):
    if len(argv) != 2:
        print(__doc__)
        return 2
    os.makedirs(argv[1], exist_ok=True)
    failed = 0
    for number, (name, image, wanted) in enumerate(ROWS):
        png = os.path.join(argv[1], f"inked_{number}.png")
        plt.imsave(png, image)
        got = int(pictures.inked(png).sum())
        ok = got == wanted
        failed += not ok
        print("ok  " if ok else "FAIL", f"{name}: {got} inked pixels, {wanted} wanted")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

#!/usr/bin/env python3
"""The board's picture of a generated JWW drawing against ezdxf's drawing add-on's picture of the
same content written as DXF by ezdxf: lines, arcs, circles, an elliptic arc and a solid, in a
group at 1:100 (the write group) and in a group at 1:50, both at their paper coordinates.

Usage: compare_jww_with_ezdxf.py RENDER_BOARD OUT_DIR MIN_AGREEMENT"""
import math
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "render"))
import compare_with_ezdxf as pictures  # noqa: E402
import ezdxf  # noqa: E402
import jww_gen  # noqa: E402


def common(layer=0, group=0, colour=2, style=1):
    return {"m_nPenStyle": style, "m_nPenColor": colour, "m_nLayer": layer, "m_nGLayer": group}


def drawing():
    """The JWW drawing and the DXF of what it shows (coordinates are paper millimetres: group 1
    at 1:50 beside the write group 0 at 1:100 is drawn at its coordinates as well)."""
    header = {"m_nWriteGLay": 0, "m_adScale[0]": 100.0, "m_adScale[1]": 50.0}
    ents, dxf = [], []
    for i in range(6):
        x = i * 400.0
        ents.append(dict(common(), **{"class": "CDataSen"}, x1=x, y1=0.0, x2=x + 300.0,
                         y2=1200.0))
        dxf.append(("LINE", (x, 0), (x + 300, 1200)))
    ents.append(dict(common(), **{"class": "CDataEnko"}, cx=3000.0, cy=600.0, radius=500.0,
                     start=0.3, sweep=2.5, tilt=0.0, flat=1.0, full=0))
    dxf.append(("ARC", (3000, 600), 500, 0.3, 2.8))
    ents.append(dict(common(), **{"class": "CDataEnko"}, cx=3000.0, cy=600.0, radius=200.0,
                     start=0.0, sweep=2 * math.pi, tilt=0.0, flat=1.0, full=1))
    dxf.append(("CIRCLE", (3000, 600), 200))
    ents.append(dict(common(), **{"class": "CDataEnko"}, cx=1000.0, cy=2000.0, radius=600.0,
                     start=0.2, sweep=4.0, tilt=0.4, flat=0.4, full=0))
    dxf.append(("ELLIPSE", (1000, 2000), 600, 0.4, 0.4, 0.2, 4.2))
    # A small solid: its fill would outweigh every line's ink.
    ents.append(dict(common(), **{"class": "CDataSolid"}, x1=2000.0, y1=1800.0, x4=2000.0,
                     y4=1900.0, x2=2150.0, y2=1800.0, x3=2150.0, y3=1900.0))
    dxf.append(("SOLID", [(2000, 1800), (2150, 1800), (2150, 1900), (2000, 1900)]))
    # Group 1 at 1:50: on the paper where its coordinates say.
    ents.append(dict(common(layer=1, group=1), **{"class": "CDataSen"}, x1=0.0, y1=-300.0,
                     x2=1800.0, y2=-300.0))
    dxf.append(("LINE", (0, -300), (1800, -300)))
    ents.append(dict(common(layer=1, group=1), **{"class": "CDataEnko"}, cx=600.0, cy=-600.0,
                     radius=150.0, start=0.0, sweep=2 * math.pi, tilt=0.0, flat=1.0, full=1))
    dxf.append(("CIRCLE", (600, -600), 150))
    jww = {"version": 700, "header": header, "entities": ents, "blocks": []}
    return jww, dxf


def write_dxf(path, items):
    doc = ezdxf.new("R2010")
    msp = doc.modelspace()
    for item in items:
        kind = item[0]
        if kind == "LINE":
            msp.add_line(item[1], item[2])
        elif kind == "ARC":
            msp.add_arc(item[1], item[2], math.degrees(item[3]), math.degrees(item[4]))
        elif kind == "CIRCLE":
            msp.add_circle(item[1], item[2])
        elif kind == "ELLIPSE":
            centre, r, flat, tilt, t0, t1 = item[1:]
            msp.add_ellipse(centre, (r * math.cos(tilt), r * math.sin(tilt)), flat, t0, t1)
        elif kind == "SOLID":
            a, b, c, d = item[1]
            msp.add_solid([a, b, d, c])  # DXF's solid order: the third and fourth swap
    doc.saveas(path)


def main(render_board, out_dir, minimum):
    os.makedirs(out_dir, exist_ok=True)
    jww, dxf_items = drawing()
    jww_path = os.path.join(out_dir, "jww-picture.jww")
    dxf_path = os.path.join(out_dir, "jww-picture.dxf")
    jww_gen.write(jww_path, jww)
    write_dxf(dxf_path, dxf_items)
    board_png = os.path.join(out_dir, "jww-picture.board.png")
    ezdxf_png = os.path.join(out_dir, "jww-picture.ezdxf.png")
    box = pictures.board_picture(render_board, jww_path, board_png)
    pictures.ezdxf_picture(dxf_path, ezdxf_png, box)
    board, other = pictures.inked(board_png), pictures.inked(ezdxf_png)
    ours, theirs = pictures.agreement(board, other), pictures.agreement(other, board)
    ok = ours >= minimum and theirs >= minimum
    print(f"board ink near ezdxf ink {ours:.3f}, ezdxf ink near board ink {theirs:.3f} "
          f"(at least {minimum}) {'ok' if ok else 'FAILED'}")
    return 0 if ok else 1


if __name__ == "__main__":
    if len(sys.argv) != 4:
        print(__doc__)
        sys.exit(2)
    sys.exit(main(sys.argv[1], sys.argv[2], float(sys.argv[3])))

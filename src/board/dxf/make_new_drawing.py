#!/usr/bin/env python3
"""Writes new_drawing.dxf, the empty drawing every new board drawing is saved from.

ezdxf makes an AutoCAD 2007 drawing (AC1021, UTF-8 text) with the tables, blocks and objects a
complete file needs; layer 0 carries Pelimator's extended data. What ezdxf adds for itself is
then left out: its header variables but the few the board reads, the Defpoints layer, its EZDXF
application and its metadata dictionary. The scale property says 1:1.

Usage: make_new_drawing.py OUTPUT.dxf      (the build embeds src/board/dxf/new_drawing.dxf)
       make_new_drawing.py --check FILE.dxf (exit 1 when FILE differs from what it would write)

The output depends on ezdxf's version (0.18, as Debian 12 ships it).
"""
import io
import sys

import ezdxf

APP_ID = "PELIMATOR"
# The header the board writes in every new drawing; $HANDSEED comes from ezdxf's.
HEADER = [
    ("$ACADVER", [("1", "AC1021")]),
    ("$DWGCODEPAGE", [("3", "ANSI_1252")]),
    ("$DIMSCALE", [("40", "1.0")]),
    ("$CUSTOMPROPERTYTAG", [("1", "PelimatorScale")]),
    ("$CUSTOMPROPERTY", [("1", "1:1")]),
    ("$HANDSEED", None),
    ("$MEASUREMENT", [("70", "1")]),
    ("$INSUNITS", [("70", "4")]),
]
# ezdxf writes the classes of the objects in use in set order, which changes from run to run.
CLASS_ORDER = [
    "ACDBDICTIONARYWDFLT", "SUN", "VISUALSTYLE", "MATERIAL", "SCALE", "TABLESTYLE",
    "MLEADERSTYLE", "DICTIONARYVAR", "CELLSTYLEMAP", "MENTALRAYRENDERSETTINGS",
    "ACDBDETAILVIEWSTYLE", "ACDBSECTIONVIEWSTYLE", "RASTERVARIABLES", "ACDBPLACEHOLDER", "LAYOUT",
]


def make_drawing() -> str:
    doc = ezdxf.new("R2007")
    doc.appids.new(APP_ID)
    doc.layers.get("0").set_xdata(APP_ID, [(1071, 0)])
    doc.layers.remove("Defpoints")
    stream = io.StringIO()
    doc.write(stream)
    return stream.getvalue()


def pairs_of(text: str) -> list:
    lines = text.split("\n")
    return [(lines[i], lines[i + 1]) for i in range(0, len(lines) - 1, 2)]


def records(pairs: list) -> list:
    """Splits the tags into records, each starting at a group code 0."""
    out = []
    for pair in pairs:
        if pair[0].strip() == "0" or not out:
            out.append([])
        out[-1].append(pair)
    return out


def value(record: list, code: str):
    return next((v for c, v in record[1:] if c.strip() == code), None)


def trimmed(text: str) -> str:
    pairs = pairs_of(text)
    handseed = None
    for i, (code, val) in enumerate(pairs):
        if code.strip() == "9" and val == "$HANDSEED":
            handseed = pairs[i + 1]
    out = []
    meta_handles = set()
    section = None
    every = records(pairs)
    classes = [i for i, r in enumerate(every) if r[0][1] == "CLASS"]
    ordered = sorted((every[i] for i in classes), key=lambda r: CLASS_ORDER.index(value(r, "1")))
    for i, record in zip(classes, ordered):
        every[i] = record
    for record in every:
        kind = record[0][1]
        if kind == "SECTION":
            section = value(record, "2")
            if section == "HEADER":
                out.append(record[0])
                out.append(record[1])
                for name, tags in HEADER:
                    out.append(("  9", name))
                    out.extend([handseed] if tags is None else [(f"{c:>3}", v) for c, v in tags])
                continue
        if section == "HEADER" and kind != "ENDSEC":
            continue
        if kind == "APPID" and value(record, "2") == "EZDXF":
            continue
        if kind == "DICTIONARY" and value(record, "5") == "A":
            # The root dictionary without its entry for ezdxf's metadata.
            kept = []
            skip = 0
            for c, v in record:
                if skip:
                    skip -= 1
                    if c.strip() == "350":
                        meta_handles.add(v)
                    continue
                if c.strip() == "3" and v == "EZDXF_META":
                    skip = 1
                    continue
                kept.append((c, v))
            record = kept
        if value(record, "5") in meta_handles or value(record, "330") in meta_handles:
            continue
        out.extend(record)
    return "".join(f"{c}\n{v}\n" for c, v in out)


def main() -> int:
    args = sys.argv[1:]
    if len(args) == 2 and args[0] == "--check":
        with open(args[1], encoding="utf-8", newline="") as f:
            if f.read() == trimmed(make_drawing()):
                return 0
        print(f"{args[1]} is not what make_new_drawing.py writes (ezdxf {ezdxf.__version__})",
              file=sys.stderr)
        return 1
    if len(args) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    with open(args[0], "w", encoding="utf-8", newline="\n") as f:
        f.write(trimmed(make_drawing()))
    return 0


if __name__ == "__main__":
    sys.exit(main())

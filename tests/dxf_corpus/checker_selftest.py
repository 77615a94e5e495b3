#!/usr/bin/env python3
"""The corpus checker itself: a byte copy of every corpus drawing must compare equal, a line
drawn into a drawing as a sound writer draws it must be accepted, and each kind of loss a saving
program could cause must be found, in the section that names it.

Usage: checker_selftest.py WORKDIR     (exit 0 all found, 1 otherwise, 77 ezdxf missing)
"""
import shutil
import sys
from pathlib import Path

import check_corpus  # exits 77 (skipped) when ezdxf is missing
import make_corpus
from corpus_table import BY_NAME, CORPUS


class Tags:
    """An ASCII DXF file as (code line, value line) pairs, edited in place."""

    def __init__(self, data: bytes):
        lines = data.split(b"\n")
        self.pairs = [[lines[i], lines[i + 1]] for i in range(0, len(lines) - 1, 2)]
        self.tail = lines[len(self.pairs) * 2:]

    def bytes(self) -> bytes:
        return b"\n".join([line for pair in self.pairs for line in pair] + self.tail)

    def find(self, code: int, value: bytes = None, start: int = 0) -> int:
        for index in range(start, len(self.pairs)):
            pair_code, pair_value = self.pairs[index]
            if int(pair_code) == code and (value is None or pair_value.strip() == value):
                return index
        raise LookupError(f"no tag {code} {value!r}")

    def record_end(self, start: int) -> int:
        """The index of the next record's 0 tag."""
        return self.find(0, start=start + 1)


def drop_first_xdata_real(data):
    tags = Tags(data)
    del tags.pairs[tags.find(1040)]
    return tags.bytes()


def change_arc_colour(data):
    tags = Tags(data)
    arc = tags.find(0, b"ARC", tags.find(2, b"ENTITIES"))
    colour = tags.find(62, start=arc)
    assert colour < tags.record_end(arc)
    tags.pairs[colour][1] = b"5"
    return tags.bytes()


def drop_first_point(data):
    tags = Tags(data)
    point = tags.find(0, b"POINT", tags.find(2, b"ENTITIES"))
    del tags.pairs[point:tags.record_end(point)]
    return tags.bytes()


def reuse_a_handle(data):
    """The second model-space LINE gets the first one's handle."""
    tags = Tags(data)
    first = tags.find(0, b"LINE", tags.find(2, b"ENTITIES"))
    second = tags.find(0, b"LINE", first + 1)
    tags.pairs[tags.find(5, start=second)][1] = tags.pairs[tags.find(5, start=first)][1]
    return tags.bytes()


def change_header_variable(data):
    tags = Tags(data)
    tags.pairs[tags.find(9, b"$LTSCALE") + 1][1] = b"1.0"
    return tags.bytes()


def save_as_2007(data):
    tags = Tags(data)
    tags.pairs[tags.find(9, b"$ACADVER") + 1][1] = b"AC1021"
    return tags.bytes()


def shift_jis_to_utf8(data):
    return data.decode("cp932").encode("utf-8")


def drop_lwpolyline_bulge(data):
    tags = Tags(data)
    polyline = tags.find(0, b"LWPOLYLINE", tags.find(2, b"ENTITIES"))
    del tags.pairs[tags.find(42, start=polyline)]
    return tags.bytes()


def drop_object(data):
    """The XRECORD of an extension dictionary."""
    tags = Tags(data)
    record = tags.find(0, b"XRECORD", tags.find(2, b"OBJECTS"))
    del tags.pairs[record:tags.record_end(record)]
    return tags.bytes()


def unchanged(data):
    return data


def encoded_name(tags: Tags, text: str) -> bytes:
    """text as the file holds names: UTF-8 from AC1021, else its code page (\\U+XXXX escapes
    for what the page lacks; Shift-JIS when $DWGCODEPAGE is missing, as in the corpus)."""
    version = tags.pairs[tags.find(9, b"$ACADVER") + 1][1].strip()
    if version >= b"AC1021":
        return text.encode("utf-8")
    try:
        page = tags.pairs[tags.find(9, b"$DWGCODEPAGE") + 1][1].strip().decode()
    except LookupError:
        page = "ANSI_932"
    encoding = {"ANSI_932": "cp932", "ANSI_1252": "cp1252"}[page]
    return "".join(c if c.encode(encoding, errors="ignore") else f"\\U+{ord(c):04X}"
                   for c in text).encode(encoding)


def draw_line_by_hand(data):
    """What a sound writer adds for a drawn line: its layer in the LAYER table and arcs in
    model space, with handles from $HANDSEED on, owners set, and $HANDSEED raised."""
    tags = Tags(data)
    r12 = tags.pairs[tags.find(9, b"$ACADVER") + 1][1].strip() == b"AC1009"
    seed_at = tags.find(9, b"$HANDSEED") + 1
    next_handle = int(tags.pairs[seed_at][1], 16)

    def new_handle() -> bytes:
        nonlocal next_handle
        next_handle += 1
        return f"{next_handle - 1:X}".encode()

    def record(*pairs):
        return [[f"{code:>3}".encode(), value] for code, value in pairs]

    name = encoded_name(tags, check_corpus.NEW_LINE_LAYER)
    table = tags.find(2, b"LAYER", tags.find(2, b"TABLES"))
    table_handle = tags.pairs[tags.find(5, start=table)][1]
    count = tags.find(70, start=table)
    tags.pairs[count][1] = str(int(tags.pairs[count][1]) + 1).encode()
    layer = [(0, b"LAYER"), (5, new_handle())]
    if not r12:
        layer += [(330, table_handle), (100, b"AcDbSymbolTableRecord"),
                  (100, b"AcDbLayerTableRecord")]
    layer += [(2, name), (70, b"0"), (62, b"7"), (6, b"Continuous")]
    end = tags.find(0, b"ENDTAB", table)
    tags.pairs[end:end] = record(*layer)

    owner = None
    if not r12:
        model = tags.find(2, b"*Model_Space", tags.find(2, b"BLOCK_RECORD"))
        owner = tags.pairs[tags.find(5, start=model - 8)][1]
    arcs = []
    for i in range(check_corpus.MINIMUM_NEW_ARCS):
        arc = [(0, b"ARC"), (5, new_handle())]
        arc += [] if r12 else [(330, owner), (100, b"AcDbEntity")]
        arc += [(8, name)] + ([] if r12 else [(100, b"AcDbCircle")])
        arc += [(10, f"{i * 10 + 5}.0".encode()), (20, b"-3000.0"), (30, b"0.0"), (40, b"5.0")]
        arc += [] if r12 else [(100, b"AcDbArc")]
        arc += [(50, b"0.0"), (51, b"180.0")]
        arcs += record(*arc)
    end = tags.find(0, b"ENDSEC", tags.find(2, b"ENTITIES"))
    tags.pairs[end:end] = arcs
    tags.pairs[seed_at][1] = f"{next_handle:X}".encode()
    return tags.bytes()


# name, drawing, mutation, way of saving checked, the report section that must name it
MUTATIONS = [
    ("extended data real dropped", "r2013", drop_first_xdata_real, "save", "entities"),
    ("own colour changed", "r2000", change_arc_colour, "save", "entities"),
    ("POINT dropped", "r12", drop_first_point, "save", "entities"),
    ("handle used twice", "r2018", reuse_a_handle, "save", "handles"),
    ("header variable changed", "r2004", change_header_variable, "save", "header"),
    ("saved in another version", "r2000", save_as_2007, "save", "version"),
    ("Shift-JIS written as UTF-8", "r2000_sjis_no_codepage", shift_jis_to_utf8, "save",
     "code page"),
    ("Shift-JIS R12 written as UTF-8", "r12_sjis", shift_jis_to_utf8, "save", "code page"),
    ("bulge of a polyline vertex dropped", "r2010", drop_lwpolyline_bulge, "save", "entities"),
    ("XRECORD dropped", "r2007", drop_object, "save", "objects"),
    ("no line drawn", "r2010", unchanged, "draw", "new line"),
]
# Drawings with a line drawn by hand, as a sound writer draws it: must compare equal.
DRAWN_BY_HAND = ["r12", "r12_sjis_no_codepage", "r2000", "r2000_sjis", "r2010"]


def main(argv) -> int:
    if len(argv) != 2:
        print(__doc__)
        return 2
    work = Path(argv[1]) / "selftest"
    work.mkdir(parents=True, exist_ok=True)
    failures = []
    for drawing in CORPUS:
        original, copy = work / f"{drawing.name}.dxf", work / f"{drawing.name}_copy.dxf"
        make_corpus.write(drawing, original)
        shutil.copyfile(original, copy)
        report = check_corpus.compare(drawing, original, copy, "save")
        if report.count():
            report.print(f"copy of {drawing.name}")
            failures.append(f"a copy of {drawing.name} is reported as different")
    for drawing_name in DRAWN_BY_HAND:
        original = work / f"{drawing_name}.dxf"
        drawn = work / f"{drawing_name}_drawn.dxf"
        drawn.write_bytes(draw_line_by_hand(original.read_bytes()))
        report = check_corpus.compare(BY_NAME[drawing_name], original, drawn, "draw")
        print(f"{'accepted' if not report.count() else 'REFUSED'}: a line drawn into "
              f"{drawing_name}")
        if report.count():
            report.print(f"line drawn by hand into {drawing_name}")
            failures.append(f"a line drawn by hand into {drawing_name} is refused")
    for name, drawing_name, mutate, mode, section in MUTATIONS:
        drawing = BY_NAME[drawing_name]
        original, changed = work / f"{drawing_name}.dxf", work / f"{drawing_name}_changed.dxf"
        changed.write_bytes(mutate(original.read_bytes()))
        report = check_corpus.compare(drawing, original, changed, mode)
        found = section in report.sections
        print(f"{'found' if found else 'MISSED'}: {name} ({drawing_name}) -> "
              f"{', '.join(f'{s} {len(lines)}' for s, lines in report.sections.items())}")
        if not found:
            failures.append(f"{name}: nothing reported under {section!r}")
    for failure in failures:
        print(f"FAILED: {failure}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

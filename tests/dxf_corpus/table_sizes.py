"""A table's (ACAD_TABLE's) sizes as they draw: its row heights, column widths, cell margins and
each cell's text height, each its own where the table writes it, else its table style's (the
rule DECISIONS.md states in "Tables scaled"), and a scaled table checked against them.

ezdxf keeps a table and its style as tags; these are read here from those tags alone.
"""
from ezdxf.math import Matrix44, Vec3

CELL_HEIGHT = 0x20  # a cell's override flag (91, or 177): its text height is its own
TABLE_MARGINS = 0x18  # the table's (93): its margins, and its rows' text heights
TABLE_HEIGHTS = 0x700000


def style_sizes(table):
    """Its style's margins, rows' text heights (data, title, header) and whether the title and
    header rows are shown; None when the drawing lacks the style."""
    handle = table.xtags.get_subclass("AcDbTable").get_first_value(342, "")
    style = table.doc.entitydb.get(handle) if handle else None
    if style is None or style.dxftype() != "TABLESTYLE":
        return None
    margins, heights, rows = [], [], {280: 0, 281: 0}
    for tag in style.xtags.get_subclass("AcDbTableStyle"):
        if tag.code in (40, 41) and len(margins) < 2:
            margins.append(tag.value)
        elif tag.code in rows and len(margins) == 2 and not heights:
            rows[tag.code] = tag.value
        elif tag.code == 140:
            heights.append(tag.value)
    return {"margins": margins, "heights": heights[:3], "title": rows[280] == 0,
            "header": rows[281] == 0}


def table_sizes(table) -> dict:
    """Rows, columns, margins and the cells' text heights (None for a block cell) as drawn."""
    groups = list(table.xtags.get_subclass("AcDbTable"))
    head, cells = [], []
    value = False
    for tag in groups:
        if tag.code == 171:
            cells.append({"type": tag.value, "flag": None, "height": None})
            value = False
        elif not cells:
            head.append(tag)
        elif tag.code == 301:
            value = True
        elif tag.code == 304:
            value = False
        elif not value and tag.code in (91, 177) and cells[-1]["flag"] is None:
            cells[-1]["flag"] = tag.value
        elif not value and tag.code == 140:
            cells[-1]["height"] = tag.value
    first = {}
    for tag in head:
        first.setdefault(tag.code, tag.value)
    flags = first.get(93, 0)
    style = style_sizes(table)
    own = [t.value for t in head if t.code in (40, 41)][:2]
    margins = own if flags & TABLE_MARGINS else (style["margins"] if style else None)
    row_heights = [t.value for t in head if t.code == 140]
    heights = row_heights if flags & TABLE_HEIGHTS else (style["heights"] if style else None)
    columns = first.get(92, 1) or 1
    titles = 1 if style is None or style["title"] else 0
    headers = 1 if style is None or style["header"] else 0
    drawn = []
    for k, cell in enumerate(cells):
        if cell["type"] != 1:
            drawn.append(None)
            continue
        if cell["height"] is not None and (cell["flag"] or 0) & CELL_HEIGHT:
            drawn.append(cell["height"])
            continue
        row = k // columns
        kind = 1 if row < titles else 2 if row < titles + headers else 0
        drawn.append(heights[kind] if heights else None)
    return {"rows": [t.value for t in head if t.code == 141],
            "columns": [t.value for t in head if t.code == 142],
            "margins": margins, "cells": drawn}


def close(a, b, size=1.0) -> bool:
    return a is not None and b is not None and abs(a - b) <= 1e-9 * (abs(a) + abs(b) + size)


def compare_scaled_sizes(where, original, edited, factor, problems):
    """Every size of the edited table is factor times the original's."""
    before, after = table_sizes(original), table_sizes(edited)
    for key in ("rows", "columns", "margins", "cells"):
        want, got = before[key] or [], after[key] or []
        if len(want) != len(got):
            problems.append(f"{where}: {len(got)} {key}, not {len(want)}")
            continue
        for k, (w, g) in enumerate(zip(want, got)):
            if w is None and g is None:
                continue
            if w is None or not close(w * factor, g):
                problems.append(f"{where}: {key}[{k}] {g}, not {factor} x {w}")


def drawn_entities(table):
    """The entities its block draws, where they are drawn (the block moved to its insertion point:
    ezdxf draws a table so)."""
    block = table.doc.blocks.get(
        table.xtags.get_subclass("AcDbBlockReference").get_first_value(2, ""))
    if block is None:
        return []
    to = Matrix44.translate(*Vec3(table._insert_location()))
    out = []
    for entity in block:
        copy = entity.copy()
        copy.transform(to)
        out.append(copy)
    return out


def scale_about(pivot, factor) -> Matrix44:
    return Matrix44.chain(Matrix44.translate(-pivot[0], -pivot[1], 0),
                          Matrix44.scale(factor, factor, 1),
                          Matrix44.translate(pivot[0], pivot[1], 0))

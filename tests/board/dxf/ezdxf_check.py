#!/usr/bin/env python3
"""Checks a drawing saved by Pelimator with an independent DXF reader (ezdxf).

Usage: ezdxf_check.py <sample program>. Runs the program to write a DXF and a JSON listing of
the drawing it saved, then opens the DXF with ezdxf, runs its audit (no errors allowed) and
compares every layer, every entity and the scale with the listing.
"""
import json
import math
import os
import subprocess
import sys
import tempfile

import ezdxf
import ezdxf.colors


def close(a, b, scale):
    return abs(a - b) <= 1e-9 * max(1.0, scale)


def layer_rgb(layer):
    """The layer's colour as the board reads it: the true colour, else the index colour (7 is
    black on the board's white paper)."""
    if layer.rgb is not None:
        return list(layer.rgb)
    aci = abs(layer.color)
    return [0, 0, 0] if aci == 7 else list(ezdxf.colors.aci2rgb(aci))


def check(dxf_path, listing):
    problems = []
    doc = ezdxf.readfile(dxf_path)
    auditor = doc.audit()
    for error in auditor.errors:
        problems.append(f"audit error {error.code}: {error.message}")
    if doc.dxfversion < "AC1021":
        problems.append(f"version {doc.dxfversion}: text would not be read as UTF-8")

    # Layers: the number in Pelimator's extended data, the name there or as the DXF name.
    by_number = {}
    for layer in doc.layers:
        if layer.has_xdata("PELIMATOR"):
            tags = layer.get_xdata("PELIMATOR")
            number = [t.value for t in tags if t.code == 1071]
            names = [t.value for t in tags if t.code == 1000]
            if number:
                by_number[number[0]] = (layer, names[0] if names else layer.dxf.name)
    for expected in listing["layers"]:
        found = by_number.get(expected["number"])
        if found is None:
            problems.append(f"layer {expected['number']} missing")
            continue
        layer, name = found
        if name != expected["name"]:
            problems.append(f"layer {expected['number']}: name {name!r} != {expected['name']!r}")
        if layer_rgb(layer) != expected["rgb"]:
            problems.append(f"layer {expected['number']}: rgb {layer_rgb(layer)} != {expected['rgb']}")
        if layer.is_off() == expected["visible"]:
            problems.append(f"layer {expected['number']}: visibility differs")
    dxf_name_of = {number: layer.dxf.name for number, (layer, _) in by_number.items()}

    entities = list(doc.modelspace())
    if len(entities) != len(listing["entities"]):
        problems.append(f"{len(entities)} entities, expected {len(listing['entities'])}")
    for index, (entity, expected) in enumerate(zip(entities, listing["entities"])):
        where = f"entity {index}"
        if entity.dxftype() != expected["kind"]:
            problems.append(f"{where}: {entity.dxftype()} != {expected['kind']}")
            continue
        if entity.dxf.layer != dxf_name_of.get(expected["layer"]):
            problems.append(f"{where}: layer {entity.dxf.layer!r}")
        if expected["kind"] == "LINE":
            points = [(entity.dxf.start.x, entity.dxf.start.y), (entity.dxf.end.x, entity.dxf.end.y)]
            wanted = [expected["start"], expected["end"]]
            scale = max(abs(v) for p in wanted for v in p)
        else:
            c = entity.dxf.center
            r = entity.dxf.radius
            a1 = math.radians(entity.dxf.start_angle)
            a2 = math.radians(entity.dxf.end_angle)
            points = [(c.x, c.y), (r, 0.0),
                      (c.x + r * math.cos(a1), c.y + r * math.sin(a1)),
                      (c.x + r * math.cos(a2), c.y + r * math.sin(a2))]
            wanted = [expected["center"], [expected["radius"], 0.0], expected["start"],
                      expected["end"]]
            scale = max(abs(v) for p in wanted for v in p) + expected["radius"]
        for got, want in zip(points, wanted):
            if not (close(got[0], want[0], scale) and close(got[1], want[1], scale)):
                problems.append(f"{where}: {got} != {want}")

    numerator, denominator = listing["scale"]
    dimscale = doc.header.get("$DIMSCALE")
    if not close(dimscale, denominator / numerator, denominator):
        problems.append(f"$DIMSCALE {dimscale} != {denominator}/{numerator}")
    custom = dict(doc.header.custom_vars)
    if custom.get("PelimatorScale") != f"{numerator}:{denominator}":
        problems.append(f"custom property {custom.get('PelimatorScale')!r}")
    return problems


VERSIONS = ["R12", "R2000", "R2004", "R2007", "R2010", "R2013", "R2018"]


def rich_drawing(version, codepage=None):
    """A drawing as another CAD program writes it: text, blocks with attributes, dimensions,
    hatches, splines, ellipses, points, solids, polylines, paper space, extended data, colours."""
    doc = ezdxf.new(version, setup=True)
    if version < "R2007":
        doc.encoding = "cp932"  # written as $DWGCODEPAGE ANSI_932
    doc.layers.new("外形", dxfattribs={"color": 3})
    doc.header["$CLAYER"] = "外形"
    if version != "R12":
        doc.header["$INSUNITS"] = 6  # metres
    doc.layers.new("TEXT", dxfattribs={"color": 2, "linetype": "DASHED"})
    doc.appids.new("OTHERAPP")
    msp = doc.modelspace()
    msp.add_line((0, 0), (100, 50), dxfattribs={"layer": "外形", "color": 1})
    msp.add_circle((10, 10), 5, dxfattribs={"lineweight": 50})
    msp.add_arc((20, 20), 3, 10, 200, dxfattribs={"thickness": 2.0})
    msp.add_text("図面の文字", dxfattribs={"layer": "TEXT", "height": 2.5}).set_placement((5, 5))
    msp.add_point((7, 7))
    msp.add_solid([(0, 0), (1, 0), (0, 1)])
    msp.add_polyline2d([(0, 0), (10, 0), (10, 10)], dxfattribs={"layer": "外形"})
    block = doc.blocks.new("記号")
    block.add_circle((0, 0), 1)
    block.add_attdef("TAG", (0, 0), dxfattribs={"height": 1})
    insert = msp.add_blockref("記号", (50, 50))
    insert.add_attrib("TAG", "値", (50, 50))
    line = msp.add_line((5, 5), (6, 6))
    line.set_xdata("OTHERAPP", [(1000, "keep me"), (1070, 7)])
    if version != "R12":
        msp.add_lwpolyline([(0, 0, 0, 0, 0.5), (10, 0), (10, 10)], format="xyseb",
                           dxfattribs={"closed": True, "const_width": 0.2})
        msp.add_mtext("複数行\\P文字", dxfattribs={"char_height": 2})
        msp.add_ellipse((0, 0), (10, 0), 0.5)
        msp.add_spline([(0, 0), (5, 5), (10, 0), (15, 5)])
        hatch = msp.add_hatch(color=5)
        hatch.paths.add_polyline_path([(0, 0), (10, 0), (10, 10)], is_closed=True)
        dim = msp.add_linear_dim(base=(0, 20), p1=(0, 0), p2=(30, 0))
        dim.render()
        doc.layouts.get("Layout1").add_line((0, 0), (10, 10))
    if version >= "R2004":
        msp.add_line((1, 1), (2, 3), dxfattribs={"true_color": 0x123456})
    return doc


def attributes(entity):
    values = dict(entity.dxf.all_existing_dxf_attribs())
    values.pop("owner", None)  # ezdxf fills it in as it loads
    xdata = {}
    if entity.xdata:
        for app in entity.xdata.data:
            xdata[app] = list(entity.get_xdata(app))
    return entity.dxftype(), values, xdata


def check_round_trip(program, folder, version, codepage, mode, binary=False):
    problems = []
    where = f"{version} {codepage or 'no code page'} {mode}{' binary' if binary else ''}"
    doc = rich_drawing(version, codepage)
    original = os.path.join(folder, "original.dxf")
    doc.saveas(original, fmt="bin" if binary else "asc")
    encoding = None
    if codepage is None and version < "R2007":
        # Take the code page out of the header, as some Japanese programs do.
        data = open(original, "rb").read()
        data = data.replace(b"$DWGCODEPAGE\n  3\nANSI_932\n", b"$PROJECTNAME\n  1\n\n")
        open(original, "wb").write(data)
        encoding = "cp932"
    opened = subprocess.run([program, mode, original, folder + "/", "saved.dxf"], check=True,
                            capture_output=True, text=True).stdout
    # The drawing's current layer and unit as the board took them.
    if "current layer: 外形\n" not in opened:
        problems.append(f"{where}: $CLAYER not taken: {opened!r}")
    if f"unit: {0 if version == 'R12' else 6}\n" not in opened:
        problems.append(f"{where}: $INSUNITS not taken: {opened!r}")
    saved = os.path.join(folder, "saved.dxf")
    if mode == "same":
        if open(original, "rb").read() != open(saved, "rb").read():
            problems.append(f"{where}: saved bytes differ from the original")
        return problems
    before = ezdxf.readfile(original, encoding=encoding)
    after = ezdxf.readfile(saved, encoding=encoding)
    auditor = after.audit()
    for error in auditor.errors:
        problems.append(f"{where}: audit error {error.code}: {error.message}")
    if after.dxfversion != before.dxfversion:
        problems.append(f"{where}: version {after.dxfversion} != {before.dxfversion}")
    if after.header.get("$DWGCODEPAGE") != before.header.get("$DWGCODEPAGE"):
        problems.append(f"{where}: code page changed")
    for layout_name in before.layout_names():
        old = [attributes(e) for e in before.layouts.get(layout_name)]
        new = [attributes(e) for e in after.layouts.get(layout_name)]
        added = new[len(old):]
        if new[:len(old)] != old:
            problems.append(f"{where}: layout {layout_name} differs")
        if layout_name == "Model":
            kinds = [a[0] for a in added]
            if kinds != ["LINE", "ARC"] or any(a[1]["layer"] != "波線" for a in added):
                problems.append(f"{where}: added {kinds}")
        elif added:
            problems.append(f"{where}: added to {layout_name}")
    for block in before.blocks:
        if block.name.upper().startswith(("*MODEL_SPACE", "*PAPER_SPACE")):
            continue  # layouts, compared above
        if [attributes(e) for e in block] != [attributes(e) for e in after.blocks.get(block.name)]:
            problems.append(f"{where}: block {block.name} differs")
    if "波線" not in after.layers:
        problems.append(f"{where}: new layer missing")
    # The current layer chosen on the board is saved; the unit stays as it was.
    if after.header.get("$CLAYER") != "波線":
        problems.append(f"{where}: $CLAYER {after.header.get('$CLAYER')!r}, expected '波線'")
    if after.header.get("$INSUNITS") != before.header.get("$INSUNITS"):
        problems.append(f"{where}: $INSUNITS changed")
    # (R12 table heads carry no handles; ezdxf makes up new ones at every load.)
    if version != "R12" and set(before.entitydb.keys()) - set(after.entitydb.keys()):
        problems.append(f"{where}: handles lost")
    return problems


def check_round_trips(program):
    problems = []
    with tempfile.TemporaryDirectory() as folder:
        for version in VERSIONS:
            pages = ["ANSI_932", None] if version < "R2007" else ["ANSI_1252"]
            for codepage in pages:
                for mode in ("same", "add"):
                    try:
                        problems += check_round_trip(program, folder, version, codepage, mode)
                    except Exception as error:  # one case failing must not hide the others
                        problems.append(f"{version} {codepage} {mode}: {type(error).__name__}: "
                                        f"{str(error)[:200]}")
        for version in ("R12", "R2000", "R2018"):
            for mode in ("same", "add"):
                try:
                    problems += check_round_trip(program, folder, version, "ANSI_932", mode, True)
                except Exception as error:
                    problems.append(f"{version} binary {mode}: {type(error).__name__}: "
                                    f"{str(error)[:200]}")
    return problems


def main():
    program = sys.argv[1]
    round_trip_problems = check_round_trips(program)
    for problem in round_trip_problems[:50]:
        print(problem)
    with tempfile.TemporaryDirectory() as folder:
        dxf_path = os.path.join(folder, "sample.dxf")
        json_path = os.path.join(folder, "sample.json")
        subprocess.run([program, dxf_path, json_path], check=True)
        with open(json_path, encoding="utf-8") as f:
            listing = json.load(f)
        problems = check(dxf_path, listing)
    for problem in problems[:50]:
        print(problem)
    print(f"{len(listing['entities'])} entities, {len(listing['layers'])} layers, "
          f"{len(problems)} problems; round trips: {len(round_trip_problems)} problems")
    return 1 if problems or round_trip_problems else 0


if __name__ == "__main__":
    sys.exit(main())

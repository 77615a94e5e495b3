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


def main():
    program = sys.argv[1]
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
          f"{len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())

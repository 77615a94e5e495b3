#!/usr/bin/env python3
"""JWW files laid out by jww_gen.py (from the published layout, not by Pelimator's writer) and
what Pelimator makes of them: read field by field for every entity kind and version, saved back
byte for byte, drawn on by pelimator-batch and read again, and refused with a clear message when
damaged.

Usage: test_jww.py JWW_PROBE PELIMATOR_BATCH WORK_DIR"""
import json
import math
import os
import struct
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import jww_gen  # noqa: E402

PROBE, BATCH, WORK = sys.argv[1], sys.argv[2], sys.argv[3]
VERSIONS = [230, 300, 351, 420, 600, 700]
failures = []
skipped = []

try:
    import ezdxf  # the independent reader of the DXF files the checks write
except ImportError:
    ezdxf = None


def check(name, condition, detail=""):
    if not condition:
        failures.append(f"{name}: {detail}")
        print(f"FAILED {name}: {detail}")


def skip_without_ezdxf(name):
    """True (the row named as skipped) when ezdxf is not installed."""
    if ezdxf is not None:
        return False
    skipped.append(name)
    print(f"SKIPPED {name}: ezdxf is not installed")
    return True


def close(a, b, tol=1e-9):
    return abs(a - b) <= tol * max(1.0, abs(a), abs(b))


def probe(*args):
    out = subprocess.run([PROBE, *args], capture_output=True, text=True, timeout=60)
    if out.returncode != 0:
        raise RuntimeError(f"jww_probe {' '.join(args)}: {out.stderr}")
    return out.stdout


def dump(path):
    return json.loads(probe("dump", path))


def common(style=1, colour=1, width=0, layer=0, group=0, flags=0, lgroup=0):
    return {"m_lGroup": lgroup, "m_nPenStyle": style, "m_nPenColor": colour,
            "m_nPenWidth": width, "m_nLayer": layer, "m_nGLayer": group, "m_sFlg": flags}


def sample_drawing(version):
    """Every entity kind, Japanese names and texts, four group scales."""
    header = {"m_nWriteGLay": 1, "m_anWriteLay[1]": 2, "m_adScale[1]": 100.0,
              "m_adScale[2]": 50.0, "m_adScale[3]": 2.5, "m_adScale[12]": 20.0, "m_aStrLayName[1][2]": "壁",
              "m_aStrLayName[1][3]": "建具・開口", "m_aStrGLayName[1]": "平面図",
              "m_aanLay[1][4]": 0, "m_aPenColor[3]": 0x00A000}
    if version >= 420:
        header["m_aPenColor[105]"] = 0x123456
    text = dict(common(colour=5, width=0x0002 if version >= 351 else 0, layer=3, group=1),
                x1=100.0, y1=200.0, x2=160.0, y2=200.0, kind=2, sizeX=5.0, sizeY=5.0,
                spacing=0.5, angle=30.0, font="ＭＳ ゴシック", text="日本語の文字 ABC")
    ents = [
        dict(common(colour=3, width=1 if version >= 351 else 0, layer=2, group=1),
             **{"class": "CDataSen"}, x1=0.0, y1=0.0, x2=1000.0, y2=500.0),
        dict(common(style=2, colour=105 if version >= 420 else 4, layer=3, group=1),
             **{"class": "CDataEnko"}, cx=10.0, cy=20.0, radius=300.0, start=0.25, sweep=1.5,
             tilt=0.5, flat=1.0, full=0),
        dict(common(colour=2, layer=2, group=1), **{"class": "CDataEnko"}, cx=-50.0, cy=40.0,
             radius=80.0, start=0.0, sweep=2 * math.pi, tilt=0.0, flat=1.0, full=1),
        dict(common(colour=6, layer=5, group=2), **{"class": "CDataEnko"}, cx=5.0, cy=6.0,
             radius=120.0, start=0.5, sweep=2.0, tilt=0.3, flat=0.5, full=0),
        dict(common(colour=1, layer=1, group=1), **{"class": "CDataTen"}, x=12.5, y=-7.25,
             kariten=1),
        dict(common(style=100, colour=2, layer=1, group=1), **{"class": "CDataTen"}, x=3.0,
             y=4.0, kariten=0, code=3, angle=0.75, scale=2.0),
        dict(text, **{"class": "CDataMoji"}),
        dict(common(colour=10, layer=6, group=3), **{"class": "CDataSolid"}, x1=0.0, y1=0.0,
             x4=0.0, y4=10.0, x2=10.0, y2=0.0, x3=10.0, y3=10.0, rgb=0x3366CC),
        dict(common(colour=4, layer=6, group=3), **{"class": "CDataSolid"}, x1=20.0, y1=0.0,
             x4=20.0, y4=10.0, x2=30.0, y2=0.0, x3=30.0, y3=10.0),
        dict(common(style=101, colour=7, layer=6, group=3), **{"class": "CDataSolid"},
             x1=50.0, y1=50.0, x4=10.0, y4=1.0, x2=0.0, y2=0.0, x3=2 * math.pi, y3=100.0),
        dict(common(layer=7, group=1), **{"class": "CDataSunpou"},
             line=dict(common(colour=1, layer=7, group=1), x1=0.0, y1=-100.0, x2=1000.0,
                       y2=-100.0),
             text=dict(common(colour=1, layer=7, group=1), x1=400.0, y1=-90.0, x2=600.0,
                       y2=-90.0, kind=3, sizeX=2.5, sizeY=2.5, spacing=0.0, angle=0.0,
                       font="ＭＳ 明朝", text="1,000"),
             sxf=1,
             aux1=dict(common(layer=7, group=1), x1=0.0, y1=0.0, x2=0.0, y2=-110.0),
             aux2=dict(common(layer=7, group=1), x1=1000.0, y1=0.0, x2=1000.0, y2=-110.0),
             p1=dict(common(layer=7, group=1), x=0.0, y=-100.0),
             p2=dict(common(layer=7, group=1), x=1000.0, y=-100.0),
             p3=dict(common(layer=7, group=1), x=0.0, y=0.0),
             p4=dict(common(layer=7, group=1), x=1000.0, y=0.0)),
        dict(common(layer=8, group=1), **{"class": "CDataBlock"}, x=2000.0, y=1000.0,
             scaleX=2.0, scaleY=1.5, rotation=0.5, number=7),
    ]
    blocks = [{"number": 7, "name": "片開き扉", **common(), "entities": [
        dict(common(colour=2), **{"class": "CDataSen"}, x1=0.0, y1=0.0, x2=900.0, y2=0.0),
        dict(common(colour=2), **{"class": "CDataEnko"}, cx=0.0, cy=0.0, radius=900.0,
             start=0.0, sweep=math.pi / 2, tilt=0.0, flat=1.0, full=0),
        dict(text, **{"class": "CDataMoji"}, text="扉"),
    ]}]
    tail = struct.pack("<I", 0)
    return {"version": version, "header": header, "entities": ents, "blocks": blocks,
            "tail": tail}


def expect_common(name, shape, e, version):
    want = [e.get("m_lGroup", 0), e.get("m_nPenStyle", 1), e.get("m_nPenColor", 1),
            e.get("m_nPenWidth", 0) if version >= 351 else 0, e.get("m_nLayer", 0),
            e.get("m_nGLayer", 0), e.get("m_sFlg", 0)]
    check(name + " common", shape["common"] == want, f"{shape['common']} != {want}")


def expect_shape(name, shape, e, cls, version):
    expect_common(name, shape, e, version)
    p = shape["p"]
    if cls == "CDataSen":
        check(name, shape["kind"] == "line" and p[0] == [e["x1"], e["y1"]] and
              p[1] == [e["x2"], e["y2"]], json.dumps(shape))
    elif cls == "CDataEnko":
        check(name, shape["kind"] == "arc" and p[0] == [e["cx"], e["cy"]] and
              [shape[k] for k in ("radius", "start", "sweep", "tilt", "flat")] ==
              [e["radius"], e["start"], e["sweep"], e["tilt"], e["flat"]] and
              shape["full"] == bool(e["full"]), json.dumps(shape))
    elif cls == "CDataTen":
        ok = shape["kind"] == "point" and p[0] == [e["x"], e["y"]] and \
            shape["temporary"] == bool(e.get("kariten", 0))
        if e.get("m_nPenStyle") == 100:
            ok = ok and shape["code"] == e["code"] and shape["angle"] == e["angle"] and \
                shape["sizeX"] == e["scale"]
        check(name, ok, json.dumps(shape, ensure_ascii=False))
    elif cls == "CDataMoji":
        check(name, shape["kind"] == "text" and p[0] == [e["x1"], e["y1"]] and
              p[1] == [e["x2"], e["y2"]] and shape["textKind"] == e["kind"] and
              [shape[k] for k in ("sizeX", "sizeY", "spacing", "angle")] ==
              [e["sizeX"], e["sizeY"], e["spacing"], e["angle"]] and
              shape["font"] == e["font"] and shape["text"] == e["text"],
              json.dumps(shape, ensure_ascii=False))
    elif cls == "CDataSolid":
        ok = shape["kind"] == "solid" and p == [[e["x1"], e["y1"]], [e["x4"], e["y4"]],
                                                [e["x2"], e["y2"]], [e["x3"], e["y3"]]]
        if e.get("m_nPenColor") == 10:
            ok = ok and shape["rgb"] == e["rgb"]
        check(name, ok, json.dumps(shape))
    elif cls == "CDataBlock":
        check(name, shape["kind"] == "insert" and p[0] == [e["x"], e["y"]] and
              shape["sizeX"] == e["scaleX"] and shape["sizeY"] == e["scaleY"] and
              shape["angle"] == e["rotation"] and shape["code"] == e["number"],
              json.dumps(shape))


def test_reader(version):
    name = f"v{version}"
    drawing = sample_drawing(version)
    path = os.path.join(WORK, f"sample{version}.jww")
    jww_gen.write(path, drawing)
    d = dump(path)
    check(name + " version", d["version"] == version, d["version"])
    check(name + " write layer", d["writeLayer"] == 18, d["writeLayer"])
    # The board's units are the file's paper millimetres: its one scale stays 1:1.
    check(name + " board scale 1:1 (paper mm)", d["scale"] == [1, 1], d["scale"])
    check(name + " group scales", d["groupScales"][:4] == [1.0, 100.0, 50.0, 2.5],
          d["groupScales"][:4])
    layers = {n: (label, shown) for n, label, shown in d["layers"]}
    check(name + " 256 layers", len(layers) == 256, len(layers))
    check(name + " layer name", layers[18] == ("1-2 壁", True), layers[18])
    check(name + " layer name with a dot", layers[19][0] == "1-3 建具・開口", layers[19])
    check(name + " hidden layer", layers[20] == ("1-4", False), layers[20])
    ents = d["entities"]
    check(name + " board entities", len(ents) == 3, len(ents))
    line, arc, circle = ents
    check(name + " line", line["kind"] == "line" and line["layer"] == 18 and
          line["start"] == [0, 0] and line["end"] == [1000, 500], line)
    check(name + " line colour (pen 3)", line["colour"] == 0x00A000, hex(line["colour"]))
    a = 0.25 + 0.5
    check(name + " arc", arc["kind"] == "arc" and arc["layer"] == 19 and
          arc["center"] == [10, 20] and arc["radius"] == 300 and
          close(arc["start"][0], 10 + 300 * math.cos(a)) and
          close(arc["start"][1], 20 + 300 * math.sin(a)) and
          close(arc["end"][0], 10 + 300 * math.cos(a + 1.5)), arc)
    if version >= 420:
        check(name + " SXF colour", arc["colour"] == 0x563412, hex(arc["colour"]))
    check(name + " full circle", circle["start"] == circle["end"] and circle["radius"] == 80,
          circle)
    # Everything else, in file order, field by field: the dimension in its parts.
    expected = []
    for e in drawing["entities"][3:]:
        if e["class"] == "CDataSunpou":
            expected += [(e["line"], "CDataSen"), (e["text"], "CDataMoji")]
            if version >= 420:
                expected += [(e["aux1"], "CDataSen"), (e["aux2"], "CDataSen")]
                expected += [(e[k], "CDataTen") for k in ("p1", "p2", "p3", "p4")]
        else:
            expected.append((e, e["class"]))
    check(name + " shape count", len(d["shapes"]) == len(expected),
          f"{len(d['shapes'])} != {len(expected)}")
    for i, (shape, (e, cls)) in enumerate(zip(d["shapes"], expected)):
        expect_shape(f"{name} shape {i} {cls}", shape, e, cls, version)
    check(name + " block", len(d["blocks"]) == 1 and d["blocks"][0]["number"] == 7 and
          d["blocks"][0]["name"] == "片開き扉", d["blocks"])
    for i, (shape, e) in enumerate(zip(d["blocks"][0]["shapes"],
                                       drawing["blocks"][0]["entities"])):
        expect_shape(f"{name} block shape {i}", shape, e, e["class"], version)
    texts = {t["utf8"]: t for t in d["texts"]}
    t = texts.get("日本語の文字 ABC")
    # Text height: 5 paper mm, whatever the group's scale (1:100).
    check(name + " text shown at its paper size", t is not None and
          close(math.hypot(*t["y"]), 5.0) and t["origin"] == [100, 200], t)
    check(name + " block text placed", "扉" in texts, list(texts))
    for kind in ("楕円弧", "点", "仮点", "文字", "ソリッド", "ブロック"):
        check(f"{name} shown {kind}", d["shown"].get(kind, 0) > 0, d["shown"])
    return path


def test_round_trip(path):
    out = path + ".saved.jww"
    probe("save", path, out)
    with open(path, "rb") as a, open(out, "rb") as b:
        same = a.read() == b.read()
    check(os.path.basename(path) + " saved unchanged byte for byte", same)


def batch(*args):
    out = subprocess.run([BATCH, *args], capture_output=True, text=True, timeout=120,
                         cwd=WORK)
    if out.returncode != 0:
        raise RuntimeError(f"pelimator-batch {' '.join(args)}: {out.stderr}")
    return out


def after_raw_shapes(path, version):
    """The radii of the wave's arcs as stored: every record whose common part is pen 1 / colour 2
    on layer C-8 (only the new ones are), then centre and radius, by the documented layout."""
    data = open(path, "rb").read()
    mark = struct.pack("<IBH", 0, 1, 2) + (struct.pack("<H", 0) if version >= 351 else b"") + \
        struct.pack("<HHH", 8, 12, 0)
    radii, at = [], data.find(mark)
    while at >= 0:
        radii.append(struct.unpack_from("<3d", data, at + len(mark))[2])
        at = data.find(mark, at + 1)
    return [{"kind": "arc", "radius": r} for r in radii]


def same_originals(name, before, after):
    n = len(before["entities"])
    check(name + " original entities", after["entities"][:n] == before["entities"],
          "changed")
    check(name + " original shapes", after["shapes"] == before["shapes"], "changed")
    check(name + " original blocks", after["blocks"] == before["blocks"], "changed")
    check(name + " layers", after["layers"] == before["layers"], "changed")


def test_draw(version, path):
    name = f"v{version} draw"
    points = os.path.join(WORK, "path.txt")
    with open(points, "w") as f:
        f.write("0 0\n20000 0\n")
    out = path + ".drawn.jww"
    batch("--points", points, "--path", "0", "-o", out, path)
    before, after = dump(path), dump(out)
    same_originals(name, before, after)
    new = after["entities"][len(before["entities"]):]
    check(name + " new entities", len(new) > 10, len(new))
    # The default settings put the line on layer number 200: Jw_cad's layer C-8.
    check(name + " on the settings' layer 200 = C-8",
          all(e["layer"] == 200 for e in new), {e["layer"] for e in new})
    # The same wave on a new DXF drawing at 1:1 (units = paper mm) looks the same on the board,
    # and is stored so in the file: paper sizes as set, whatever the group's scale (1:20 here).
    if skip_without_ezdxf(name + " wave at paper size, against ezdxf"):
        test_round_trip(out)
        return out
    ref = os.path.join(WORK, f"ref{version}.dxf")
    batch("--points", points, "--path", "0", "--scale", "1", "-o", ref)
    radii = sorted(round(a.dxf.radius, 6) for a in ezdxf.readfile(ref).modelspace().query("ARC"))
    ours = sorted(round(e["radius"], 6) for e in new if e["kind"] == "arc")
    check(name + " wave shown at paper size", ours == radii and ours, f"{ours[:3]} vs {radii[:3]}")
    added = after_raw_shapes(out, version)
    stored = sorted(round(s["radius"], 6) for s in added)
    check(name + " wave stored at paper size on group C (1:20)", stored == radii and stored,
          f"{stored[:3]} vs {radii[:3]}")
    # And back byte for byte once more: the drawn file is itself a file we keep.
    test_round_trip(out)
    return out


def test_introduced_class():
    """The entity list has no line or arc; the block definitions do: the new arcs bring the
    class, and the blocks' own definition of it becomes a reference."""
    drawing = sample_drawing(700)
    drawing["entities"] = [e for e in drawing["entities"]
                           if e["class"] in ("CDataMoji", "CDataBlock", "CDataSolid")]
    path = os.path.join(WORK, "introduced.jww")
    jww_gen.write(path, drawing)
    out = test_draw(700, path)
    check("introduced class: blocks read back", dump(out)["blocks"] == dump(path)["blocks"])


def test_long_tags():
    """Map indexes past 0x7FFF: tags in their long form, before and after the save moves them."""
    drawing = sample_drawing(420)
    lines = [dict(common(layer=2, group=1), **{"class": "CDataSen"}, x1=float(i), y1=0.0,
                  x2=float(i), y2=10.0) for i in range(0x7FFF - 40)]
    drawing["entities"] = lines
    drawing["blocks"] = [{"number": n, "name": f"部品{n}", **common(), "entities": [
        dict(common(), **{"class": "CDataEnko"}, cx=0.0, cy=0.0, radius=5.0 + n, start=0.0,
             sweep=1.0, tilt=0.0, flat=1.0, full=0)]} for n in range(1, 40)]
    path = os.path.join(WORK, "long.jww")
    jww_gen.write(path, drawing)
    d = dump(path)
    check("long tags read", len(d["blocks"]) == 39 and d["blocks"][-1]["name"] == "部品39",
          len(d["blocks"]))
    test_round_trip(path)
    out = test_draw(420, path)
    after = dump(out)
    check("long tags after the save", after["blocks"] == d["blocks"], "blocks differ")


def test_bad_files():
    sample = sample_drawing(700)
    good = jww_gen.jww_bytes(sample)
    # Where the entity list's count is: after the header of an otherwise empty drawing.
    empty = dict(sample, entities=[], blocks=[])
    count_at = len(jww_gen.jww_bytes(empty)) - 4 - 2 - 2
    cases = {
        "truncated header": good[:2000],
        "truncated entity": good[:len(good) - 300],
        "not JWW": b"AutoCAD Binary DXF\r\n",
        "version 999": b"JwwData." + struct.pack("<I", 999) + good[12:],
        "unknown class": good.replace(b"CDataSolid", b"CDataXxxxx", 1),
        "huge count": good[:count_at] + b"\xff\xff" + struct.pack("<I", 0x7FFFFFFF) +
        good[count_at + 2:count_at + 200],
        "huge string": good[:12] + b"\xff\xff\xff" + struct.pack("<I", 0x7FFFFFFF) +
        good[13:200],
    }
    # Block definitions nested far deeper than any drawing: refused, not a crash.
    deep = {"number": 1, "name": "x", **common(), "entities": []}
    top = deep
    for n in range(2, 200):
        inner = {"class": "CDataList", "number": n, "name": "x", **common(), "entities": []}
        top["entities"].append(inner)
        top = inner
    nested = sample_drawing(700)
    nested["blocks"] = [deep]
    cases["deep nesting"] = jww_gen.jww_bytes(nested)
    for name, data in cases.items():
        path = os.path.join(WORK, f"bad-{name.replace(' ', '-')}.jww")
        with open(path, "wb") as f:
            f.write(data)
        started = time.monotonic()
        message = probe("error", path).strip()
        took = time.monotonic() - started
        check(f"bad file {name}: refused naming the file", message != "ok" and
              os.path.basename(path) in message, message)
        check(f"bad file {name}: message in Japanese", any(ord(c) > 0x3000 for c in message),
              message)
        check(f"bad file {name}: quickly", took < 5, f"{took:.1f} s")


def test_convert(path):
    out = path + ".dxf"
    # The sample's one point marker is the only thing DXF cannot hold as it is.
    losses = probe("losses", path, out)
    check("DXF copy names what it cannot hold",
          losses.strip() == "DXF にない Jw_cad の図形: 点マーカー (点で保存) 1 個", losses)
    probe("save", path, out)
    if not skip_without_ezdxf("DXF copy read by ezdxf"):
        kinds = sorted(e.dxftype() for e in ezdxf.readfile(out).modelspace())
        check("DXF copy holds the lines and arcs", kinds.count("LINE") == 1 and
              kinds.count("ARC") + kinds.count("CIRCLE") == 2, kinds)
    back = out + ".jww"
    probe("save", out, back)
    d, original = dump(back), dump(path)
    # The DXF copy is at real size and names the scale: back in JWW every line and arc of the
    # original lies where it did on the paper, on its layer, and the texts came along.
    def near(a, b):
        return a["kind"] == b["kind"] and a["layer"] == b["layer"] and all(
            abs(x - y) < 1e-6 for k in ("start", "end", "center") for x, y in zip(a[k], b[k]))
    missing = [e for e in original["entities"] if not any(near(e, f) for f in d["entities"])]
    texts = [s for s in d["shapes"] if s["kind"] == "text"]
    check("JWW from DXF", not missing and texts and d["version"] == 700, missing)


def main():
    os.makedirs(WORK, exist_ok=True)
    for version in VERSIONS:
        path = test_reader(version)
        test_round_trip(path)
        test_draw(version, path)
    test_introduced_class()
    test_long_tags()
    test_bad_files()
    test_convert(os.path.join(WORK, "sample700.jww"))
    print(f"{len(failures)} failure(s), {len(skipped)} skipped")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Edits of JWW records saved back, checked with our own reading of the records (jww_records.py,
not Pelimator's reader): on every real Jw_cad drawing and on generated drawings holding every
kind, one record of each kind is erased, moved, turned, copied and put on another layer as a
drafter does it; the saved file must hold that change and nothing else (the header, every other
record and the block definitions byte for byte), and Pelimator must read it again.

A line drawn by pelimator-batch goes, with layer change off, to the file's write layer (書込
レイヤ: the write group's write layer), and with it on to the settings' layer number N, which is
layer group N / 16, layer N % 16 (Jw_cad shows it as "[G-L]" in hex).

Usage: test_jww_edits.py JWW_PROBE CORPUS WORK_DIR PELIMATOR_BATCH"""
import math
import os
import struct
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import jww_gen  # noqa: E402
import jww_records  # noqa: E402

PROBE, CORPUS, WORK, BATCH = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4]
failures = []
checked = {}


def check(name, condition, detail=""):
    if not condition:
        failures.append(f"{name}: {detail}")
        print(f"FAILED {name}: {detail}")


def kind_of(cls, f):
    """The kind a drafter sees, for picking one record of each."""
    if cls == "CDataEnko":
        if f["flat"] != 1.0:
            return "楕円弧"
        return "円" if f["full"] else "円弧"
    if cls == "CDataTen":
        return "記号点" if f["m_nPenStyle"] == 100 else "点"
    if cls == "CDataSolid":
        return "ソリッド" if f["m_nPenStyle"] < 101 else "円ソリッド"
    if cls == "CDataMoji" and f["text"].startswith(b"^@BM"):
        return "画像"
    return {"CDataSen": "線", "CDataMoji": "文字", "CDataSunpou": "寸法",
            "CDataBlock": "ブロック"}[cls]


# Where each kind keeps its points and angles: (x, y) pairs, and (field, unit) angles.
POINTS = {"CDataSen": [("x1", "y1"), ("x2", "y2")], "CDataTen": [("x", "y")],
          "CDataMoji": [("x1", "y1"), ("x2", "y2")], "CDataBlock": [("x", "y")],
          "CDataEnko": [("cx", "cy")]}


def place(f, cls, op, args):
    """f placed as the edit asks, in the file's coordinates; a new dict."""
    g = dict(f)
    if op == "layer":
        g["m_nLayer"], g["m_nGLayer"] = args[0] % 16, args[0] // 16
        for name, value in f.items():
            if isinstance(value, dict):
                g[name] = place(value, inner_class(name), op, args)
        return g
    if op in ("move", "copy"):
        dx, dy = args
        turn = 0.0

        def pt(x, y):
            return x + dx, y + dy
    else:
        px, py, degrees = args
        turn = math.radians(degrees)
        c, s = math.cos(turn), math.sin(turn)

        def pt(x, y):
            return px + c * (x - px) - s * (y - py), py + s * (x - px) + c * (y - py)
    pairs = list(POINTS.get(cls, []))
    angles = []
    if cls == "CDataEnko":
        angles = [("start" if f["flat"] == 1.0 else "tilt", turn)]
    elif cls == "CDataTen" and f["m_nPenStyle"] == 100:
        angles = [("angle", turn)]
    elif cls == "CDataMoji":
        angles = [("angle", args[2] if op == "rotate" else 0.0)]  # degrees
    elif cls == "CDataBlock":
        angles = [("rotation", turn)]
    elif cls == "CDataSolid":
        if f["m_nPenStyle"] < 101:
            pairs = [("x1", "y1"), ("x4", "y4"), ("x2", "y2"), ("x3", "y3")]
        else:
            pairs = [("x1", "y1")]
            angles = [("x2", turn)]  # a circle solid's tilt
    for x, y in pairs:
        g[x], g[y] = pt(f[x], f[y])
    for name, by in angles:
        g[name] = f[name] + by
    for name, value in f.items():
        if isinstance(value, dict):
            g[name] = place(value, inner_class(name), op, args)
    return g


def inner_class(name):
    return {"line": "CDataSen", "aux1": "CDataSen", "aux2": "CDataSen", "text": "CDataMoji",
            "p1": "CDataTen", "p2": "CDataTen", "p3": "CDataTen", "p4": "CDataTen"}[name]


def same_fields(name, got, want):
    for key, value in want.items():
        other = got.get(key)
        if isinstance(value, dict):
            same_fields(f"{name}.{key}", other, value)
        elif isinstance(value, float):
            ok = other is not None and abs(other - value) <= 1e-9 * max(1.0, abs(value))
            check(f"{name}.{key}", ok, f"{other!r} != {value!r}")
        else:
            check(f"{name}.{key}", other == value, f"{other!r} != {value!r}")


def probe(*args):
    return subprocess.run([PROBE, *map(str, args)], capture_output=True, text=True, timeout=120)


def try_edit(path, before, index, op, args):
    cls, body = before["records"][index]
    version = before["version"]
    fields = jww_records.parse_fields(version, cls, body)
    kind = kind_of(cls, fields)
    name = f"{os.path.basename(path)} {kind} #{index} {op}"
    out = os.path.join(WORK, "edited.jww")
    if os.path.exists(out):
        os.remove(out)
    run = probe("edit", path, out, index, op, *args)
    if kind == "画像" and op in ("move", "rotate", "copy"):
        # Where a picture lies is written in its text: refused before the edit, by name.
        check(f"{name}: refused", run.returncode == 1 and "画像" in run.stderr,
              run.stderr.strip())
        check(f"{name}: nothing saved", not os.path.exists(out))
        checked["画像 (拒否)"] = checked.get("画像 (拒否)", 0) + 1
        return
    if run.returncode != 0:
        check(name, False, f"edit failed: {run.stderr.strip()}")
        return
    check(f"{name}: kept every edit", run.stdout.strip() == "", run.stdout.strip())
    try:
        after = jww_records.read(out)
    except (ValueError, KeyError) as error:
        check(f"{name}: our own reading of the saved file", False, repr(error))
        return
    check(f"{name}: header", after["header"] == before["header"])
    check(f"{name}: blocks", after["blocks"] == before["blocks"])
    check(f"{name}: rest", after["rest"] == before["rest"])
    was = before["records"]
    now = after["records"]
    if op == "erase":
        check(f"{name}: others", now == was[:index] + was[index + 1:],
              f"{len(now)} records for {len(was)} - 1")
    elif op == "copy":
        check(f"{name}: others", now[:len(was)] == was, f"{len(now)} records for {len(was)} + 1")
        check(f"{name}: count", len(now) == len(was) + 1)
        if len(now) == len(was) + 1:
            check(f"{name}: class", now[-1][0] == cls)
            same_fields(name, jww_records.parse_fields(version, cls, now[-1][1]),
                        place(fields, cls, op, args))
    else:
        check(f"{name}: others", len(now) == len(was) and all(
            now[i] == was[i] for i in range(len(was)) if i != index))
        if len(now) == len(was):
            check(f"{name}: class", now[index][0] == cls)
            same_fields(name, jww_records.parse_fields(version, cls, now[index][1]),
                        place(fields, cls, op, args))
    again = probe("error", out)
    check(f"{name}: read again", again.stdout.strip() == "ok", again.stdout + again.stderr)
    checked[kind] = checked.get(kind, 0) + 1


def edit_every_kind(path):
    before = jww_records.read(path)
    firsts = {}
    for index, (cls, body) in enumerate(before["records"]):
        if cls in ("null", "ref"):
            continue
        kind = kind_of(cls, jww_records.parse_fields(before["version"], cls, body))
        firsts.setdefault(kind, index)
    for kind, index in sorted(firsts.items()):
        try_edit(path, before, index, "erase", [])
        try_edit(path, before, index, "move", [12.5, -7.25])
        try_edit(path, before, index, "rotate", [3.5, -2.0, 30.0])
        try_edit(path, before, index, "copy", [-4.0, 6.0])
        try_edit(path, before, index, "layer", [0x2B])


def draw_on_layers(path):
    """Draws one wave with the batch, layer change off and on; checks where its records go."""
    before = jww_records.read(path)
    values = before["values"]
    group = values["m_nWriteGLay"] & 0xF
    scale = max(1.0, values[f"m_adScale[{group}]"])
    length = 100.0 * scale  # twenty pitches of the default wave, whatever the units
    for change, number in ((0, None), (1, 0x2B)):
        name = f"{os.path.basename(path)} layer change {change}"
        ini = os.path.join(WORK, "Korvane.ini")
        with open(ini, "w") as f:
            f.write(f"[Layer]\nChange={change}\nNumber={number or 0}\n")
        out = os.path.join(WORK, "drawn.jww")
        run = subprocess.run([BATCH, "--points", "-", "--settings", ini, "--allow-loss", "-o",
                              out, path], input=f"0 0\n{length} 0\n", capture_output=True,
                             text=True, timeout=300)
        if run.returncode != 0:
            check(name, False, run.stderr.strip()[-300:])
            continue
        after = jww_records.read(out)
        was = len(before["records"])
        check(f"{name}: the file's records kept", after["records"][:was] == before["records"])
        check(f"{name}: header kept", after["header"] == before["header"])
        added = [jww_records.parse_fields(after["version"], c, b)
                 for c, b in after["records"][was:]]
        check(f"{name}: drawn", len(added) > 0)
        if number is None:
            want = (group, values[f"m_anWriteLay[{group}]"] & 0xF)
        else:
            want = (number // 16, number % 16)
        got = sorted({(a["m_nGLayer"], a["m_nLayer"]) for a in added})
        check(f"{name}: layer", got == [want], f"{got} for {want}")
        checked["線 (書込レイヤ)" if number is None else "線 (レイヤ番号)"] = \
            checked.get("線 (書込レイヤ)" if number is None else "線 (レイヤ番号)", 0) + 1


def common(style=1, colour=1, layer=0, group=0):
    return {"m_nPenStyle": style, "m_nPenColor": colour, "m_nLayer": layer, "m_nGLayer": group}


def every_kind(version):
    """A drawing with every kind of record, two group scales, and blocks holding lines, texts and
    an insert (their tags refer to classes the list defines)."""
    text = dict(common(colour=5, layer=3, group=1), x1=100.0, y1=200.0, x2=160.0, y2=200.0,
                kind=2, sizeX=5.0, sizeY=5.0, spacing=0.5, angle=30.0, font="ＭＳ ゴシック",
                text="日本語の文字")
    line = dict(common(colour=3, layer=2, group=1), x1=0.0, y1=0.0, x2=100.0, y2=50.0)
    ents = [
        dict(line, **{"class": "CDataSen"}),
        dict(common(colour=2, layer=2, group=1), **{"class": "CDataEnko"}, cx=10.0, cy=20.0,
             radius=30.0, start=0.25, sweep=1.5, tilt=0.0, flat=1.0, full=0),
        dict(common(colour=2, layer=2, group=2), **{"class": "CDataEnko"}, cx=-5.0, cy=4.0,
             radius=8.0, start=0.0, sweep=2 * math.pi, tilt=0.0, flat=1.0, full=1),
        dict(common(colour=6, layer=5, group=2), **{"class": "CDataEnko"}, cx=5.0, cy=6.0,
             radius=12.0, start=0.5, sweep=2.0, tilt=0.3, flat=0.5, full=0),
        dict(common(colour=1, layer=1, group=1), **{"class": "CDataTen"}, x=12.5, y=-7.25,
             kariten=1),
        dict(common(style=100, colour=2, layer=1, group=1), **{"class": "CDataTen"}, x=3.0,
             y=4.0, kariten=0, code=3, angle=0.75, scale=2.0),
        dict(text, **{"class": "CDataMoji"}),
        dict(common(colour=10, layer=6, group=3), **{"class": "CDataSolid"}, x1=0.0, y1=0.0,
             x4=0.0, y4=10.0, x2=10.0, y2=0.0, x3=10.0, y3=10.0, rgb=0x3366CC),
        dict(common(style=101, colour=7, layer=6, group=3), **{"class": "CDataSolid"}, x1=50.0,
             y1=50.0, x4=5.0, y4=1.0, x2=0.2, y2=0.0, x3=1.0, y3=0.0),
        dict(common(colour=2, layer=4, group=1), **{"class": "CDataSunpou"},
             line=dict(line, y1=-10.0, y2=-10.0), text=dict(text, text="1,500"), sxf=1,
             aux1=dict(line), aux2=dict(line, x1=5.0), p1=dict(common(group=1), x=0.0, y=-10.0),
             p2=dict(common(group=1), x=1.0, y=-10.0), p3=dict(common(group=1), x=2.0, y=-10.0),
             p4=dict(common(group=1), x=3.0, y=-10.0)),
        dict(common(colour=1, layer=0, group=1), **{"class": "CDataBlock"}, x=200.0, y=100.0,
             scaleX=2.0, scaleY=0.5, rotation=0.5, number=7),
        dict(line, **{"class": "CDataSen"}, x1=9.0),
        dict(text, **{"class": "CDataMoji"}, text="^@BM写真.bmp,100,50,0,0,1,0"),
    ]
    blocks = [{"number": 7, "name": "部品", "entities": [
        dict(line, **{"class": "CDataSen"}), dict(text, **{"class": "CDataMoji"}),
        dict(common(), **{"class": "CDataEnko"}, cx=1.0, cy=1.0, radius=1.0, start=0.0,
             sweep=1.0, tilt=0.0, flat=1.0, full=0)]},
        {"number": 8, "name": "外側", "entities": [
            dict(common(), **{"class": "CDataBlock"}, x=1.0, y=1.0, scaleX=1.0, scaleY=1.0,
                 rotation=0.0, number=7),
            dict(common(), **{"class": "CDataSolid"}, x1=0.0, y1=0.0, x4=0.0, y4=1.0, x2=1.0,
                 y2=0.0, x3=1.0, y3=1.0)]}]
    header = {"m_nWriteGLay": 1, "m_anWriteLay[1]": 5, "m_adScale[1]": 100.0, "m_adScale[2]": 50.0,
              "m_adScale[3]": 2.5}
    return {"version": version, "header": header, "entities": ents, "blocks": blocks}


def block_in_the_list():
    """A block definition inside the entity list (Jw_cad writes none there): its own objects'
    tags lie in its fields, so a save that would number them anew is refused, not corrupted."""
    version = 700
    a = jww_gen.Archive(version)
    a.out += b"JwwData."
    a.dw(version)
    header = jww_gen.default_header(version)
    for name, kind in jww_gen.header_rows(version):
        getattr(a, kind)(header.get(name, "" if kind == "str" else 0))
    line = dict(common(), **{"class": "CDataSen"}, x1=0.0, y1=0.0, x2=10.0, y2=0.0)
    a.list_count(3)
    a.entity(line)
    a.block({"number": 1, "name": "中", "entities": [dict(line, x2=5.0)]})
    a.entity(dict(line, y1=3.0, y2=3.0))
    a.list_count(0)
    a.out += struct.pack("<I", 0)
    path = os.path.join(WORK, "block_in_list.jww")
    with open(path, "wb") as f:
        f.write(bytes(a.out))
    out = os.path.join(WORK, "block_in_list_out.jww")
    if os.path.exists(out):
        os.remove(out)
    run = probe("edit", path, out, 0, "erase")
    check("block in the list: erase before it refused", run.returncode == 1 and
          "ブロック定義" in run.stderr, run.stdout + run.stderr)
    check("block in the list: nothing saved", not os.path.exists(out))
    run = probe("edit", path, out, 2, "move", 1.0, 1.0)
    check("block in the list: a move after it saved", run.returncode == 0, run.stderr)


def main():
    os.makedirs(WORK, exist_ok=True)
    for version in (300, 351, 420, 700):
        path = os.path.join(WORK, f"every_kind_{version}.jww")
        jww_gen.write(path, every_kind(version))
        edit_every_kind(path)
        draw_on_layers(path)
    block_in_the_list()
    real = os.path.join(CORPUS, "real-jww")
    if os.path.isdir(real):
        files = sorted(os.path.join(d, f) for d, _, names in os.walk(real) for f in names
                       if f.lower().endswith(".jww"))
        check("real drawings found", files)
        for path in files:
            edit_every_kind(path)
            draw_on_layers(path)
    else:
        print(f"skipped: no real drawings at {real}")
    print("records edited by kind:", ", ".join(f"{k} {n}" for k, n in sorted(checked.items())))
    if failures:
        print(f"{len(failures)} failures")
        return 1
    print("all JWW edit checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/python3
"""The under-, overlines and strike-throughs of the real drawings' texts as the board draws them,
against ezdxf's reading of the same texts' codes (TEXT's %%u %%o %%k toggles, MTEXT's \\L \\O \\K).

For every text of a drawing's model space (blocks inserted there, multileaders' texts included)
the board's rules (underlay_dump) must mark the characters ezdxf reads as marked, each kind
apart, and no text ezdxf reads as unmarked may carry one. A TEXT's rule must lie where the file
puts its run: at its height (under: 0.2 text heights below the baseline through the file's first
point, over: 1.2 above it, strike: 0.4 above it) and along the baseline over the marked
characters' share of the run, the run laid from its alignment point by the rough advance (full
width characters 1, others 0.6 text heights). An MTEXT line's rule lies at that height above the
line's baseline, over the same share of the line. Usage:
text_rules_check.py UNDERLAY_DUMP CORPUS_DIR
"""
import json
import math
import os
import re
import subprocess
import sys

from ezdxf.tools.text import MTextParser, TokenType, plain_text

from dump_corpus import open_doc

HEIGHTS = {"under": -0.2, "over": 1.2, "strike": 0.4}
TOLERANCE = 0.05  # text heights
CODES = re.compile(rb"%%[uUoOkK]|\\[LOK]")
TOGGLE = re.compile(r"(%%[uUoOkK])")


def advance(text):
    return sum(1.0 if len(c.encode("utf-8")) >= 3 else 0.6 for c in text)


def text_marks(raw):
    """A TEXT's plain string and its marked runs [(kind, start, end)] in characters."""
    plain = ""
    on = {"under": None, "over": None, "strike": None}
    marks = []
    for piece in TOGGLE.split(raw):
        if TOGGLE.fullmatch(piece):
            kind = {"u": "under", "o": "over", "k": "strike"}[piece[2].lower()]
            if on[kind] is None:
                on[kind] = len(plain)
            else:
                if len(plain) > on[kind]:
                    marks.append((kind, on[kind], len(plain)))
                on[kind] = None
            continue
        plain += plain_text(piece)
    marks += [(k, s, len(plain)) for k, s in on.items() if s is not None and len(plain) > s]
    return plain, marks


def mtext_marked(content):
    """The characters of each kind an MTEXT marks, in order, without white space."""
    out = {"under": "", "over": "", "strike": ""}
    for token in MTextParser(content):
        if token.type != TokenType.WORD:
            continue
        word = re.sub(r"\s", "", token.data)
        ctx = token.ctx
        if ctx.underline:
            out["under"] += word
        if ctx.overline:
            out["over"] += word
        if ctx.strike_through:
            out["strike"] += word
    return out


def texts_of(entity, depth=0):
    """The TEXT, ATTRIB and MTEXT entities an entity draws, in drawing coordinates."""
    kind = entity.dxftype()
    if kind in ("TEXT", "ATTRIB", "MTEXT"):
        yield entity
    elif kind == "INSERT" and depth < 4:
        for attrib in entity.attribs:
            yield attrib
        for e in entity.virtual_entities():
            if e.dxftype() != "ATTDEF":
                yield from texts_of(e, depth + 1)
    elif kind == "MULTILEADER":
        for e in entity.virtual_entities():
            yield from texts_of(e, depth + 1)


def run_start(e, plain):
    """Where the board lays a TEXT's run from, its direction and length (drawing units)."""
    height = e.dxf.height
    width = e.dxf.get("width", 1.0) or 1.0
    angle = math.radians(e.dxf.get("rotation", 0.0))
    along = (math.cos(angle), math.sin(angle))
    p10 = e.dxf.insert
    p11 = e.dxf.get("align_point", p10)
    h = e.dxf.get("halign", 0)
    v = e.dxf.get("valign", 0)
    if h in (3, 5) and (p11 - p10).magnitude > 0:
        d = p11 - p10
        return (p10.x, p10.y), (d.x / d.magnitude, d.y / d.magnitude), d.magnitude
    length = advance(plain) * height * width
    anchor = p10 if h == 0 and v == 0 else p11
    back = {0: 0.0, 1: 0.5, 2: 1.0, 4: 0.5}.get(h, 0.0) * length
    return (anchor.x - back * along[0], anchor.y - back * along[1]), along, length


def check_text_geometry(e, plain, rule, start, end, problems, where):
    height = e.dxf.height
    origin, along, length = run_start(e, plain)
    up = (-along[1], along[0])
    base = e.dxf.insert
    total = advance(plain)
    shares = (advance(plain[:start]) / total, advance(plain[:end]) / total)
    for point, share in zip((rule["from"], rule["to"]), shares):
        y = ((point[0] - base.x) * up[0] + (point[1] - base.y) * up[1]) / height
        x = (point[0] - origin[0]) * along[0] + (point[1] - origin[1]) * along[1]
        if abs(y - HEIGHTS[rule["kind"]]) > TOLERANCE:
            problems.append(f"{where}: {rule['kind']} rule at {y:.3f} text heights, not "
                            f"{HEIGHTS[rule['kind']]}")
        if abs(x - share * length) > TOLERANCE * height:
            problems.append(f"{where}: {rule['kind']} rule ends {x:.3f} along, not "
                            f"{share * length:.3f}")


def check_line_geometry(item, problems, where):
    """An MTEXT line's rules against its own frame (left aligned, on its baseline)."""
    ox, oy = item["origin"]
    x, y = item["x"], item["y"]
    height = math.hypot(*y)
    unit = math.hypot(*x)
    along = (x[0] / unit, x[1] / unit)
    up = (y[0] / height, y[1] / height)
    text = item["text"]
    total = advance(text) * unit
    start = -0.5 * item["h"] * total
    for rule in item["rules"]:
        at = text.find(rule["text"])
        shares = (advance(text[:at]), advance(text[:at + len(rule["text"])]))
        for point, share in zip((rule["from"], rule["to"]), shares):
            dy = ((point[0] - ox) * up[0] + (point[1] - oy) * up[1]) / height
            dx = (point[0] - ox) * along[0] + (point[1] - oy) * along[1]
            if abs(dy - HEIGHTS[rule["kind"]]) > TOLERANCE:
                problems.append(f"{where}: {rule['kind']} rule at {dy:.3f} line heights")
            if abs(dx - start - share * unit) > TOLERANCE * height:
                problems.append(f"{where}: {rule['kind']} rule ends {dx:.3f} along, not "
                                f"{start + share * unit:.3f}")


def check_drawing(dump, path, problems):
    name = os.path.basename(path)
    items = json.loads(subprocess.run([dump, path], check=True, capture_output=True).stdout)
    texts = {}
    for item in items:
        if item["kind"] == "text":
            texts.setdefault(item["handle"], []).append(item)
    doc = open_doc(path)
    checked = set()
    marked = 0
    for top in doc.modelspace():
        handle = top.dxf.handle
        drawn = texts.get(handle, [])
        if top.dxftype() == "MTEXT" or top.dxftype() == "MULTILEADER":
            want = {"under": "", "over": "", "strike": ""}
            for e in texts_of(top):
                if e.dxftype() != "MTEXT":
                    continue
                for kind, chars in mtext_marked(e.text).items():
                    want[kind] += chars
            if not any(want.values()):
                continue
            checked.add(handle)
            marked += 1
            got = {"under": "", "over": "", "strike": ""}
            for item in drawn:
                for rule in item["rules"]:
                    got[rule["kind"]] += re.sub(r"\s", "", rule["text"])
                check_line_geometry(item, problems, f"{name} {handle} {item['text']!r}")
            if got != want:
                problems.append(f"{name} {handle}: marked {got}, ezdxf reads {want}")
            continue
        for e in texts_of(top):
            if e.dxftype() == "MTEXT":
                continue  # an MTEXT in a block: drawn, not checked here
            plain, marks = text_marks(e.dxf.text)
            if not marks:
                continue
            checked.add(handle)
            marked += 1
            where = f"{name} {handle} {plain!r}"
            runs = [i for i in drawn if i["text"] == plain]
            if not runs:
                problems.append(f"{where}: not drawn")
                continue
            rules = runs[0]["rules"]
            want = sorted((k, plain[s:t]) for k, s, t in marks)
            got = sorted((r["kind"], r["text"]) for r in rules)
            if got != want:
                problems.append(f"{where}: rules {got}, ezdxf reads {want}")
                continue
            for kind, start, end in marks:
                rule = next(r for r in rules if r["kind"] == kind and r["text"] == plain[start:end])
                check_text_geometry(e, plain, rule, start, end, problems, where)
    for handle, drawn in texts.items():
        if handle not in checked and any(item["rules"] for item in drawn):
            problems.append(f"{name} {handle}: rules drawn where ezdxf reads none")
    return marked


def main():
    dump, corpus = sys.argv[1], sys.argv[2]
    problems = []
    marked = 0
    for name in sorted(os.listdir(corpus)):
        path = os.path.join(corpus, name)
        if not name.endswith(".dxf"):
            continue
        with open(path, "rb") as f:
            if not CODES.search(f.read()):
                continue
        marked += check_drawing(dump, path, problems)
    for problem in problems:
        print(problem)
    print(f"{marked} marked texts, {len(problems)} problems")
    # The corpus has underlined TEXTs and MTEXTs with all three kinds.
    return 1 if problems or marked < 20 else 0


if __name__ == "__main__":
    sys.exit(main())

"""What of a DXF drawing's texts a Jw_cad drawing can hold, read with ezdxf (independently of the
board): a run's start on its baseline, its end, height, angle and string, its style's TrueType
family (else Jw_cad's ＭＳ ゴシック) and bold flag, and the under-, overlines and strike-throughs
its control codes draw; and Jw_cad's character cells, by which the lines lie along a saved run."""
import math
import os

import ezdxf
from ezdxf.tools.fonts import FontFace
from ezdxf.tools.text import (MTextContext, MTextParser, TokenType, plain_mtext,
                              plain_text)

# The cells' cap height per cell height (Noto Sans CJK JP's, as tests/board/convert's JWW check
# reads it from the font): a DXF text's height is the cap height.
CAP_HEIGHT = 0.733
# The font a Jw_cad text names where the DXF names no family.
DEFAULT_FONT = "ＭＳ ゴシック"
# The bold bit of a STYLE's ACAD 1071 flags (bold_bit sets it from a real drawing).
BOLD_BIT = []


def bold_bit(corpus):
    """The bit of a STYLE's ACAD 1071 flags that says bold, as AutoCAD wrote it: the difference
    between aca_2000_ceco's Arial Bold (ARIALBD.TTF) style and its Arial one. (ezdxf 0.18 calls
    this bit italic, against its own notes of AutoCAD's files.)"""
    doc = ezdxf.readfile(os.path.join(corpus, "real-dxf", "aca_2000_ceco.dxf"))
    flags = {s.dxf.font.upper(): s.get_xdata("ACAD")[1][1] for s in doc.styles
             if s.has_xdata("ACAD")}
    return flags["ARIALBD.TTF"] ^ flags["ARIAL.TTF"]


def face_of(e):
    """Text e's style's family as ezdxf reads it and its bold flag (the bit bold_bit found)."""
    style = e.doc.styles.get(e.dxf.style)
    if style is None:
        return "", False
    family, _, _ = style.get_extended_font_data()
    flags = style.get_xdata("ACAD")[1][1] if style.has_xdata("ACAD") else 0
    return family, flags & BOLD_BIT[0] != 0


def style_face(doc, name):
    """(family, bold) of text style name as ezdxf reads it: ＭＳ ゴシック for a style naming no
    TrueType family (a shape font) or none."""
    style = doc.styles.get(name) if name else None
    if style is None:
        return DEFAULT_FONT, False
    family, _, _ = style.get_extended_font_data()
    flags = style.get_xdata("ACAD")[1][1] if style.has_xdata("ACAD") else 0
    return family or DEFAULT_FONT, flags & BOLD_BIT[0] != 0


def mtext_runs(content, face):
    """The runs of one face of each paragraph of MTEXT content: [(text, font, bold, italic)], the
    font of each word what ezdxf's MTextParser has in force there: a \\f family with its bold and
    italic, ＭＳ ゴシック for a \\F shape font, else face (the style's family and bold, not
    italic). A space goes with the run before it (those before the first word with that)."""
    ours = FontFace(family="\0style")
    ctx = MTextContext()
    ctx.font_face = ours

    def of(f):
        if f is ours or f.family == ours.family:
            return (face[0], face[1], False)
        if "\\F" + f.family in content:
            return (DEFAULT_FONT, False, False)
        return (f.family, f.weight == "bold", f.style == "italic")

    paragraphs, runs, lead = [], [], ""
    for token in MTextParser(content, ctx):
        if token.type == TokenType.NEW_PARAGRAPH:
            paragraphs.append(runs or [(lead, face[0], face[1], False)])
            runs, lead = [], ""
            continue
        if token.type == TokenType.WORD:
            text = token.data
        elif token.type == TokenType.STACK:
            text = f"{token.data[0]}/{token.data[1]}"
        elif token.type in (TokenType.SPACE, TokenType.NBSP, TokenType.TABULATOR):
            text = " "
        else:
            continue
        if not text.strip():
            if runs:
                runs[-1] = (runs[-1][0] + text,) + runs[-1][1:]
            else:
                lead += text
            continue
        f = of(token.ctx.font_face)
        if runs and runs[-1][1:] == f:
            runs[-1] = (runs[-1][0] + text,) + f
        else:
            runs.append((lead + text,) + f)
            lead = ""
    paragraphs.append(runs or [(lead, face[0], face[1], False)])
    return paragraphs


def mtext_faces(content, face):
    """(plain text, font, bold, italic) of each paragraph of MTEXT content in the face ezdxf has in
    force at its first word (mtext_runs); a paragraph whose face changes partway, of each of its
    runs of one face instead."""
    lines = plain_mtext(content, split=True)
    out = []
    for i, runs in enumerate(mtext_runs(content, face)):
        if len(runs) > 1:
            out += runs
        elif i < len(lines):
            out.append((lines[i],) + runs[0][1:])
    return out


def text_faces(doc, entities):
    """(plain text, font, bold, italic or None: not said) of each line the TEXT, MTEXT and
    DIMENSION entities draw: a TEXT in its style's face, an MTEXT's paragraphs as mtext_faces
    says in the face of its style, a dimension's texts (its block's) in the face of the text
    style its dimension style names (DIMTXSTY, with the dimension's own overrides)."""
    out = []
    for e in entities:
        kind = e.dxftype()
        if kind == "TEXT":
            family, bold = style_face(doc, e.dxf.style)
            out.append((plain_text(e.dxf.text), family, bold, None))
        elif kind == "MTEXT":
            out += mtext_faces(e.text, style_face(doc, e.dxf.style))
        elif kind == "DIMENSION":
            try:
                style = e.override().get("dimtxsty")
            except Exception:  # a style the file lacks: ezdxf does not say
                continue
            face = style_face(doc, style if isinstance(style, str) else None)
            block = e.get_geometry_block()
            if block is None:
                # Drawn from its points: its own text, where it is not the measurement.
                if e.dxf.text and "<>" not in e.dxf.text:
                    out.append((plain_text(e.dxf.text), face[0], face[1], None))
                continue
            for t in block:
                if t.dxftype() == "TEXT":
                    out.append((plain_text(t.dxf.text), face[0], face[1], None))
                elif t.dxftype() == "MTEXT":
                    out += mtext_faces(t.text, face)
    return out


def fonted_drawing(path):
    """A drawing ezdxf makes of MTEXT \\f and \\F codes over paragraphs and groups, in a bold
    style and in Standard, and of dimensions whose own override names a bold text style, one
    with its block and one without (drawn from its points)."""
    doc = ezdxf.new()
    for name, family in (("見出し", "ＭＳ Ｐ明朝"), ("寸法文字", "Meiryo")):
        style = doc.styles.new(name, dxfattribs={"font": family + ".ttf"})
        style.set_xdata("ACAD", [(1000, family), (1071, 34 | BOLD_BIT[0])])
    msp = doc.modelspace()
    msp.add_mtext("{\\fArial|b0|i0|c0|p34;細字}\\P{\\fTimes New Roman|b1|i1;太字斜体}\\P"
                  "{\\Fromans.shx;形}\\P前{\\fArial|b1;後}\\P見出しのまま",
                  dxfattribs={"char_height": 2.5, "style": "見出し", "insert": (0, 0)})
    msp.add_mtext("\\fSimHei|b1|i0|c134|p49;{\\fArial|i1;斜体}\\P黒体",
                  dxfattribs={"char_height": 2.5, "insert": (0, -30)})
    for i, kept in enumerate((True, False)):
        dim = msp.add_linear_dim(base=(0, -50 - 20 * i), p1=(0, -60 - 20 * i),
                                 p2=(40, -60 - 20 * i), text=f"寸法{i}",
                                 override={"dimtxsty": "寸法文字", "dimtxt": 2.5})
        dim.render()
        if not kept:
            doc.blocks.delete_block(dim.dimension.dxf.geometry, safe=False)
            dim.dimension.dxf.geometry = ""
    doc.saveas(path)


def runs_drawing(path):
    """A drawing ezdxf makes of MTEXT lines whose face changes partway: by a \\f code in the line
    and by groups, in Japanese and Latin, after an underline code and a non-breaking space,
    turned, centred and in a style of its own; and a face changed at a line's first word only."""
    doc = ezdxf.new()
    style = doc.styles.new("図題", dxfattribs={"font": "ＭＳ 明朝.ttf"})
    style.set_xdata("ACAD", [(1000, "ＭＳ 明朝"), (1071, 34)])
    msp = doc.modelspace()
    msp.add_mtext("平面図 {\\fArial|b1|i0;PLAN}\\fＭＳ ゴシック|i1; 縮尺 1:100",
                  dxfattribs={"char_height": 5.0, "insert": (0, 0), "style": "図題"})
    msp.add_mtext("\\L下線\\l付き\\~{\\fTimes New Roman|b0|i1;ABC}後\\P{\\fArial;一語}だけ",
                  dxfattribs={"char_height": 2.5, "insert": (0, -20), "rotation": 30.0})
    msp.add_mtext("中央 {\\fMeiryo|b1;揃え} の行",
                  dxfattribs={"char_height": 3.5, "insert": (50, -50), "attachment_point": 2})
    doc.saveas(path)


def faced_drawing(path):
    """A drawing ezdxf makes of texts in a bold TrueType family, a plain one and a shape font."""
    doc = ezdxf.new()
    for name, family, bold in (("見出し", "ＭＳ Ｐ明朝", True), ("本文", "Meiryo", False)):
        style = doc.styles.new(name, dxfattribs={"font": family + ".ttf"})
        style.set_xdata("ACAD", [(1000, family), (1071, 34 | (BOLD_BIT[0] if bold else 0))])
    doc.styles.new("記号", dxfattribs={"font": "romans.shx"})
    msp = doc.modelspace()
    for i, style in enumerate(("見出し", "本文", "記号", "Standard")):
        msp.add_text(f"文字 {style}", dxfattribs={"height": 2.5, "style": style}) \
            .set_placement((0, -10 * i))
    doc.saveas(path)


def halves(text):
    """Each character's cells in halves: two for what Shift-JIS holds in two bytes, else one."""
    return [len(c.encode("cp932", errors="replace")) for c in text]


def cells_to(text, i, width, spacing, end=False):
    """How far along the run the cell of character i starts (end: character i - 1's ends)."""
    h = halves(text)[:i]
    run = sum(h) * (width + spacing) / 2.0
    return run - h[-1] * spacing / 2.0 if end and h else run


def held(e, mm):
    """What a Jw_cad run can hold of TEXT e at real size: {start, end, height, angle, text}, each
    None where the DXF does not say it (a non-left text whose start is its alignment point, a
    left one's end), or None for texts drawn mirrored or from below."""
    if e.dxf.text_generation_flag != 0 or e.dxf.extrusion.z < 0:
        return None
    h, v = e.dxf.halign, e.dxf.valign
    p10 = e.dxf.insert
    p11 = e.dxf.align_point if e.dxf.hasattr("align_point") else None
    angle = e.dxf.rotation
    out = {"start": (p10.x * mm, p10.y * mm), "end": None, "height": e.dxf.height * mm,
           "text": plain_text(e.dxf.text)}
    if h in (3, 5) and p11 is not None and not p10.isclose(p11):
        out["end"] = (p11.x * mm, p11.y * mm)
        angle = math.degrees(math.atan2(p11.y - p10.y, p11.x - p10.x))
        if h == 3:
            out["height"] = None  # aligned: the writer's font decides it
    elif (h, v) != (0, 0):
        if p11 is None or p10.isclose(p11):
            out["start"] = None
        elif h in (1, 2, 4):
            a = math.radians(angle)
            along = (p11.x - p10.x) * math.cos(a) + (p11.y - p10.y) * math.sin(a)
            run = along * (1.0 if h == 2 else 2.0)
            out["end"] = ((p10.x + run * math.cos(a)) * mm, (p10.y + run * math.sin(a)) * mm)
    out["angle"] = angle % 360.0
    family, bold = face_of(e)
    out["face"] = (family or DEFAULT_FONT, bold)
    return out


def saved(e):
    """The same of a TEXT the JWW was saved back as (in millimetres): left-aligned runs end
    where their cells do, fitted ones at their alignment point."""
    p10 = e.dxf.insert
    if e.dxf.halign == 5:
        end = (e.dxf.align_point.x, e.dxf.align_point.y)
    else:
        width = e.dxf.height / CAP_HEIGHT * e.dxf.width
        run = cells_to(e.dxf.text, len(e.dxf.text), width, 0.0, end=True)
        a = math.radians(e.dxf.rotation)
        end = (p10.x + run * math.cos(a), p10.y + run * math.sin(a))
    return {"start": (p10.x, p10.y), "end": end, "height": e.dxf.height,
            "angle": e.dxf.rotation % 360.0, "text": e.dxf.text, "face": face_of(e)}


def near(a, b):
    return all(abs(x - y) <= 1e-6 * max(1.0, abs(x), abs(y)) for x, y in zip(a, b))


def compare_texts(doc, back, mm):
    """(problems, compared, without a start): each model-space TEXT of doc against the TEXT
    of the same string nearest its start in back (the drawing saved as JWW, then as DXF)."""
    theirs = {}
    for e in back.modelspace().query("TEXT"):
        s = saved(e)
        theirs.setdefault(s["text"], []).append(s)
    problems, compared, unknown = [], 0, 0
    for e in doc.modelspace().query("TEXT"):
        want = held(e, mm)
        if want is None or not want["text"].strip():
            continue
        if want["start"] is None:
            unknown += 1
            continue
        compared += 1
        got = theirs.get(want["text"], [])
        if not got:
            problems.append(f"text {want['text']!r} not saved back")
            continue
        g = min(got, key=lambda s: math.dist(s["start"], want["start"]))
        turn = abs((g["angle"] - want["angle"] + 180.0) % 360.0 - 180.0)
        if not near(g["start"], want["start"]) or \
                (want["end"] is not None and not near(g["end"], want["end"])) or \
                (want["height"] is not None and not near((g["height"],), (want["height"],))) or \
                turn > 1e-6 or g["face"] != want["face"]:
            problems.append(f"text {want['text']!r} saved back as {g}, not {want}")
    return problems, compared, unknown


# The lines a text's codes draw, by kind: under, over, strike-through.
UNDER, OVER, STRIKE = "under", "over", "strike"
# Where each lies on a saved run, in its cells' heights above their bottom.
RISE = {UNDER: 0.0, OVER: 1.0, STRIKE: 0.5}


def rules_of(e):
    """The under-, overlines and strike-throughs of TEXT or MTEXT e as ezdxf reads its codes:
    (line, kind, first character, past the last character) in the plain text of each of its
    lines."""
    out = []
    if e.dxftype() == "TEXT":
        # %%u, %%o and %%k each turn their line on or off until the end of the text.
        codes = {"%%u": UNDER, "%%o": OVER, "%%k": STRIKE}
        raw, state, at, pieces = e.dxf.text, dict.fromkeys(codes.values()), 0, []
        i = 0
        while i < len(raw):
            code = raw[i:i + 3].lower()
            if code in codes:
                pieces.append((plain_text(raw[at:i]), codes[code]))
                at = i = i + 3
            else:
                i += 1
        pieces.append((plain_text(raw[at:]), None))
        n = 0
        for text, toggled in pieces:
            n += len(text)
            if toggled is None:
                break
            if state[toggled] is None:
                state[toggled] = n
            else:
                if n > state[toggled]:
                    out.append((0, toggled, state[toggled], n))
                state[toggled] = None
        for kind, first in state.items():
            if first is not None and n > first:
                out.append((0, kind, first, n))
        return out
    line, n, open_ = 0, 0, {}
    def close(kind):
        if kind in open_ and n > open_[kind]:
            out.append((line, kind, open_[kind], n))
        open_.pop(kind, None)
    for token in MTextParser(e.text):
        if token.type == TokenType.NEW_PARAGRAPH:
            for kind in list(open_):
                close(kind)
            line, n = line + 1, 0
            continue
        for kind, on in ((UNDER, token.ctx.underline), (OVER, token.ctx.overline),
                         (STRIKE, token.ctx.strike_through)):
            if on and kind not in open_:
                open_[kind] = n
            elif not on:
                close(kind)
        if token.type in (TokenType.WORD, TokenType.SPACE, TokenType.NBSP):
            n += len(token.data) if token.type == TokenType.WORD else 1
    for kind in list(open_):
        close(kind)
    return out


def rule_lines(f, text, rules):
    """Where a saved run's (a CDataMoji's fields) under-, overlines and strike-throughs lie:
    along its cells, at their bottom, top and middle (leaning with an italic run), fitted to its
    end as its cells are."""
    width, height, spacing = f["sizeX"], f["sizeY"], f["spacing"]
    a = math.radians(f["angle"])
    along, up = (math.cos(a), math.sin(a)), (-math.sin(a), math.cos(a))
    run = cells_to(text, len(text), width, spacing, end=True)
    length = math.hypot(f["x2"] - f["x1"], f["y2"] - f["y1"])
    stretch = length / run if run > 0 and length > 0 else 1.0
    lean = 0.2 * height if (f["kind"] // 10000) % 2 == 1 else 0.0
    out = []
    for kind, first, last in rules:
        rise = RISE[kind]
        lift = (rise * (height * up[0] + lean * along[0]),
                rise * (height * up[1] + lean * along[1]))
        ends = []
        for d in (cells_to(text, first, width, spacing) * stretch,
                  cells_to(text, last, width, spacing, end=True) * stretch):
            ends.append((f["x1"] + d * along[0] + lift[0], f["y1"] + d * along[1] + lift[1]))
        out.append(tuple(ends))
    return out


def ruled_drawing(path):
    """A drawing ezdxf makes of what the real ones lack: overlines, a turned and centred TEXT,
    MTEXT \\L and \\O over paragraphs, %%k in a turned TEXT and \\K in an MTEXT (with an
    underline, and a group's end undoing the \\k within it)."""
    doc = ezdxf.new()
    msp = doc.modelspace()
    msp.add_text("%%o上線%%o と %%u下線", dxfattribs={"height": 2.5, "rotation": 30.0}) \
        .set_placement((10, 10))
    msp.add_text("%%uGL%%u+%%o1,500", dxfattribs={"height": 3.0}).set_placement(
        (0, 40), align=ezdxf.enums.TextEntityAlignment.BOTTOM_CENTER)
    msp.add_mtext("前\\L下線\\l後\\P\\O上線\\o", dxfattribs={"char_height": 2.5,
                                                        "insert": (0, 60)})
    msp.add_text("%%k取消%%k線 %%u下%%k両方", dxfattribs={"height": 2.5, "rotation": -15.0}) \
        .set_placement((0, 80))
    msp.add_mtext("前\\K取消\\k後\\P\\K\\L重ね{\\k下だけ}再び\\l", dxfattribs={"char_height": 2.5,
                                                                 "insert": (0, 100)})
    doc.saveas(path)

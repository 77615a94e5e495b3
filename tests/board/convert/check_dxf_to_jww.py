#!/usr/bin/env python3
"""Every real DXF drawing of the shared corpus saved as JWW by pelimator-batch and checked:

- the test's own reading of the JWW records (tests/board/jww/jww_records.py, from the published
  layout) reads every record to its end;
- the lines, arcs and circles the DXF's model space holds directly (ezdxf) each come back as a
  CDataSen / CDataEnko record;
- each model-space LINE is a CDataSen of a broken Jw_cad line type exactly when its linetype
  has gaps, and of the type or kind its linetype's name or description says where it says one
  (dxf_pens_expected.py); so is each line of a drawing ezdxf makes of linetypes whose patterns
  would say otherwise;
- the losses named hold paper space only when its layouts draw something (ezdxf: entities
  other than viewports), with that count;
- each DXF layer off or frozen hidden in the JWW, the others and the write layer shown, and
  each kept insert's attributes on layer 0 hidden exactly when the insert's layer is
  (dxf_layers_expected.py);
- its blocks stay blocks (dxf_blocks_expected.py): each kept insert a CDataBlock record, each
  kept block a CDataList; saved back as DXF, ezdxf audits it clean and finds each kept insert
  at the same real-size place, with its block's own arcs and circles where they were (ezdxf
  placing them), each model-space LINE, ARC and CIRCLE at the same real-size place, and each
  linear or aligned DIMENSION a CDataSunpou, saved back as a DIMENSION measuring from the same
  places along the same line;
- each other DIMENSION (angular, radial, diameter, ordinate) as the parts its block draws: the
  dimensions alone (ezdxf deleting the rest) saved as JWW hold as many records of each class as
  ezdxf finds entities in their blocks (nested inserts opened), its arcs as arcs at the same
  real-size places; so do the dimensions ezdxf makes whose blocks insert arcs turned, mirrored
  and scaled;
- each solid HATCH with straight boundaries filled as it is: the hatches alone saved as JWW
  hold solids whose area is what the boundaries enclose less their holes, plus the islands in
  those (dxf_fills_expected.py), within 1e-6; so does a drawing ezdxf makes of hatches with holes
  and islands;
- each model-space TEXT saved as JWW and back as DXF keeps what a Jw_cad run holds (within 1e-6
  of its size): its start on the baseline (a non-left TEXT's own group 10, the place its writer
  computed), the end its writer measured (centred, right-aligned, fitted), height, angle and
  string, its style's TrueType family (ＭＳ ゴシック where none is named) and bold flag
  (dxf_texts_expected.py); the loss list names the texts whose alignment is not held, at least
  as many as model space has; a drawing ezdxf makes of texts in a bold family, a plain one and a
  shape font saves each as a JWW text naming that family (else ＭＳ ゴシック) and bold flag;
- the model-space TEXT, MTEXT and DIMENSION entities alone saved as JWW: each JWW text names
  the font, bold and (where an MTEXT code says it) italic flag ezdxf says its line is drawn in
  (dxf_texts_expected.text_faces: styles, MTEXT \f and \F codes, dimensions' DIMTXSTY); so does
  a drawing ezdxf makes of such codes and of dimensions with and without their blocks; a
  line whose face a code changes partway is a text per run of one face, each in its face and
  starting where the cells of the one before end (check_face_runs), in the real drawings and in
  a drawing ezdxf makes of such lines;
- each under-, overline and strike-through ezdxf reads in a TEXT's %%u / %%o / %%k or an
  MTEXT's \L / \O / \K is a line along the saved run's cells, at their bottom, top or middle:
  the texts alone saved as JWW hold those lines and no others; so does a drawing ezdxf makes of
  overlines, strike-throughs, turned and centred texts and MTEXT paragraphs;
- with RENDER_BOARD: the board's picture of the JWW matches its picture of the DXF (the
  share-of-ink measure of tests/board/render/compare_with_ezdxf.py) at MIN_AGREEMENT, the DXF's
  picture placed by the JWW's scale and the DXF's unit: what the JWW shows is what the DXF
  showed.

Usage: check_dxf_to_jww.py PELIMATOR_BATCH CORPUS OUT_DIR [RENDER_BOARD MIN_AGREEMENT]"""
import collections
import glob
import math
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "jww"))
sys.path.insert(0, os.path.join(HERE, "..", "render"))
import check_report  # noqa: E402
import ezdxf  # noqa: E402
from ezdxf.tools.text import MTextParser, TokenType, plain_mtext, plain_text  # noqa: E402
import jww_records  # noqa: E402
import dxf_blocks_expected  # noqa: E402
import dxf_fills_expected  # noqa: E402
import dxf_layers_expected  # noqa: E402
import dxf_pens_expected  # noqa: E402
import dxf_texts_expected  # noqa: E402

UNIT_MM = {0: 1.0, 1: 25.4, 2: 304.8, 4: 1.0, 5: 10.0, 6: 1000.0, 14: 100.0}


def read_dxf(dxf):
    try:
        return ezdxf.readfile(dxf)
    except Exception:  # damaged files: ezdxf's recovery reads them
        from ezdxf import recover
        return recover.readfile(dxf)[0]


def check(batch, dxf, out_dir, render_board, minimum):
    name = os.path.splitext(os.path.basename(dxf))[0]
    jww = os.path.join(out_dir, name + ".jww")
    run = subprocess.run([batch, "--allow-loss", "-o", jww, dxf], capture_output=True,
                         text=True)
    if run.returncode != 0:
        return [f"conversion failed: {run.stderr.strip()}"], {}
    d = jww_records.read(jww)
    kinds = collections.Counter()
    for cls, body in d["records"]:
        jww_records.parse_fields(d["version"], cls, body)  # raises on a bad record
        kinds[cls] += 1
    problems = []
    paper = [line for line in run.stderr.splitlines() if "ペーパー空間" in line]
    doc = read_dxf(dxf)
    msp = doc.modelspace()
    lines = len(msp.query("LINE"))
    arcs = len(msp.query("ARC CIRCLE"))
    if kinds["CDataSen"] < lines or kinds["CDataEnko"] < arcs:
        problems.append(f"{dict(kinds)} for {lines} LINE and {arcs} ARC/CIRCLE")
    figures = {"records": sum(kinds.values())}
    drawn = sum(1 for layout in doc.layouts if layout.name != "Model"
                for e in layout if e.dxftype() != "VIEWPORT")
    if (drawn == 0) != (not paper) or (paper and f" {drawn} 個" not in paper[0]):
        problems.append(f"paper space loss {paper} for {drawn} paper-space entities")
    problems += check_blocks(batch, doc, d, kinds, jww, out_dir, figures)
    problems += check_texts(doc, jww, run.stderr, figures)
    problems += check_rules(batch, read_dxf(dxf), jww, figures)
    problems += check_fonts(batch, read_dxf(dxf), jww, figures)
    problems += check_face_runs(batch, read_dxf(dxf), jww, figures)
    problems += check_dimension_parts(batch, read_dxf(dxf), jww, figures)
    problems += check_fills(batch, read_dxf(dxf), jww, figures)
    lines = collections.defaultdict(list)
    for cls, body in d["records"]:
        if cls == "CDataSen":
            f = jww_records.parse_fields(d["version"], cls, body)
            ends = dxf_pens_expected.key((f["x1"], f["y1"]),
                                         (f["x2"], f["y2"]))
            lines[ends].append(f["m_nPenStyle"])
    factor = d["values"]["m_adScale[0]"]
    factor = UNIT_MM.get(doc.header.get("$INSUNITS", 0), 1.0) / factor
    wrong, figures["lines"] = dxf_pens_expected.check_line_types(doc, lines, factor, d["values"],
                                                                 figures)
    problems += wrong[:3]
    wrong, figures["layers"] = dxf_layers_expected.check_layer_states(doc, d)
    problems += wrong[:3]
    inserts, _names = dxf_blocks_expected.kept_inserts(doc)
    wrong, figures["attributes"] = dxf_layers_expected.check_attributes(doc, d, inserts)
    problems += wrong[:3]
    if render_board and sum(kinds.values()) > 0:
        import compare_with_ezdxf as pictures
        board_png = os.path.join(out_dir, name + ".board.png")
        dxf_png = os.path.join(out_dir, name + ".dxf.png")
        try:
            box = pictures.board_picture(render_board, jww, board_png)
        except subprocess.CalledProcessError:
            return problems, figures  # nothing the board shows
        factor = d["values"]["m_adScale[0]"] / UNIT_MM.get(doc.header.get("$INSUNITS", 0), 1.0)
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        subprocess.run([render_board, dxf, dxf_png, str(pictures.WIDTH), str(pictures.HEIGHT)] +
                       [str(v * factor) for v in box], env=env, capture_output=True, check=True)
        board, other = pictures.inked(board_png), pictures.inked(dxf_png)
        share = min(pictures.agreement(board, other), pictures.agreement(other, board))
        figures["ink"] = share
        if share < minimum:
            problems.append(f"pictures agree {share:.3f} < {minimum}")
    return problems, figures


def check_blocks(batch, doc, d, kinds, jww, out_dir, figures):
    inserts, names = dxf_blocks_expected.kept_inserts(doc)
    lists = sum(1 for _kind, cls, _body in d["blocks"] if cls == "CDataList")
    figures["inserts"] = len(inserts)
    if kinds["CDataBlock"] != len(inserts) or lists != len(names):
        return [f"{kinds['CDataBlock']} inserts and {lists} blocks kept, not {len(inserts)} "
                f"and {len(names)}"]
    if sum(kinds.values()) == 0:
        return []
    back = os.path.splitext(jww)[0] + ".back.dxf"
    run = subprocess.run([batch, "-o", back, jww], capture_output=True, text=True)
    if run.returncode != 0:
        return [f"saving the JWW back as DXF failed: {run.stderr.strip()}"]
    doc2 = ezdxf.readfile(back)
    auditor = doc2.audit()
    if auditor.has_errors:
        return [f"ezdxf audit of the DXF saved back: {len(auditor.errors)} errors"]
    got = [e for e in doc2.modelspace() if e.dxftype() == "INSERT"]
    if len(got) != len(inserts):
        return [f"{len(got)} inserts saved back, not {len(inserts)}"]
    mm = UNIT_MM.get(doc.header.get("$INSUNITS", 0), 1.0)
    problems = dxf_pens_expected.same_lines_and_arcs(doc, doc2, mm)
    dimensions = dxf_blocks_expected.kept_dimensions(doc)
    saved = list(doc2.modelspace().query("DIMENSION"))
    figures["dimensions"] = len(dimensions)
    if kinds["CDataSunpou"] != len(dimensions) or len(saved) != len(dimensions):
        return [f"{kinds['CDataSunpou']} Jw_cad dimensions, {len(saved)} saved back, not "
                f"{len(dimensions)}"]
    for src, e in zip(dimensions, saved):
        problems += dxf_blocks_expected.compare_dimension(src, e, mm)
    for src, e in zip(inserts, got):
        problems += dxf_blocks_expected.compare_insert(src, e, mm)
    return problems[:5]


def check_texts(doc, jww, losses, figures):
    """Problems of the model-space texts saved as JWW and back (check_blocks saved it back)."""
    back = os.path.splitext(jww)[0] + ".back.dxf"
    texts = list(doc.modelspace().query("TEXT"))
    if not texts or not os.path.exists(back):
        return []
    mm = UNIT_MM.get(doc.header.get("$INSUNITS", 0), 1.0)
    problems, compared, unknown = dxf_texts_expected.compare_texts(doc, ezdxf.readfile(back), mm)
    figures["texts"] = f"{compared - len(problems)}/{compared}" + (
        f" ({unknown} without a start)" if unknown else "")
    aligned = sum(1 for e in texts if (e.dxf.halign, e.dxf.valign) != (0, 0)
                  and e.dxf.halign not in (3, 5))
    named = [line for line in losses.splitlines() if "文字の揃え" in line]
    count = int(named[0].split()[-2]) if named else 0
    if count < aligned or (count > 0) != bool(named):
        problems.append(f"losses name {named} for {aligned} aligned model-space texts")
    return problems[:3]


def check_faces(batch, dxf, jww):
    """Problems of texts whose JWW records do not name their style's family (else ＭＳ ゴシック)
    and bold flag as ezdxf reads them."""
    run = subprocess.run([batch, "-o", jww, dxf], capture_output=True, text=True)
    if run.returncode != 0:
        return [f"conversion failed: {run.stderr.strip()}"]
    want = collections.Counter()
    for e in ezdxf.readfile(dxf).modelspace().query("TEXT"):
        family, bold = dxf_texts_expected.face_of(e)
        want[(plain_text(e.dxf.text), family or dxf_texts_expected.DEFAULT_FONT, bold)] += 1
    d = jww_records.read(jww)
    got = collections.Counter()
    for cls, body in d["records"]:
        if cls == "CDataMoji":
            f = jww_records.parse_fields(d["version"], cls, body)
            text = f["text"].decode("utf-16-le" if d["version"] >= 700 else "cp932")
            font = f["font"].decode("utf-16-le" if d["version"] >= 700 else "cp932")
            got[(text, font, (f["kind"] // 10000) & 2 == 2)] += 1
    return [] if got == want else [f"texts {dict(got)}, styles say {dict(want)}"]


def check_rules(batch, doc, jww, figures):
    """Problems of the under-, overlines and strike-throughs of doc's model-space TEXT and MTEXT
    saved alone."""
    rules, ruled = {}, []
    for e in doc.modelspace().query("TEXT MTEXT"):
        found = dxf_texts_expected.rules_of(e)
        if not found:
            continue
        ruled.append(e)
        lines = [plain_text(e.dxf.text)] if e.dxftype() == "TEXT" else \
            plain_mtext(e.text, split=True)
        for line, kind, first, last in found:
            rules.setdefault(lines[line], set()).add((kind, first, last))
    if not ruled:
        return []
    d = alone_as_jww(batch, doc, ruled, jww, "rules")
    if isinstance(d, str):
        return [d]
    want, got = [], []
    for cls, body in d["records"]:
        f = jww_records.parse_fields(d["version"], cls, body)
        if cls == "CDataMoji":
            text = f["text"].decode("utf-16-le") if d["version"] >= 700 else \
                f["text"].decode("cp932")
            want += dxf_texts_expected.rule_lines(f, text, sorted(rules.get(text, ())))
        elif cls == "CDataSen":
            got.append(((f["x1"], f["y1"]), (f["x2"], f["y2"])))
    figures["rules"] = len(want)
    unmatched = list(got)
    for line in want:
        match = next((g for g in unmatched if dxf_texts_expected.near(g[0] + g[1],
                                                                     line[0] + line[1])), None)
        if match is None:
            return [f"no line {line} under or over its text; lines {unmatched[:2]}"]
        unmatched.remove(match)
    # A stacked fraction's bar or slash (\S1/2; \S1#2;) is a line of its own.
    bars = sum(1 for e in ruled if e.dxftype() == "MTEXT" for t in MTextParser(e.text)
               if t.type == TokenType.STACK and t.data[2] in ("/", "#"))
    if len(unmatched) != bars:
        return [f"{len(unmatched)} lines beside the {len(want)} under-, overlines and "
                f"strike-throughs, {bars} stacks' bars"]
    return []


def jww_texts(d):
    """(string, font, bold, italic) of each text of JWW records d, dimensions' own among them."""
    out = []
    enc = "utf-16-le" if d["version"] >= 700 else "cp932"
    for cls, body in d["records"]:
        if cls not in ("CDataMoji", "CDataSunpou"):
            continue
        f = jww_records.parse_fields(d["version"], cls, body)
        f = f["text"] if cls == "CDataSunpou" else f
        flags = f["kind"] // 10000
        out.append((f["text"].decode(enc), f["font"].decode(enc), flags & 2 == 2, flags & 1 == 1))
    return out


def check_fonts(batch, doc, jww, figures):
    """Problems of the fonts of doc's model-space TEXT, MTEXT and DIMENSION texts saved alone:
    each JWW text names the font, bold and (where an MTEXT code says it) italic flag ezdxf says
    its line is drawn in (dxf_texts_expected.text_faces); a line an MTEXT's box wrapped is any
    part of it."""
    keep = list(doc.modelspace().query("TEXT MTEXT DIMENSION"))
    want = [w for w in dxf_texts_expected.text_faces(doc, keep) if w[0].strip()]
    if not want:
        return []
    d = alone_as_jww(batch, doc, keep, jww, "fonts")
    if isinstance(d, str):
        return [d]
    got = [g for g in jww_texts(d) if g[0].strip()]
    problems, checked = [], 0
    for g in got:
        same = [w for w in want if w[0] == g[0]] or [w for w in want if g[0].strip() in w[0]]
        if not same:
            continue
        checked += 1
        if not any(w[1:3] == g[1:3] and w[3] in (None, g[3]) for w in same):
            problems.append(f"text {g[0]!r} in {g[1:]}, ezdxf says {same[0][1:]}")
    figures["fonts"] = f"{checked - len(problems)}/{checked} of {len(got)}"
    if checked < len(want) * 0.9:
        problems.append(f"only {checked} JWW texts found for {len(want)} lines ezdxf reads")
    return problems[:3]


def check_face_runs(batch, doc, jww, figures):
    """Problems of doc's model-space MTEXT lines whose face changes partway, saved alone as JWW:
    each run of one face after a line's first (dxf_texts_expected.mtext_runs) is a text of its
    own in its face, starting where the cells of the text before it, in the face before, end
    (and their spacing); a run the board's box wraps, a text in its face that holds a part
    of it."""
    texts = list(doc.modelspace().query("MTEXT"))
    paragraphs = [runs for e in texts for runs in dxf_texts_expected.mtext_runs(
        e.text, dxf_texts_expected.style_face(doc, e.dxf.style)) if len(runs) > 1]
    if not paragraphs:
        return []
    d = alone_as_jww(batch, doc, texts, jww, "runs")
    if isinstance(d, str):
        return [d]
    enc = "utf-16-le" if d["version"] >= 700 else "cp932"
    got = []
    for cls, body in d["records"]:
        if cls == "CDataMoji":
            f = jww_records.parse_fields(d["version"], cls, body)
            flags = f["kind"] // 10000
            got.append((f["text"].decode(enc), f["font"].decode(enc), flags & 2 == 2,
                        flags & 1 == 1, f))
    problems, placed, wrapped, used = [], 0, 0, set()
    for runs in paragraphs:
        for before, run in zip(runs, runs[1:]):
            def follows(g):
                f = g[4]
                a = math.radians(f["angle"])
                for h in got:
                    k = h[4]
                    if h[1:4] != before[1:4] or not before[0].strip().endswith(h[0].strip()) \
                            or abs(k["angle"] - f["angle"]) > 1e-9:
                        continue
                    run_to = dxf_texts_expected.cells_to(h[0], len(h[0]), k["sizeX"],
                                                         k["spacing"])
                    end = (k["x1"] + run_to * math.cos(a), k["y1"] + run_to * math.sin(a))
                    if dxf_texts_expected.near(end, (f["x1"], f["y1"])):
                        return True
                return False
            same = [g for g in got if g[0].strip() == run[0].strip() and g[1:4] == run[1:4]
                    and id(g) not in used]
            g = next((g for g in same if follows(g)), None)
            if g is not None:
                used.add(id(g))
                placed += 1
            elif not same and any(g[1:4] == run[1:4] and g[0].strip() and
                                  g[0].strip() in run[0] for g in got):
                wrapped += 1
            else:
                problems.append(f"run {run} after {before[0]!r}: texts "
                                f"{[(g[0], *g[1:4]) for g in same][:2] or 'none'} not where "
                                f"the text before ends")
    figures["face runs"] = f"{placed}/{placed + len(problems)}" + (
        f" ({wrapped} wrapped)" if wrapped else "")
    return problems[:3]


def check_named_types(batch, dxf, jww):
    """(problems, figures) of dxf's lines saved as JWW: each named linetype's line the type or
    kind its name says (dxf_pens_expected.check_line_types)."""
    run = subprocess.run([batch, "-o", jww, dxf], capture_output=True, text=True)
    if run.returncode != 0:
        return [f"conversion failed: {run.stderr.strip()}"], {}
    d, doc = jww_records.read(jww), ezdxf.readfile(dxf)
    lines = collections.defaultdict(list)
    for cls, body in d["records"]:
        if cls == "CDataSen":
            f = jww_records.parse_fields(d["version"], cls, body)
            lines[dxf_pens_expected.key((f["x1"], f["y1"]), (f["x2"], f["y2"]))].append(
                f["m_nPenStyle"])
    factor = UNIT_MM[doc.header.get("$INSUNITS", 0)] / d["values"]["m_adScale[0]"]
    figures = {}
    wrong, figures["lines"] = dxf_pens_expected.check_line_types(doc, lines, factor, d["values"],
                                                                 figures, by_name=True)
    if figures.get("named lines", 0) != len(doc.modelspace()):
        wrong.append(f"{figures} named lines found of {len(doc.modelspace())}")
    return wrong, figures


def check_dimension_parts(batch, doc, jww, figures):
    dimensions = dxf_blocks_expected.other_dimensions(doc)
    if not dimensions:
        return []
    d = alone_as_jww(batch, doc, dimensions, jww, "dimensions")
    if isinstance(d, str):
        return [d]
    mm = UNIT_MM.get(doc.header.get("$INSUNITS", 0), 1.0) / d["values"]["m_adScale[0]"]
    want, arcs = dxf_blocks_expected.dimension_parts(dimensions, mm)
    got = collections.Counter(cls for cls, _body in d["records"])
    figures["dimension parts"] = sum(want.values())
    if got != want:
        return [f"other dimensions written as {dict(got)}, not {dict(want)}"]
    written = []
    for cls, body in d["records"]:
        if cls == "CDataEnko":
            f = jww_records.parse_fields(d["version"], cls, body)
            sweep = 360.0 if f["full"] else math.degrees(f["sweep"])
            written.append((f["cx"], f["cy"], f["radius"], math.degrees(f["start"]) % 360.0
                            if not f["full"] else 0.0, sweep))
    for p, q in zip(arcs, sorted(written)):
        size = max(1.0, abs(p[0]), abs(p[1]))
        if any(abs(u - v) > 1e-6 * size for u, v in zip(p[:3], q[:3])) or \
                any(abs(u - v) > 1e-6 for u, v in zip(p[3:], q[3:])):
            return [f"a dimension's arc written as {q}, not {p}"]
    return []


def alone_as_jww(batch, doc, keep, jww, what):
    """The JWW records of doc's model space reduced to the entities keep holds (or a problem)."""
    msp = doc.modelspace()
    for e in list(msp):
        if e not in keep:
            msp.delete_entity(e)
    alone = os.path.splitext(jww)[0] + f".{what}.dxf"
    doc.saveas(alone)
    run = subprocess.run([batch, "--allow-loss", "-o", alone + ".jww", alone],
                         capture_output=True, text=True)
    if run.returncode != 0:
        return f"the {what} alone: conversion failed: {run.stderr.strip()}"
    return jww_records.read(alone + ".jww")


def check_fills(batch, doc, jww, figures):
    hatches = dxf_fills_expected.solid_hatches(doc)
    if not hatches:
        return []
    d = alone_as_jww(batch, doc, [h for h, _area in hatches], jww, "fills")
    if isinstance(d, str):
        return [d]
    mm = UNIT_MM.get(doc.header.get("$INSUNITS", 0), 1.0) / d["values"]["m_adScale[0]"]
    want = sum(a for _h, a in hatches) * mm * mm
    got = 0.0
    for cls, body in d["records"]:
        if cls == "CDataSolid":
            f = jww_records.parse_fields(d["version"], cls, body)
            got += dxf_fills_expected.area([(f[f"x{k}"], f[f"y{k}"]) for k in range(1, 5)])
    figures["filled"] = f"{got:.6g}"
    if abs(got - want) > 1e-6 * want:
        return [f"solid hatches fill {got} mm², not {want}"]
    return []


def main(argv):
    if len(argv) not in (4, 6):
        print(__doc__)
        return 2
    batch, corpus, out_dir = argv[1:4]
    render_board, minimum = (argv[4], float(argv[5])) if len(argv) == 6 else (None, 0.0)
    drawings = sorted(glob.glob(os.path.join(corpus, "real-dxf", "*.dxf")))
    if not drawings:
        print(f"SKIPPED: no real DXF drawings under {corpus}/real-dxf")
        return 0
    os.makedirs(out_dir, exist_ok=True)
    dxf_texts_expected.BOLD_BIT.append(dxf_texts_expected.bold_bit(corpus))
    holed = os.path.join(out_dir, "holed_hatches.dxf")
    dxf_fills_expected.holed_drawing(holed)
    holes = check_fills(batch, ezdxf.readfile(holed), holed[:-4] + ".jww", {})
    print("FAIL" if holes else "ok  ", "hatches with holes and islands (ezdxf)", *holes)
    dxf_pens_expected.corpus_patterns(corpus)
    named = os.path.join(out_dir, "named_linetypes.dxf")
    dxf_pens_expected.named_drawing(named)
    wrong, kinds = check_named_types(batch, named, named[:-4] + ".jww")
    print("FAIL" if wrong else "ok  ", "linetypes by name before pattern (ezdxf)", kinds, *wrong)
    holes += wrong
    made = os.path.join(out_dir, "made_dimensions.dxf")
    dxf_blocks_expected.dimensions_drawing(made)
    parts = {}
    holes += check_dimension_parts(batch, ezdxf.readfile(made), made[:-4] + ".jww", parts)
    print("FAIL" if holes else "ok  ", "dimensions with turned and mirrored arcs (ezdxf)", parts,
          *holes)
    ruled = os.path.join(out_dir, "ruled_texts.dxf")
    dxf_texts_expected.ruled_drawing(ruled)
    lines = {}
    wrong = check_rules(batch, ezdxf.readfile(ruled), ruled[:-4] + ".jww", lines)
    print("FAIL" if wrong else "ok  ",
          "under-, overlines and strike-throughs of turned texts and MTEXT (ezdxf)", lines, *wrong)
    holes += wrong
    fonted = os.path.join(out_dir, "fonted_texts.dxf")
    dxf_texts_expected.fonted_drawing(fonted)
    fonts = {}
    wrong = check_fonts(batch, ezdxf.readfile(fonted), fonted[:-4] + ".jww", fonts)
    print("FAIL" if wrong else "ok  ", "fonts of MTEXT codes and dimension texts (ezdxf)", fonts,
          *wrong)
    holes += wrong
    runs = os.path.join(out_dir, "face_runs.dxf")
    dxf_texts_expected.runs_drawing(runs)
    placed = {}
    wrong = check_face_runs(batch, ezdxf.readfile(runs), runs[:-4] + ".jww", placed)
    wrong += check_fonts(batch, ezdxf.readfile(runs), runs[:-4] + ".jww", placed)
    print("FAIL" if wrong else "ok  ", "faces changed partway along MTEXT lines (ezdxf)", placed,
          *wrong)
    holes += wrong
    faced = os.path.join(out_dir, "faced_texts.dxf")
    dxf_texts_expected.faced_drawing(faced)
    wrong = check_faces(batch, faced, faced[:-4] + ".jww")
    print("FAIL" if wrong else "ok  ", "fonts and bold of text styles (ezdxf)", *wrong)
    holes += wrong
    return check_report.report(
        drawings, lambda dxf: check(batch, dxf, out_dir, render_board, minimum),
        "DXF drawings saved as JWW") or (1 if holes else 0)


if __name__ == "__main__":
    sys.exit(main(sys.argv))

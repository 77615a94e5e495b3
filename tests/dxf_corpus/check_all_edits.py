#!/usr/bin/env python3
"""Every model-space entity of one drawing erased, moved, copied, turned, put on another layer,
mirrored and scaled through the program
(dxf_corpus_edit_all: each edit applied to all entities it takes, in one step), and each saved
file checked with ezdxf: every placed entity equals ezdxf's own transform of the original (its
extended data by AutoCAD's rule: 1011 moves and turns, 1012 and 1013 turn, the rest stays; an
attribute's multiline text as ezdxf's virtual MTEXT transformed); a copy is one new entity per
original, the original untouched; erase leaves model space empty; ezdxf's audit finds nothing new.
The program itself reports records outside the edit that changed, saves not the same twice and
saved files that do not save back the same. A refusal must name its kind, and only kinds listed
in REFUSED may be refused (those in REFUSED_BY only by the edits listed there).

Usage: check_all_edits.py (real PATH | corpus NAME) WORKDIR DXF_CORPUS_EDIT_ALL
       (exit 77 when ezdxf or the drawing is missing)
"""
import collections
import io
import math
import subprocess
import sys
from pathlib import Path

try:
    import ezdxf
    from ezdxf import bbox, recover
    from ezdxf import upright as ezupright
    from ezdxf.lldxf import tagger
    from ezdxf.math import OCSTransform, Vec2, Vec3
except ImportError:
    print("ezdxf is not installed")
    sys.exit(77)

sys.path.insert(0, str(Path(__file__).resolve().parent))
import make_corpus  # noqa: E402
from check_edits import FACTOR, differences, flat, placement, same, signature  # noqa: E402
from corpus_table import BY_NAME  # noqa: E402
from table_sizes import compare_scaled_sizes, drawn_entities  # noqa: E402

# Kinds the program refuses to place, each for a reason DECISIONS.md gives.
REFUSED = {
    "LARGE_RADIAL_DIMENSION",
    "3DSOLID", "REGION", "BODY", "SURFACE", "OLE2FRAME", "ACAD_PROXY_ENTITY",
    "VIEWPORT", "HELIX", "LIGHT", "SECTION", "ARCALIGNEDTEXT", "RTEXT",
}
# Refused only for the reasons named: a dimension whose block is shared, drawn at a point of its
# own, based off the origin or holding what cannot be placed, or upside down.
REFUSED_FOR = {"DIMENSION": ("共有", "別の位置", "基点", "寸法の図形の", "押し出し方向"),
               "ARC_DIMENSION": ("共有", "別の位置", "基点", "寸法の図形の", "押し出し方向"),
               # A multileader whose context data cannot be read, whose content is a block or
               # that does not lie in the drawing's plane.
               "MULTILEADER": ("中身のデータ", "ブロックを中身", "押し出し方向")}
# Moved and turned but not copied. None: an image's copy owns a reactor of its own (its
# definition lists it, check_copied_objects), a dimension or a table a new block of its own.
COPY_REFUSED = set()
# Dimensions drawn by a block of their own in the drawing's coordinates.
DIMENSIONS = ("DIMENSION", "ARC_DIMENSION")
# Kinds refused by some edits only: none (a table is moved, turned, mirrored and scaled by the
# rules DECISIONS.md states).
REFUSED_BY = {}
# A mirror turns them over as ezdxf's transform does (a shape is a symbol, not a text; a
# leader's arrowheads are blocks): compared as ezdxf leaves them, extrusion or normal included.
TURNED_OVER = {"SHAPE", "LEADER"}
# Refused only when they do not lie in the drawing's plane (extrusion not along Z).
PLANAR = {"CIRCLE", "ARC", "TEXT", "MTEXT", "INSERT", "LWPOLYLINE", "SOLID", "TRACE", "HATCH",
          "ELLIPSE", "LINE", "POINT", "ATTRIB", "SHAPE", "PDFUNDERLAY", "DWFUNDERLAY",
          "DGNUNDERLAY"}


# Tables whose entries extended data names by handle.
HANDLE_TABLES = {"LAYER", "LTYPE", "STYLE", "DIMSTYLE", "BLOCK_RECORD", "APPID"}

ENCODING = None  # the encoding of a corpus drawing whose file may not name it


def load(path: Path):
    """The drawing as ezdxf reads it; by its recovery when the strict reader gives up."""
    try:
        return ezdxf.readfile(str(path), encoding=ENCODING)
    except Exception:  # noqa: BLE001 (ezdxf raises ValueError, TypeError, ... on odd files)
        doc, _ = recover.readfile(str(path))
        return doc


def run_program(exe: str, original: Path, out: Path):
    run = subprocess.run([exe, str(original), str(out)], capture_output=True, text=True,
                         timeout=600, errors="replace")
    if run.returncode != 0:
        return None, [f"the program failed: {run.stderr.strip()}"]
    rows, faults, order, layer = [], [], [], ""
    for line in run.stdout.splitlines():
        fields = line.split("\t")
        if fields[0] == "row":
            rows.append({"ordinal": int(fields[1]), "handle": fields[3], "type": fields[4],
                         "refusal": fields[5] if len(fields) > 5 else "",
                         "copy_refusal": fields[6] if len(fields) > 6 else "",
                         "refusal_for": dict(f.split("=", 1) for f in fields[7:])})
        elif fields[0] == "layer":
            layer = fields[1]
        elif fields[0] == "copyorder":  # one for each copying edit, in the edits' order
            order.append([int(f) for f in fields[1:]])
        elif fields[0] == "fault":
            faults.append(fields[1])
    return (rows, order, layer), faults


def xdata_of(entity) -> dict:
    if not entity.xdata:
        return {}
    return {app: [(t.code, tuple(t.value) if t.code in range(1010, 1014) else t.value)
                  for t in tags] for app, tags in entity.xdata.data.items()}


def xdata_handles(entity) -> dict:
    """The handles in an entity's extended data (1005) by application and place: a dimension
    style's override (ACAD) by its variable's number (the 1070 before it), others in order."""
    found = {}
    for app, tags in (entity.xdata.data.items() if entity.xdata else ()):
        before, n = None, 0
        for tag in tags:
            if tag.code == 1005:
                if app.upper() == "ACAD" and before is not None:
                    key = ("override", before)
                else:
                    key, n = n, n + 1
                found[(app, key)] = tag.value
            before = tag.value if tag.code == 1070 else None
    return found


def named_by(doc, handle):
    """What a handle names in doc: (kind, name) for a table entry, (kind, handle) for another
    object, None for nothing."""
    thing = doc.entitydb.get(handle) if handle not in ("", "0") else None
    if thing is None:
        return None
    if thing.dxftype() in HANDLE_TABLES:
        return (thing.dxftype(), thing.dxf.name.upper())
    return (thing.dxftype(), handle)


def check_copied_handles(where, original, copy, saved, problems):
    """A copy within the drawing: each handle in its extended data names what the original's
    did."""
    want = xdata_handles(original)
    got = xdata_handles(copy)
    if want.keys() != got.keys():
        problems.append(f"{where}: handles in extended data {sorted(got)} != {sorted(want)}")
        return
    for key, handle in want.items():
        was, now = named_by(original.doc, handle), named_by(saved, got[key])
        if was != now:
            problems.append(f"{where}: {key} 1005 {got[key]} names {now}, not {was}")


def expected_xdata(entity, m) -> dict:
    """Extended data placed by AutoCAD's rule."""
    out = {}
    for app, tags in xdata_of(entity).items():
        placed = []
        for code, value in tags:
            if code == 1011:
                value = tuple(m.transform(Vec3(value)))
            elif code in (1012, 1013):
                value = tuple(m.transform_direction(Vec3(value)))
            placed.append((code, value))
        out[app] = placed
    return out


def multiline_texts(entity) -> list:
    """An insert's attributes' (or an attribute's own) multiline text: insert and angle."""
    parts = list(entity.attribs) if entity.dxftype() == "INSERT" else [entity]
    out = []
    for part in parts:
        if part.dxftype() in ("ATTRIB", "ATTDEF") and part.has_embedded_mtext_entity:
            mtext = part.virtual_mtext_entity()
            out.append([list(mtext.dxf.insert), mtext.get_rotation() % 360.0])
    return out


def expected_multiline_texts(entity, m, operation="") -> list:
    parts = list(entity.attribs) if entity.dxftype() == "INSERT" else [entity]
    out = []
    for part in parts:
        if part.dxftype() in ("ATTRIB", "ATTDEF") and part.has_embedded_mtext_entity:
            mtext = part.virtual_mtext_entity()
            mtext.transform(m)
            if operation == "mirror":
                upright(mtext)
                read_forwards(mtext)
            out.append([list(mtext.dxf.insert), mtext.get_rotation() % 360.0])
    return out


def expected_seeds(hatch, m) -> list:
    """ezdxf leaves a hatch's seed points where they were; they are points of its plane."""
    ocs, z = hatch.ocs(), hatch.dxf.elevation.z
    placed = [m.transform(ocs.to_wcs(Vec3(s[0], s[1], z))) for s in hatch.seeds]
    return placed, OCSTransform(hatch.dxf.extrusion, m).new_ocs


def context_signature(entity) -> dict:
    """A multileader's context data as ezdxf reads it: its scale, content base point, sizes and
    plane, its text's point, direction, angle and sizes, each leader's point, dogleg and breaks
    and each leader line's vertices and breaks."""
    context = entity.context
    sig = {"context": flat([context.scale, context.base_point, context.char_height,
                            context.arrow_head_size, context.landing_gap_size,
                            context.plane_origin, context.plane_x_axis, context.plane_y_axis,
                            context.plane_normal_reversed])}
    text = context.mtext
    if text is not None:
        sig["context_text"] = flat([text.insert, text.text_direction, text.extrusion, text.width,
                                    text.defined_height, text.column_width,
                                    text.column_gutter_width, list(text.column_sizes)])
        sig["context_text_rotation"] = [math.degrees(text.rotation)]
    sig["context_leaders"] = [
        flat([leader.last_leader_point, leader.dogleg_vector, leader.dogleg_length,
              list(leader.breaks), [flat(list(line.vertices)) + flat(list(line.breaks))
                                    for line in leader.lines]])
        for leader in context.leaders]
    return sig


def placed_signature(entity) -> dict:
    """An ellipse as the curve it draws: ezdxf's transform brings an axis ratio above 1 (which
    some writers leave) back below 1 by turning the axes, the program keeps the groups as
    written; both draw the same points. A multileader with its context data, a table with its
    insertion point and groups."""
    sig = signature(entity)
    if entity.dxftype() == "MULTILEADER":
        sig.update(context_signature(entity))
    if entity.dxftype() == "ACAD_TABLE":
        # ezdxf keeps it as tags: its insertion point and its table's groups as written.
        sig["insert"] = flat(Vec3(entity._insert_location()))
        sig["table"] = [[t.code, flat(t.value) if isinstance(t.value, (tuple, Vec3)) else t.value]
                        for t in entity.xtags.get_subclass("AcDbTable")]
    if entity.dxftype() == "TOLERANCE" and "content" in sig:
        # A binary file holds a row break as a line end, an ASCII file as "^J": the same rows.
        sig["content"] = [v.replace("\n", "^J") if isinstance(v, str) else v
                          for v in sig["content"]]
    if entity.dxftype() == "ELLIPSE":
        for key in ("major_axis", "ratio", "start_param", "end_param"):
            sig.pop(key, None)
        sig["curve"] = flat([tuple(v) for v in entity.vertices(entity.params(5))])
    return sig


def backwards(degrees: float) -> bool:
    """A baseline at this angle (in the drawing) runs leftwards or straight down."""
    c, s = math.cos(math.radians(degrees)), math.sin(math.radians(degrees))
    return c < -1e-12 or (abs(c) <= 1e-12 and s < 0)


def read_forwards(text):
    """A mirrored text as the program keeps it readable: ezdxf's transform leaves its baseline
    mirrored (reading leftwards for a mirror line near the vertical); it is then turned half
    round and aligned at the other end, (a right-aligned text left-aligned at its old right end,
    an aligned or fitted one running between its ends the other way)."""
    kind = text.dxftype()
    if kind == "MTEXT":
        angle = text.get_rotation()
        if not backwards(angle):
            return
        # As a direction: an angle alone would be read in its plane system (seen from below).
        text.dxf.discard("rotation")
        text.dxf.text_direction = Vec3.from_deg_angle(angle + 180.0)
        point = text.dxf.get("attachment_point", 1)
        column = (point - 1) % 3
        if column != 1:
            text.dxf.attachment_point = point + (2 if column == 0 else -2)
        return
    if kind not in ("TEXT", "ATTRIB", "ATTDEF"):
        return
    upside_down = text.dxf.get("extrusion", (0, 0, 1))[2] < 0  # its plane's x is the drawing's -x
    if not backwards(180.0 - text.dxf.rotation if upside_down else text.dxf.rotation):
        return
    text.dxf.rotation = (text.dxf.rotation + 180.0) % 360.0
    halign = text.dxf.get("halign", 0)
    insert, align = Vec3(text.dxf.insert), Vec3(text.dxf.get("align_point", text.dxf.insert))
    if halign == 0:
        text.dxf.halign = 2
        text.dxf.align_point = insert
    elif halign == 2:
        text.dxf.halign = 0
        text.dxf.insert = align
    elif halign in (3, 5):
        text.dxf.insert, text.dxf.align_point = align, insert


def flip_x(v):
    return Vec3(-v[0], v[1], -v[2] if len(v) > 2 else 0.0)


def upright(entity):
    """ezdxf's transform keeps a mirrored planar entity in a plane system upside down (extrusion
    0, 0, -1); the program keeps it the right way up. The same entity upright. Not a multiline
    text (its points and direction are the drawing's, its plane says which side its letters
    face: a mirror keeps it, see compare_placed), nor what a mirror turns over."""
    kind = entity.dxftype()
    if kind in TURNED_OVER or kind == "MTEXT":
        return
    if not entity.dxf.is_supported("extrusion") or entity.dxf.get("extrusion", (0, 0, 1))[2] >= 0:
        return
    if kind in ("TEXT", "ATTRIB", "ATTDEF"):
        for name in ("insert", "align_point"):
            if entity.dxf.hasattr(name):
                entity.dxf.set(name, flip_x(entity.dxf.get(name)))
        entity.dxf.rotation = (180.0 - entity.dxf.rotation) % 360.0
    elif kind == "HATCH":
        upright_hatch(entity)
    elif kind in DIMENSIONS:
        # Its text's, block's and fifth points and its angles are its plane's; the rest the
        # drawing's.
        for name in ("text_midpoint", "defpoint5", "insert"):
            if entity.dxf.hasattr(name):
                entity.dxf.set(name, flip_x(entity.dxf.get(name)))
        for name in ("text_rotation", "horizontal_direction", "angle"):
            if entity.dxf.hasattr(name):
                entity.dxf.set(name, (180.0 - entity.dxf.get(name)) % 360.0)
    elif kind != "TOLERANCE":  # its points and directions are the drawing's
        ezupright.upright(entity)
        return
    entity.dxf.extrusion = Vec3(0, 0, 1)


def upright_hatch(hatch):
    hatch.dxf.elevation = flip_x(hatch.dxf.elevation)
    hatch.seeds = [(-s[0], s[1]) for s in hatch.seeds]
    for path in hatch.paths:
        if hasattr(path, "vertices"):
            path.vertices = [(-v[0], v[1], -v[2] if len(v) > 2 else 0.0) for v in path.vertices]
            continue
        for edge in path.edges:
            for name in ("start", "end", "center", "major_axis"):
                if hasattr(edge, name):
                    value = getattr(edge, name)
                    setattr(edge, name, Vec2(-value[0], value[1]))


def expected_turned(expected, m, operation):
    """An underlay, which ezdxf cannot transform: its point placed, its angle the placed
    direction's, its size scaled (its y scale turned over by a mirror)."""
    expected.dxf.insert = m.transform(expected.dxf.insert)
    rotation = expected.dxf.get("rotation", 0.0)
    along = m.transform_direction(Vec3.from_deg_angle(rotation))
    if operation == "mirror":
        expected.dxf.rotation = along.angle_deg
    else:
        expected.dxf.rotation = rotation + m.transform_direction(Vec3(1, 0, 0)).angle_deg
    factor = along.magnitude
    expected.dxf.scale_x = expected.dxf.get("scale_x", 1.0) * factor
    flip = -1.0 if operation == "mirror" else 1.0
    expected.dxf.scale_y = expected.dxf.get("scale_y", 1.0) * factor * flip


def expected_shape(expected, m):
    """A shape placed by ezdxf's rule for it (its transform fails on its own x scale's name): its
    point placed, its angle and size in the plane system the placement leaves it in (a mirror
    turns it over), its relative x scale and oblique angle kept."""
    ocs = OCSTransform(expected.dxf.extrusion, m)
    expected.dxf.insert = m.transform(expected.dxf.insert)
    expected.dxf.rotation = ocs.transform_deg_angle(expected.dxf.get("rotation", 0.0)) % 360.0
    expected.dxf.size = ocs.transform_length((0, expected.dxf.size, 0))
    expected.dxf.extrusion = ocs.new_extrusion


def compare_arc_ends(where, original, edited, m, operation, problems):
    """An arc dimension's ends (40, 41, radians about its centre 15), which ezdxf's transform
    leaves as they were: by the program's rule each turned as a direction (a mirror swaps them,
    the arc then running from the other end), so that where they were the angles of its extension
    lines' origins (13, 14) they are those of the placed points."""
    def angle(radians):
        return m.transform_direction(Vec3.from_angle(radians)).angle
    ends = [original.dxf.start_angle, original.dxf.end_angle]
    want = [angle(a) for a in ends]
    points = [original.dxf.defpoint2, original.dxf.defpoint3]
    centre = Vec3(original.dxf.defpoint4)
    at_points = all(same_angle((Vec3(p) - centre).angle, a) for p, a in zip(points, ends))
    placed = [(m.transform(p) - m.transform(centre)).angle for p in points]
    if operation == "mirror":
        want.reverse()
        placed.reverse()
    got = [edited.dxf.start_angle, edited.dxf.end_angle]
    if not all(same_angle(a, b) for a, b in zip(got, want)):
        problems.append(f"{where}: its ends (40, 41) {got} != {want}")
    if at_points and not all(same_angle(a, b) for a, b in zip(got, placed)):
        problems.append(f"{where}: its ends {got} are not its points' angles {placed}")


def same_angle(a, b) -> bool:
    return abs(math.remainder(a - b, math.tau)) < 1e-9


def compare_dimension_block(where, original, edited, operation, problems):
    """A dimension's block content (in the drawing's coordinates: no block point 12) placed as
    ezdxf's transform of the dimension places it, entity by entity."""
    before, after = original.get_geometry_block(), edited.get_geometry_block()
    if before is None or after is None:
        if (before is None) != (after is None):
            problems.append(f"{where}: its block is {'gone' if after is None else 'new'}")
        return
    before, after = list(before), list(after)
    if len(before) != len(after):
        problems.append(f"{where}: {len(after)} entities in its block, not {len(before)}")
        return
    for one, other in zip(before, after):
        compare_placed(f"{where} block {one.dxftype()}", one, other, operation, problems)


def table_block(table):
    """The block a table is drawn by (its group 2), None when the drawing lacks it."""
    name = table.xtags.get_subclass("AcDbBlockReference").get_first_value(2, "")
    return table.doc.blocks.get(name) if name else None


def compare_table_block(where, original, copy, problems, scaled=False):
    """A table's copy draws with its original's block content as it is (in the table's frame;
    scaled: checked by compare_scaled_table), and its pointer to its block's entry (343) names
    the entry of the block it names."""
    before, after = table_block(original), table_block(copy)
    if before is None or after is None:
        if (before is None) != (after is None):
            problems.append(f"{where}: its block is {'gone' if after is None else 'new'}")
        return
    if after.block_record_handle != copy.xtags.get_subclass("AcDbTable").get_first_value(
            343, after.block_record_handle):
        problems.append(f"{where}: its 343 does not name its block's entry")
    if scaled:
        return
    before, after = list(before), list(after)
    if len(before) != len(after):
        problems.append(f"{where}: {len(after)} entities in its block, not {len(before)}")
        return
    for one, other in zip(before, after):
        want = placed_signature(one)
        for line in differences(want, placed_signature(other), want, other):
            problems.append(f"{where} block {one.dxftype()}: {line}")


def table_direction(table):
    """Where its direction (the first 11 of its AcDbTable groups, before its first cell) sits in
    its signature's groups, and the direction."""
    groups = placed_signature(table)["table"]
    for k, (code, value) in enumerate(groups):
        if code == 171:
            break
        if code == 11:
            return k, Vec3(value).normalize()
    return None, Vec3(1, 0, 0)


def table_outline(table, m=None):
    """The corners of the table's drawn outline: its block's extents (in the table's frame) at its
    insertion point along its direction; placed by m when given."""
    block = table_block(table)
    if block is None:
        return []
    box = bbox.extents(block, fast=True)
    insert, along = Vec3(table._insert_location()), table_direction(table)[1]
    up = Vec3(-along.y, along.x, 0)
    corners = [insert + along * x + up * y for x in (box.extmin.x, box.extmax.x)
               for y in (box.extmin.y, box.extmax.y)]
    return [m.transform(c) for c in corners] if m is not None else corners


def compare_scaled_table(where, original, edited, m, factor, problems):
    """A scaled table (DECISIONS.md, "Tables scaled"): its direction kept, its sizes and every
    cell's text height as drawn factor times the original's, and the entities its block draws
    ezdxf's transform of the original's by the scale m."""
    if table_direction(original)[1] != table_direction(edited)[1]:
        problems.append(f"{where}: direction {table_direction(edited)[1]}, not kept")
    compare_scaled_sizes(where, original, edited, factor, problems)
    before, drawn = drawn_entities(original), drawn_entities(edited)
    if len(before) != len(drawn):
        problems.append(f"{where}: its block draws {len(drawn)} entities, not {len(before)}")
        return
    for one, other in zip(before, drawn):
        expected = one.copy()
        expected.transform(m)
        for line in differences(placed_signature(expected), placed_signature(other),
                                placed_signature(one), other):
            problems.append(f"{where} block {one.dxftype()}: {line}")


def compare_table(where, original, edited, operation, m, want, problems):
    """A table placed by the rule DECISIONS.md states (ezdxf has no transform for it): moved and
    turned, its insertion point placed and its direction turned; mirrored, it covers the mirror
    image of its outline and reads forwards (its block and every other group as they were)."""
    k, along = table_direction(original)
    if operation == "scale":
        compare_scaled_table(where, original, edited, m, FACTOR, problems)
        want["insert"] = flat(m.transform(Vec3(original._insert_location())))
        # Its groups are checked by their sizes (its cells gain heights of their own).
        want["table"] = placed_signature(edited)["table"]
        return
    if operation != "mirror":
        want["insert"] = flat(m.transform(Vec3(original._insert_location())))
        if k is not None:
            want["table"][k][1] = flat(m.transform_direction(along).normalize())
        return
    got_k, got_along = table_direction(edited)
    if backwards(got_along.angle_deg):
        problems.append(f"{where}: reads backwards along {flat(got_along)}")
    mirrored, outline = table_outline(original, m), table_outline(edited)
    size = max((abs(c) for p in mirrored for c in p), default=0.0) + 1.0
    if len(outline) != len(mirrored) or any(
            min((p - q).magnitude for q in outline) > 1e-9 * size for p in mirrored):
        problems.append(f"{where}: outline {[flat(p) for p in outline]} is not the mirror image "
                        f"{[flat(p) for p in mirrored]}")
    # Where it stands is checked by its outline: the point and direction are taken as written.
    want["insert"] = flat(Vec3(edited._insert_location()))
    if k is not None and got_k == k:
        want["table"][k][1] = flat(got_along)


def compare_placed(where, original, edited, operation, problems, new_block=False):
    """new_block: the edited entity is a copy, which draws with a block of its own (a dimension's,
    its name checked by check_copied_blocks)."""
    m = placement(operation)
    if original.dxftype() in DIMENSIONS:
        compare_dimension_block(where, original, edited, operation, problems)
    original_sig = placed_signature(original)
    want_xdata = expected_xdata(original, m)
    want_texts = expected_multiline_texts(original, m, operation)
    seeds = expected_seeds(original, m) if original.dxftype() == "HATCH" else None
    offsets = [key for key in ("leader_offset_block_ref", "leader_offset_annotation_placement")
               if original.dxftype() == "LEADER" and original.dxf.hasattr(key)]
    original_offsets = {key: Vec3(original.dxf.get(key)) for key in offsets}
    letters_face = (Vec3(original.dxf.extrusion) if original.dxftype() == "MTEXT" and
                    original.dxf.hasattr("extrusion") else None)
    own_sizes = {name: original.dxf.get(name) for name in ("dogleg_length", "arrow_head_size")
                 if original.dxftype() == "MULTILEADER" and original.dxf.hasattr(name)}
    try:
        expected = original.copy()
    except ezdxf.DXFTypeError:  # what its extension dictionary holds cannot be copied
        expected = original  # read afresh for this comparison alone
    if expected.dxftype().endswith("UNDERLAY"):
        expected_turned(expected, m, operation)
    elif expected.dxftype() == "ACAD_TABLE":
        pass  # ezdxf has no transform for it: its insertion point is placed below
    elif expected.dxftype() == "SHAPE":
        expected_shape(expected, m)
    elif expected.dxftype() == "MULTILEADER":
        # ezdxf's transform divides by a dogleg's length (one real drawing has a 0): its
        # direction is turned as a unit vector, its length (0) scaled, as for any other.
        empty = [leader for leader in expected.context.leaders if leader.dogleg_length == 0.0]
        for leader in empty:
            leader.dogleg_length = 1.0
        expected.transform(m)
        for leader in empty:
            leader.dogleg_length = 0.0
    else:
        expected.transform(m)
    if expected.dxftype() == "MULTILEADER":
        # Its own dogleg length and arrowhead size are the style's, before the overall scale (45)
        # scales them (the files show 42 x 45 = the context's 140): ezdxf's transform scales the
        # first and sets the second to the context's scaled size, the program keeps both.
        for name, value in own_sizes.items():
            expected.dxf.set(name, value)
    for kind, name in (("LEADER", "horizontal_direction"), ("TOLERANCE", "x_axis_vector")):
        if expected.dxftype() == kind and expected.dxf.hasattr(name):
            # ezdxf scales this direction with the rest; it is a unit vector.
            expected.dxf.set(name, Vec3(expected.dxf.get(name)).normalize())
    if operation == "scale":
        # ezdxf's transform keeps a hatch's pattern scale and a multiline text's column height
        # as they were; the program scales them with the pattern lines and the text they measure.
        for name in ("pattern_scale", "defined_height"):
            if expected.dxf.is_supported(name) and expected.dxf.hasattr(name):
                expected.dxf.set(name, expected.dxf.get(name) * FACTOR)
    if operation == "mirror":
        # ezdxf and the program may leave a mirrored entity in opposite plane systems (0, 0, ±1)
        # for the same shape: both are compared the right way up.
        upright(expected)
        if expected.dxftype() == "MTEXT":
            # As with MIRRTEXT 0 its letters are not mirrored: they face the way they did.
            if letters_face is not None:
                expected.dxf.extrusion = letters_face
            else:
                expected.dxf.discard("extrusion")
        read_forwards(expected)
        for attrib in expected.attribs if expected.dxftype() == "INSERT" else []:
            upright(attrib)
            read_forwards(attrib)
        for entity in [edited] + (list(edited.attribs) if edited.dxftype() == "INSERT" else []):
            kept = entity.dxf.hasattr("extrusion")
            upright(entity)
            if kept and not entity.dxf.hasattr("extrusion"):  # ezdxf drops it as the default
                entity.dxf.extrusion = Vec3(0, 0, 1)
    want = placed_signature(expected)
    if new_block and original.dxftype() in DIMENSIONS:
        want.pop("geometry", None)
    edited_sig = placed_signature(edited)
    if original.dxftype() == "ARC_DIMENSION":
        compare_arc_ends(where, original, edited, m, operation, problems)
        original_sig = dict(original_sig)
        for key in ("start_angle", "end_angle"):
            for sig in (want, edited_sig, original_sig):
                sig.pop(key, None)
    if original.dxftype() == "ACAD_TABLE":
        compare_table(where, original, edited, operation, m, want, problems)
        if new_block:  # its pointer to its own block's entry (343) is checked with the block
            got = dict(placed_signature(edited)["table"])
            want["table"] = [[c, got.get(343, v) if c == 343 else v] for c, v in want["table"]]
            compare_table_block(where, original, edited, problems, operation == "scale")
    for key in offsets:
        # ezdxf leaves a leader's offsets (212, 213) as they were; they are displacements.
        want[key] = flat(m.transform_direction(original_offsets[key]))
    if seeds is not None:
        points, ocs = seeds
        want["seeds"] = [c for p in points for c in ocs.from_wcs(p).vec2]
        if ocs.uz.z < 0:  # kept upright (see upright): the plane's x is the drawing's
            want["seeds"] = [-c if k % 2 == 0 else c for k, c in enumerate(want["seeds"])]
    for line in differences(want, edited_sig, original_sig, edited):
        problems.append(f"{where}: {line}")
    if not same_nested(want_xdata, xdata_of(edited)):
        problems.append(f"{where}: extended data {xdata_of(edited)} != {want_xdata}")
    got = multiline_texts(edited)
    if not same_nested(want_texts, got, "angle"):
        problems.append(f"{where}: multiline attribute {got} != {want_texts}")


def own_block_name(entity) -> str:
    """The block a dimension or a table is drawn by."""
    if entity.dxftype() == "ACAD_TABLE":
        return entity.xtags.get_subclass("AcDbBlockReference").get_first_value(2, "")
    return entity.dxf.get("geometry", "") if entity.dxftype() in DIMENSIONS else ""


def check_copied_blocks(pairs, entities, after, problems) -> int:
    """Each copied dimension (table) draws with a new anonymous block *D<n> (*T<n>) of its own:
    no other entity names it, and the original keeps its own. The number of dimensions and
    tables copied."""
    named = collections.Counter(own_block_name(e).upper() for e in after
                                if e.dxftype() in DIMENSIONS + ("ACAD_TABLE",))
    copied = 0
    for i, edited in pairs:
        original = entities[i]
        kind = original.dxftype()
        if kind == "ACAD_TABLE":
            if table_block(original) is None:
                continue
        elif kind not in DIMENSIONS or original.get_geometry_block() is None:
            continue
        copied += 1
        name = own_block_name(edited)
        where = f"copy {kind} #{original.dxf.handle}"
        prefix = "*T" if kind == "ACAD_TABLE" else "*D"
        if name.upper() == own_block_name(original).upper() or not name.upper().startswith(prefix):
            problems.append(f"{where}: draws with block {name!r}, not a new one")
        elif named[name.upper()] != 1:
            problems.append(f"{where}: its block {name!r} is named {named[name.upper()]} times")
    return copied


def raw_objects(path: Path) -> dict:
    """The saved file's records as written, by handle: (type, [(code, value)]). Read without
    ezdxf's loader, which makes up a reactor an image lacks."""
    data = path.read_bytes()
    if data.startswith(b"AutoCAD Binary DXF"):
        tags = tagger.binary_tags_loader(data)
    else:
        tags = tagger.ascii_tags_loader(io.StringIO(data.decode("latin-1"), newline=None))
    records, current = {}, None
    for tag in tags:
        code, value = tag.code, tag.value.strip() if isinstance(tag.value, str) else tag.value
        if code == 0:
            current = [(0, value)]
        elif current is not None:
            current.append((code, value))
            if code == 5 and len(current) == 2:
                records[value.upper()] = current
    return records


def reactors_of(record) -> list:
    """The handles a record's {ACAD_REACTORS} group lists."""
    listed, inside = [], False
    for code, value in record:
        if code == 102:
            inside = value == "{ACAD_REACTORS"
        elif inside and code == 330:
            listed.append(value.upper())
    return listed


def check_copied_objects(pairs, entities, saved_path, problems) -> int:
    """Each copy of an image owns a reactor of its own (IMAGEDEF_REACTOR, owned by and naming
    the copy), which the image definition lists; an underlay's definition lists the copy itself.
    The number of such copies."""
    raw = raw_objects(saved_path)
    made = 0
    for i, edited in pairs:
        original = entities[i]
        kind = original.dxftype()
        if kind not in ("IMAGE", "WIPEOUT") and not kind.endswith("UNDERLAY"):
            continue
        where = f"copy {kind} #{original.dxf.handle}"
        handle = edited.dxf.handle.upper()
        definition = raw.get(edited.dxf.get("underlay_def_handle" if kind.endswith("UNDERLAY")
                                            else "image_def_handle", "0").upper())
        listed = handle
        owned = original.dxf.get("image_def_reactor_handle", "0") if kind != "PDFUNDERLAY" else "0"
        if kind in ("IMAGE", "WIPEOUT") and owned != "0":
            listed = edited.dxf.get("image_def_reactor_handle", "0").upper()
            reactor = raw.get(listed)
            if listed == owned.upper() or reactor is None or reactor[0][1] != "IMAGEDEF_REACTOR":
                problems.append(f"{where}: its reactor #{listed} is not one of its own")
                continue
            if [v.upper() for c, v in reactor if c == 330] != [handle, handle]:
                problems.append(f"{where}: its reactor #{listed} names {reactor}, not the copy")
        if definition is not None and listed not in reactors_of(definition):
            problems.append(f"{where}: its definition does not list #{listed}")
        made += 1
    return made


def compare_layers(rows, entities, after, layer, problems):
    """Every entity on the layer named (its attributes on theirs, as CHPROP leaves them), all
    else as it was."""
    if len(after) != len(rows):
        problems.append(f"layer: {len(after)} entities instead of {len(rows)}")
        return
    for row, original, edited in zip(rows, entities, after):
        where = f"layer {row['type']} #{row['handle'] or row['ordinal']}"
        now = edited.dxf.get("layer") if edited.dxf.is_supported("layer") else layer
        if layer.isascii() and now.casefold() != layer.casefold():
            problems.append(f"{where}: on {now!r}, not {layer!r}")
        want, got = signature(original), signature(edited)
        want.pop("layer", None)
        got.pop("layer", None)
        for line in differences(want, got, want):
            problems.append(f"{where}: {line}")
        if not same_nested(xdata_of(original), xdata_of(edited)):
            problems.append(f"{where}: extended data changed")
        if original.dxftype() == "INSERT":
            layers = [a.dxf.layer for a in original.attribs]
            if [a.dxf.layer for a in edited.attribs] != layers:
                problems.append(f"{where}: its attributes changed layer")


def same_nested(a, b, key="") -> bool:
    if isinstance(a, dict) and isinstance(b, dict):
        return a.keys() == b.keys() and all(same_nested(a[k], b[k], key) for k in a)
    if isinstance(a, (list, tuple)) and isinstance(b, (list, tuple)):
        return len(a) == len(b) and all(same_nested(x, y, key) for x, y in zip(a, b))
    return same(a, b, key)


def audit_codes(doc) -> collections.Counter:
    try:
        return collections.Counter(error.code for error in doc.audit().errors)
    except Exception as error:  # noqa: BLE001 (ezdxf's audit fails on some real files)
        return collections.Counter({f"audit failed: {type(error).__name__}": 1})


def check(original_path: Path, work: Path, exe: str, refused=None):
    """Problems found and edits checked; refused, when given, gets the rows the program refused
    to place."""
    problems = []
    result, faults = run_program(exe, original_path, work)
    problems += faults
    if result is None:
        return problems, 0
    rows, copy_order, layer = result
    original = load(original_path)
    entities = list(original.modelspace())
    if len(entities) != len(rows):
        problems.append(f"{len(rows)} model-space records, ezdxf reads {len(entities)}")
        return problems, 0
    for row, entity in zip(rows, entities):
        if row["type"] != entity.dxftype() or (row["handle"] and
                                               row["handle"] != entity.dxf.handle):
            problems.append(f"row {row['ordinal']}: {row['type']} #{row['handle']} is "
                            f"{entity.dxftype()} #{entity.dxf.handle} to ezdxf")
            return problems, 0
        if row["refusal"]:
            kind = row["type"]
            planar = kind in PLANAR and "押し出し方向" in row["refusal"]
            reason = any(why in row["refusal"] for why in REFUSED_FOR.get(kind, ()))
            if (kind not in REFUSED and not planar and not reason) or kind not in row["refusal"]:
                problems.append(f"{kind} #{row['handle']} refused: {row['refusal']}")
        if row["copy_refusal"] and (row["type"] not in COPY_REFUSED or
                                    row["type"] not in row["copy_refusal"]):
            problems.append(f"{row['type']} #{row['handle']} not copied: {row['copy_refusal']}")
        for operation, refusal in row["refusal_for"].items():
            if refusal and (operation not in REFUSED_BY.get(row["type"], ()) or
                            row["type"] not in refusal):
                problems.append(f"{row['type']} #{row['handle']} not edited by {operation}: "
                                f"{refusal}")
    placed = [i for i, row in enumerate(rows) if not row["refusal"]]
    if refused is not None:
        refused.extend(row for row in rows if row["refusal"])
    copied = [i for i in placed if not rows[i]["copy_refusal"]]
    audit_before = audit_codes(load(original_path))
    edits = 0
    dimension_copies = 0
    image_copies = 0
    for operation in ("erase", "move", "copy", "rotate", "layer", "mirror", "scale", "copyturn"):
        saved_path = work / f"{operation}.dxf"
        saved = load(saved_path)
        after = list(saved.modelspace())
        # Audited on a reading of its own: the audit mends what it finds (drops duplicates).
        for code, count in (audit_codes(load(saved_path)) - audit_before).items():
            problems.append(f"{operation}: {count} new audit errors {code}")
        if operation == "erase":
            edits += len(rows)
            if after:
                problems.append(f"erase: {len(after)} entities left in model space")
            continue
        if operation == "layer":
            edits += len(rows)
            compare_layers(rows, list(load(original_path).modelspace()), after, layer, problems)
            continue
        copies = operation.startswith("copy")
        taken = [i for i in placed if not rows[i]["refusal_for"].get(operation)]
        if operation == "copyturn":  # a record refused a turn (a table) is not copied to turn
            copied = [i for i in copied if not rows[i]["refusal_for"].get("rotate")]
        edits += len(copied if copies else taken)
        # Read afresh: ezdxf's copy and transform may touch what an entity shares.
        entities = list(load(original_path).modelspace())
        if copies:
            # An object a record owns (an image's reactor) is never shared by a copy.
            owned = collections.Counter(e.dxf.image_def_reactor_handle for e in after
                                        if e.dxftype() in ("IMAGE", "WIPEOUT") and
                                        e.dxf.get("image_def_reactor_handle", "0") != "0")
            for handle, count in owned.items():
                if count > 1:
                    problems.append(f"copy: {count} images own reactor #{handle}")
            if len(after) != len(rows) + len(copied):
                problems.append(f"copy: {len(after) - len(rows)} copies of {len(copied)}")
                continue
            order = copy_order[0 if operation == "copy" else -1]
            pairs = list(zip(order, after[len(rows):]))
            found = check_copied_blocks(pairs, entities, after, problems)
            dimension_copies += found if operation == "copy" else 0
            found = check_copied_objects(pairs, entities, saved_path, problems)
            image_copies += found if operation == "copy" else 0
        else:
            if len(after) != len(rows):
                problems.append(f"{operation}: {len(after)} entities instead of {len(rows)}")
                continue
            pairs = ((i, after[i]) for i in taken)
        for i, edited in pairs:
            where = f"{operation} {rows[i]['type']} #{rows[i]['handle'] or i}"
            try:
                compare_placed(where, entities[i], edited, operation, problems,
                               new_block=copies)
                if copies:
                    check_copied_handles(where, entities[i], edited, saved, problems)
            except Exception as error:  # noqa: BLE001 (any failure of ezdxf is a finding)
                problems.append(f"{where}: ezdxf could not compare: {error!r}")
    if dimension_copies:
        print(f"{dimension_copies} dimensions and tables copied with blocks of their own")
    if image_copies:
        print(f"{image_copies} images and underlays copied with their definitions' reactors")
    return problems, edits


def main(argv) -> int:
    if len(argv) != 5 or argv[1] not in ("real", "corpus"):
        print(__doc__)
        return 2
    work_root = Path(argv[3])
    if argv[1] == "real":
        original = Path(argv[2])
        if not original.is_file():
            print(f"skipped: no real drawing at {original}")
            return 77
        work = work_root / f"all_edits_{original.stem}"
    else:
        drawing = BY_NAME[argv[2]]
        global ENCODING
        ENCODING = drawing.read_encoding
        work = work_root / f"all_edits_{drawing.name}"
        work.mkdir(parents=True, exist_ok=True)
        original = work / f"{drawing.name}.dxf"
        make_corpus.write(drawing, original)
    work.mkdir(parents=True, exist_ok=True)
    problems, edits = check(original, work, argv[4])
    for problem in problems[:200]:
        print(problem)
    print(f"{original.name}: {edits} edits checked, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

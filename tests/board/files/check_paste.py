#!/usr/bin/env python3
"""Drawings pasted whole into other drawings, checked with ezdxf.

Each line of the manifest names a copied drawing A, the drawing B it was pasted into, the saved
result, the placement (factor about the reference point, then to the paste point) and a file of
A's handles of the pasted records in the order they were written. For each: ezdxf's audit finds
nothing that A and B did not have; the last model-space entities of the result are the pasted
records, each equal to ezdxf's own transform of the original (kind, attributes bar handle and
owner, geometry, extended data), an insert's block equal to the original's (under a new name when
B had another block of that name), and every layer, linetype and text style a pasted record names
is in the result. (Handles are checked by the program's test: ezdxf makes objects of its own on
reading, with handles from the file's seed.)

Usage: check_paste.py MANIFEST   (exit 77 when ezdxf is missing)
"""
import re
from collections import Counter
import sys
from pathlib import Path

try:
    import ezdxf
    from ezdxf.math import Matrix44
except ImportError:
    print("ezdxf is not installed")
    sys.exit(77)

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "dxf_corpus"))
import check_all_edits  # noqa: E402
from check_all_edits import HANDLE_TABLES, audit_codes, compare_placed, load  # noqa: E402
from check_all_edits import raw_objects, reactors_of, xdata_handles  # noqa: E402
from check_edits import differences, signature  # noqa: E402


def unescaped(sig: dict) -> dict:
    """Texts with AutoCAD's \\U+XXXX escapes decoded: a file in a code page holds characters it
    cannot encode that way, and ezdxf leaves them as written."""
    def decode(value):
        if isinstance(value, str):
            return re.sub(r"\\U\+([0-9A-Fa-f]{4})", lambda m: chr(int(m.group(1), 16)), value)
        if isinstance(value, list):
            return [decode(v) for v in value]
        return value
    return {key: decode(value) for key, value in sig.items()}


def without_handles(xdata: dict) -> dict:
    """Extended data bar its handles (1005) and the dimension-style variable (1070) each
    override names: what they name is checked by pasted_handles."""
    kept = {}
    for app, tags in xdata.items():
        kept[app] = [(code, value) for k, (code, value) in enumerate(tags)
                     if code != 1005 and not (code == 1070 and app.upper() == "ACAD" and
                                              k + 1 < len(tags) and tags[k + 1][0] == 1005)]
    return kept


def described(doc, handle, pasted):
    """What a handle in extended data names: ("pasted", A's handle) for a pasted record,
    (kind, name) for a table entry, None for nothing or an object the paste does not carry."""
    if handle in pasted:
        return ("pasted", pasted[handle])
    thing = doc.entitydb.get(handle) if handle not in ("", "0") else None
    if thing is None:
        return None
    if thing.dxftype() in HANDLE_TABLES:
        return (thing.dxftype(), thing.dxf.name.upper())
    return ("not carried", thing.dxftype())


def same_entry(want, got) -> bool:
    """The same entry; a block copied under a new name (NAME_2, *U7) stands for its original."""
    if want == got or want is None or got is None or want[0] != got[0] or want[0] != "BLOCK_RECORD":
        return want == got
    if want[1].startswith("*"):
        return re.sub(r"\d+$", "", want[1]) == re.sub(r"\d+$", "", got[1])
    return re.fullmatch(re.escape(want[1]) + r"_\d+", got[1]) is not None


def pasted_handles(where, pairs, doc_a, out, problems) -> int:
    """Each handle in a pasted record's extended data (and in the blocks its inserts draw) names
    in the result what it named in A: the pasted copy of a pasted record, the entry of the same
    name of the same table, nothing for what the paste does not carry (a dimension style's
    override of that is left out). The handles checked."""
    in_a = {}
    in_out = {}
    pairs = list({(id(a), id(b)): (a, b) for a, b in pairs}.values())
    for original, edited in pairs:
        in_a[original.dxf.handle] = original.dxf.handle
        in_out[edited.dxf.handle] = original.dxf.handle
    checked = 0
    for original, edited in pairs:
        want, got = xdata_handles(original), xdata_handles(edited)
        for key, handle in want.items():
            checked += 1
            was = described(doc_a, handle, in_a)
            if was is not None and was[0] == "not carried":
                was = None
            if key not in got:
                if was is not None or not isinstance(key[1], tuple):
                    problems.append(f"{where(original)}: {key} 1005 left out, named {was}")
                continue
            now = described(out, got[key], in_out)
            if not same_entry(was, now):
                problems.append(f"{where(original)}: {key} 1005 {got[key]} names {now}, "
                                f"not {was}")
        for key in got.keys() - want.keys():
            problems.append(f"{where(original)}: {key} 1005 not in the original")
    return checked


XDATA_OF = check_all_edits.xdata_of
check_all_edits.xdata_of = lambda entity: without_handles(XDATA_OF(entity))
PLACED_SIGNATURE = check_all_edits.placed_signature
# What an image's or underlay's pointers name is checked by pasted_objects.
OBJECT_POINTERS = ("image_def_handle", "image_def_reactor_handle", "underlay_def_handle")
check_all_edits.placed_signature = lambda entity: {
    key: value for key, value in unescaped(PLACED_SIGNATURE(entity)).items()
    if key not in OBJECT_POINTERS}
IMAGES = ("IMAGE", "WIPEOUT", "PDFUNDERLAY", "DWFUNDERLAY", "DGNUNDERLAY")
# The root dictionary's entry of the variables object a kind keeps, and that object's type.
VARIABLES = {"IMAGE": ("ACAD_IMAGE_VARS", "RASTERVARIABLES"),
             "WIPEOUT": ("ACAD_WIPEOUT_VARS", "WIPEOUTVARIABLES")}


def own_groups(record) -> list:
    """A raw record's groups outside its application groups ({ACAD_REACTORS} and the like)."""
    kept, inside = [], False
    for code, value in record:
        if code == 102:
            inside = str(value).startswith("{")
            continue
        if not inside:
            kept.append((code, value))
    return kept


def first_of(record, code, default="0") -> str:
    """The first of its own groups of that code (a handle: upper case)."""
    return next((str(v).upper() for c, v in own_groups(record) if c == code), default)


def file_of(record) -> str:
    """A definition's file path (1) as written: paths are compared as the files give them."""
    return next((str(v) for c, v in own_groups(record) if c == 1), "")


def class_fields(doc, name):
    """A CLASSES entry's fields (bar its instance count), None when doc has none."""
    for entry in doc.classes.classes.values():
        if entry.dxf.name == name:
            return (entry.dxf.cpp_class_name, entry.dxf.app_name, entry.dxf.flags,
                    entry.dxf.was_a_proxy, entry.dxf.is_an_entity)
    return None


def pasted_objects(where, pairs, doc_a, doc_b, paths, out, problems) -> int:
    """Each pasted image, wipeout and underlay names a definition of the result (the one of B
    for that file when B had one, else a new one, owned by a dictionary of the root dictionary
    that lists it) of A's type and file; an image owns a reactor of its own (IMAGEDEF_REACTOR, its
    two 330s naming it) that the definition lists (an underlay: the definition lists the copy);
    the root dictionary holds the variables object its kind keeps when A's did; the result's
    CLASSES declare, as A's do, every kind the paste brought. The records checked."""
    raw_b, raw = (raw_objects(Path(path)) for path in paths)
    checked = 0
    for original, edited in pairs:
        kind = original.dxftype()
        if kind not in IMAGES or edited.dxftype() != kind:
            continue
        checked += 1
        here = f"{where} {kind} #{original.dxf.handle}"
        handle = edited.dxf.handle.upper()
        pointer = "underlay_def_handle" if kind.endswith("UNDERLAY") else "image_def_handle"
        was = doc_a.entitydb.get(original.dxf.get(pointer, "0"))
        record = raw.get(handle)
        definition_handle = first_of(record, 340) if record else "0"
        types = {kind}
        if was is not None:
            types.add(was.dxftype())
            definition = raw.get(definition_handle)
            if definition is None or definition[0][1] != was.dxftype():
                problems.append(f"{here}: names #{definition_handle}, not a {was.dxftype()}")
                continue
            if file_of(definition) != str(was.dxf.get("filename", "")):
                problems.append(f"{here}: its definition's file is {file_of(definition)!r}, "
                                f"not {was.dxf.get('filename')!r}")
            read = edited.get_underlay_def() if kind.endswith("UNDERLAY") else edited.image_def
            if read is None or read.dxf.get("filename") != was.dxf.get("filename"):
                problems.append(f"{here}: ezdxf reads its definition as {read}")
            in_b = [h for h, r in raw_b.items() if r[0][1] == was.dxftype() and
                    file_of(r) == str(was.dxf.get("filename", ""))]
            if in_b and definition_handle not in in_b:
                problems.append(f"{here}: a copy #{definition_handle} of B's definition {in_b}")
            if not in_b and definition_handle in raw_b:
                problems.append(f"{here}: names B's #{definition_handle}, of another file")
            owner = raw.get(first_of(definition, 330))
            if owner is None or owner[0][1] != "DICTIONARY" or definition_handle not in \
                    [str(v).upper() for c, v in own_groups(owner) if c in (350, 360)]:
                problems.append(f"{here}: its definition is in no dictionary listing it")
            elif first_of(owner, 330) != out.rootdict.dxf.handle.upper():
                problems.append(f"{here}: its definition's dictionary is not the root's")
            else:
                names = [str(v).upper() for c, v in own_groups(owner) if c == 3]
                if len(set(names)) != len(names):
                    problems.append(f"{here}: its definition's dictionary repeats a name {names}")
            listed = handle
            if kind in ("IMAGE", "WIPEOUT") and \
                    original.dxf.get("image_def_reactor_handle", "0") != "0":
                types.add("IMAGEDEF_REACTOR")
                listed = first_of(record, 360)
                reactor = raw.get(listed)
                if reactor is None or reactor[0][1] != "IMAGEDEF_REACTOR" or \
                        [str(v).upper() for c, v in reactor if c == 330] != [handle, handle]:
                    problems.append(f"{here}: its reactor #{listed} is not one of its own")
            if listed not in reactors_of(definition):
                problems.append(f"{here}: its definition does not list #{listed}")
        if kind in VARIABLES and VARIABLES[kind][0] in doc_a.rootdict:
            types.add(VARIABLES[kind][1])
            variables = out.rootdict.get(VARIABLES[kind][0])
            if variables is None or variables.dxftype() != VARIABLES[kind][1]:
                problems.append(f"{here}: no {VARIABLES[kind][0]} in the root dictionary")
        for name in types:
            want = class_fields(doc_a, name)
            got = class_fields(out, name) if want is not None else None
            if want is not None and got != want and class_fields(doc_b, name) is None:
                problems.append(f"{here}: class {name} is {got}, not {want}")
    return checked


def same_block(doc_a, name_a, doc_b, name_b, problems, where, depth=0, pairs=None):
    """The blocks hold equal entities (nested blocks compared the same way); pairs, when given,
    gets each entity of a's block with b's."""
    a, b = doc_a.blocks.get(name_a), doc_b.blocks.get(name_b)
    if a is None or b is None:
        if (a is None) != (b is None):
            problems.append(f"{where}: block {name_a!r} / {name_b!r} missing")
        return
    ea, eb = list(a), list(b)
    if len(ea) != len(eb):
        problems.append(f"{where}: block {name_b!r} holds {len(eb)} entities, not {len(ea)}")
        return
    for x, y in zip(ea, eb):
        if pairs is not None:
            pairs.append((x, y))
        want, got = unescaped(signature(x)), unescaped(signature(y))
        if x.dxftype() == "INSERT" and y.dxftype() == "INSERT" and depth < 8:
            same_block(doc_a, x.dxf.name, doc_b, y.dxf.name, problems, where, depth + 1, pairs)
            want.pop("name", None)
            got.pop("name", None)
        for line in differences(want, got, want):
            problems.append(f"{where}: block {name_b!r} {x.dxftype()}: {line}")


TABLE_BLOCK = check_all_edits.compare_table_block


def pasted_table_block(where, original, copy, problems, scaled=False):
    """A pasted table's block as a copy's, but that an insert in it may name a block copied under
    a new name (*U25 for *U1, B having a *U1 of its own): that block equal to the original's."""
    found = []
    TABLE_BLOCK(where, original, copy, found, scaled)
    renamed = f"{where} block INSERT: name:"
    problems += [line for line in found if not line.startswith(renamed)]
    if len(found) == len([line for line in found if not line.startswith(renamed)]):
        return
    before, after = check_all_edits.table_block(original), check_all_edits.table_block(copy)
    for one, other in zip(before, after):
        if one.dxftype() == "INSERT" and other.dxftype() == "INSERT" and \
                one.dxf.name != other.dxf.name:
            if not same_entry(("BLOCK_RECORD", one.dxf.name.upper()),
                              ("BLOCK_RECORD", other.dxf.name.upper())):
                problems.append(f"{where}: its block's insert names {other.dxf.name!r}, "
                                f"not a copy of {one.dxf.name!r}")
            same_block(original.doc, one.dxf.name, copy.doc, other.dxf.name, problems, where)


check_all_edits.compare_table_block = pasted_table_block


def names_present(doc, entity, where, problems):
    if entity.dxf.is_supported("layer"):
        layer = entity.dxf.get("layer")
    else:  # a table, kept as tags by ezdxf
        layer = entity.xtags.get_subclass("AcDbEntity").get_first_value(8, None)
    if layer is not None and layer not in doc.layers:
        problems.append(f"{where}: layer {layer!r} not in the table")
    linetype = entity.dxf.get("linetype") if entity.dxf.is_supported("linetype") else None
    if linetype and linetype.upper() not in ("BYLAYER", "BYBLOCK") and \
            linetype not in doc.linetypes:
        problems.append(f"{where}: linetype {linetype!r} not in the table")
    style = entity.dxf.get("style") if entity.dxftype() in ("TEXT", "MTEXT") else None
    if style and style not in doc.styles:
        problems.append(f"{where}: text style {style!r} not in the table")


def new_dimension_block(doc_b, original, edited, out, where, problems):
    """A pasted dimension draws with a new anonymous block of its own (none of B's), in its
    dimension style, which the result has (B's own of that name, else A's copied)."""
    name = edited.dxf.get("geometry", "")
    if original.get_geometry_block() is not None:
        if not name.upper().startswith("*D") or name in doc_b.blocks or \
                out.blocks.get(name) is None:
            problems.append(f"{where}: draws with block {name!r}, not a new one")
    style = edited.dxf.get("dimstyle", "Standard")
    if out.dxfversion > "AC1009" and style not in out.dimstyles:
        problems.append(f"{where}: dimension style {style!r} not in the table")
        return
    if out.dxfversion > "AC1009" and style not in doc_b.dimstyles and \
            style in original.doc.dimstyles:
        # Copied: its text style and arrow blocks (pointers by handle) are the same by name.
        was, now = original.doc.dimstyles.get(style), out.dimstyles.get(style)
        for key in ("dimtxsty", "dimblk", "dimblk1", "dimblk2", "dimldrblk"):
            if was.dxf.get(key) != now.dxf.get(key):
                problems.append(f"{where}: style {style!r} {key} {now.dxf.get(key)!r}, "
                                f"not {was.dxf.get(key)!r}")


def table_style_name(table, doc=None) -> str:
    """The name its table style (342) has in its drawing's ACAD_TABLESTYLE dictionary (doc's:
    the entry of that name there, "" when none)."""
    handle = table.xtags.get_subclass("AcDbTable").get_first_value(342, "")
    name = ""
    styles = table.doc.rootdict.get("ACAD_TABLESTYLE")
    for key, style in (styles.items() if styles is not None else []):
        if (style.dxf.handle if hasattr(style, "dxf") else style) == handle:
            name = key
    if doc is None:
        return name
    there = doc.rootdict.get("ACAD_TABLESTYLE")
    return next((key for key in (there.keys() if there is not None else [])
                 if key.upper() == name.upper()), "")


def style_groups(style) -> list:
    return [(t.code, t.value) for t in style.xtags.get_subclass("AcDbTableStyle")]


def copied_style(original, edited, out, where, problems):
    """A style B lacked, copied for the table: a TABLESTYLE of the result's ACAD_TABLESTYLE
    dictionary, owned by it, its groups A's, the text styles it names in the result."""
    style = out.entitydb.get(edited.xtags.get_subclass("AcDbTable").get_first_value(342, ""))
    source = original.doc.entitydb.get(
        original.xtags.get_subclass("AcDbTable").get_first_value(342, ""))
    if style is None or style.dxftype() != "TABLESTYLE":
        problems.append(f"{where}: its style names no TABLESTYLE")
        return
    if style.dxf.owner != out.rootdict.get("ACAD_TABLESTYLE").dxf.handle:
        problems.append(f"{where}: its copied style's owner #{style.dxf.owner} is no dictionary")
    if source is not None and style_groups(source) != style_groups(style):
        problems.append(f"{where}: its copied style's groups differ from A's")
    for code, name in style_groups(style):
        if code == 7 and name not in out.styles:
            problems.append(f"{where}: its copied style names text style {name!r}, not there")


def new_table(doc_b, original, edited, out, where, problems, scaled=False):
    """A pasted table draws with a new anonymous block *T<n> of its own (none of B's) holding
    what A's held; its table style (342) is the result's of the name A's has (B's own, else A's
    copied, checked by copied_style); each block cell's block (340) is a block of the result
    equal to A's. Those pointers are then taken as A's for the comparison of its other groups."""
    name = edited.xtags.get_subclass("AcDbBlockReference").get_first_value(2, "")
    if not name.upper().startswith("*T") or name in doc_b.blocks or out.blocks.get(name) is None:
        problems.append(f"{where}: draws with block {name!r}, not a new one")
    want_style, got_style = table_style_name(original), table_style_name(edited)
    if not want_style or want_style.upper() != got_style.upper():
        problems.append(f"{where}: its style is {got_style!r}, not {want_style!r}")
    if want_style and table_style_name(edited, doc_b) == "":
        copied_style(original, edited, out, where, problems)
    was = original.xtags.get_subclass("AcDbTable")
    now = edited.xtags.get_subclass("AcDbTable")
    for k, (tag, other) in enumerate(zip(was, now)):
        if tag.code == 340 and other.code == 340:
            a = original.doc.entitydb.get(tag.value)
            b = out.entitydb.get(other.value)
            if a is None or b is None or a.dxftype() != "BLOCK_RECORD" or \
                    b.dxftype() != "BLOCK_RECORD":
                problems.append(f"{where}: block cell {k} names #{other.value}, no block")
                continue
            same_block(original.doc, a.dxf.name, out, b.dxf.name, problems, where)
        # Checked above: the same style and blocks in the result. A scaled table's groups are
        # checked by their sizes, which its style (A's, by A's handle) gives.
        if tag.code in (340, 342) and other.code == tag.code and not scaled:
            was[k] = other


def check_pair(line: str) -> tuple:
    a_path, b_path, out_path, factor, bx, by, ax, ay, list_path = line.split("\t")
    factor, bx, by, ax, ay = (float(v) for v in (factor, bx, by, ax, ay))
    handles = Path(list_path).read_text().split()
    problems = []
    tag = f"{Path(a_path).name} -> {Path(b_path).name}"
    doc_a, doc_b, out = load(Path(a_path)), load(Path(b_path)), load(Path(out_path))
    for code, count in (audit_codes(load(Path(out_path))) - audit_codes(doc_a) -
                        audit_codes(doc_b)).items():
        problems.append(f"{tag}: {count} new audit errors {code}")
    entities = list(out.modelspace())
    pasted = entities[len(entities) - len(handles):] if handles else []
    if len(pasted) != len(handles):
        return [f"{tag}: {len(entities)} entities, {len(handles)} pasted"], 0
    m = Matrix44.chain(Matrix44.translate(-bx, -by, 0), Matrix44.scale(factor, factor, 1),
                       Matrix44.translate(ax, ay, 0))
    check_all_edits.placement = lambda operation: m
    check_all_edits.FACTOR = factor
    operation = "move" if factor == 1.0 else "scale"
    dimensions = tables = 0
    pairs = []
    for handle, edited in zip(handles, pasted):
        original = doc_a.entitydb.get(handle)
        where = f"{tag} {edited.dxftype()} #{handle}"
        if original is None:
            problems.append(f"{where}: not in A")
            continue
        pairs.append((original, edited))
        if original.dxftype() == "INSERT" and edited.dxftype() == "INSERT":
            pairs += list(zip(original.attribs, edited.attribs))
        if original.dxftype() == "INSERT" and edited.dxftype() == "INSERT":
            same_block(doc_a, original.dxf.name, out, edited.dxf.name, problems, where,
                       pairs=pairs)
            original.dxf.name = edited.dxf.name  # a renamed copy is the same block
        names_present(out, edited, where, problems)
        if original.dxftype() in check_all_edits.DIMENSIONS and \
                edited.dxftype() == original.dxftype():
            dimensions += 1
            new_dimension_block(doc_b, original, edited, out, where, problems)
        if original.dxftype() == "ACAD_TABLE" and edited.dxftype() == "ACAD_TABLE":
            tables += 1
            new_table(doc_b, original, edited, out, where, problems, factor != 1.0)
        try:
            compare_placed(where, original, edited, operation, problems, new_block=True)
        except Exception as error:  # noqa: BLE001 (any failure of ezdxf is a finding)
            problems.append(f"{where}: ezdxf could not compare: {error!r}")
    images = pasted_objects(tag, pairs, doc_a, doc_b, (b_path, out_path), out, problems)
    # Every image, wipeout and underlay of A's model space is pasted into a drawing that can
    # hold their objects (records of the same form, AC1015 on).
    if out.dxfversion >= "AC1015" and doc_a.dxfversion > "AC1009":
        pasted_kinds = Counter(o.dxftype() for o, e in pairs if o.dxftype() in IMAGES)
        wanted = Counter(e.dxftype() for e in doc_a.modelspace() if e.dxftype() in IMAGES)
        if images != sum(wanted.values()) or pasted_kinds != wanted:
            problems.append(f"{tag}: pasted {dict(pasted_kinds)}, not {dict(wanted)}")
    handles_checked = pasted_handles(lambda e: f"{tag} {e.dxftype()} #{e.dxf.handle}", pairs,
                                     doc_a, out, problems)
    if dimensions or tables or handles_checked or images:
        print(f"{tag}: {dimensions} dimensions, {tables} tables, {images} images and underlays "
              f"pasted, {handles_checked} handles in extended data checked")
    return problems, len(handles)


def main(argv) -> int:
    problems, compared = [], 0
    for line in Path(argv[1]).read_text().splitlines():
        found, count = check_pair(line)
        problems += found
        compared += count
    for problem in problems[:60]:
        print(problem)
    print(f"{compared} pasted records compared, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

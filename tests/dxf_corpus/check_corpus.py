#!/usr/bin/env python3
"""Opens a corpus drawing with the program, saves it, and compares the result with the original
through an independent reader (ezdxf): nothing of the original may be lost or changed.

Usage:
  check_corpus.py save NAME WORKDIR ROUNDTRIP_EXE    open -> save through the board's own API
  check_corpus.py draw NAME WORKDIR BATCH_EXE        open -> draw a wave -> save (pelimator-batch)

Compared, original against saved: $ACADVER and $DWGCODEPAGE (and that Japanese text keeps the
bytes of its code page), every header variable but those a save may change, the classes, every
table entry, every block with its entities (model and paper space included) entity for entity
and attribute for attribute (DXF attributes, extended data, extension dictionary, reactors,
vertices, attributes of inserts, text, all remaining tags), the objects section, handles
(unique, below $HANDSEED) and ezdxf's audit (no errors, no fixes the original did not need).
After drawing, the new line must be there: LINE and ARC entities on its layer in model space,
with handles from the old $HANDSEED on, and its layer in the LAYER table.

Exit codes: 0 equal, 1 differences (listed per file and per difference), 77 ezdxf missing.
"""
import math
import re
import subprocess
import sys
from collections import Counter
from pathlib import Path

try:
    import ezdxf
    from ezdxf.audit import AuditError
    from ezdxf.lldxf.tagger import binary_tags_loader
    from ezdxf.lldxf.tagwriter import TagCollector
    from ezdxf.lldxf.validator import is_binary_dxf_file
    from ezdxf.math import Vec2, Vec3
    from ezdxf.tools.codepage import tocodepage, toencoding
except ImportError:
    print("skipped: python3 with ezdxf (Debian python3-ezdxf) is not installed")
    sys.exit(77)

import make_corpus
from corpus_table import BY_NAME

# Header variables a save may change, with the reason.
MAY_CHANGE_ON_SAVE = {
    "$HANDSEED": "the next free handle; checked on its own against every handle",
    "$TDUPDATE": "local date and time of the last save",
    "$TDUUPDATE": "the same in UTC",
    "$TDINDWG": "total editing time",
    "$TDUSRTIMER": "the user's elapsed timer",
    "$VERSIONGUID": "a new one on every save",
}
# Header variables ezdxf sets itself while reading: compared as the files hold them.
SET_BY_EZDXF_ON_READ = {"$TDCREATE"}
# Further header variables drawing may change.
MAY_CHANGE_ON_DRAW = {
    "$EXTMIN": "the drawing's extents grow with the new line",
    "$EXTMAX": "the same",
    "$CLAYER": "the current layer may become the line's layer",
    "$DIMSCALE": "the scale given with --scale is the drawing's scale from then on",
}
# The custom property that holds the exact scale, added by a draw that gave --scale.
SCALE_PROPERTY = "PelimatorScale"
# The APPID that names the extended data of the line's new layer.
OUR_APPID = "PELIMATOR"
# The layer a wave is drawn on with default settings, and the kinds it is made of.
NEW_LINE_LAYER = "地況線"
NEW_LINE_KINDS = {"LINE", "ARC"}
# The path drawn: a straight one below the corpus' content, 10 m long at 1:100.
PATH_POINTS = "0 -3000\n10000 -3000\n"
MINIMUM_NEW_ARCS = 10
TABLES = ("layers", "linetypes", "styles", "dimstyles", "ucs", "views", "viewports", "appids",
          "block_records")
MAX_LINES_PER_SECTION = 30


class Report:
    """Differences grouped by what was compared."""

    def __init__(self):
        self.sections = {}

    def add(self, section: str, message: str) -> None:
        self.sections.setdefault(section, []).append(message)

    def count(self) -> int:
        return sum(len(lines) for lines in self.sections.values())

    def print(self, title: str) -> None:
        print(f"{title}: {self.count()} difference(s)")
        for section, lines in self.sections.items():
            print(f"  [{section}] {len(lines)}")
            for line in lines[:MAX_LINES_PER_SECTION]:
                print(f"    {line}")
            if len(lines) > MAX_LINES_PER_SECTION:
                print(f"    ... and {len(lines) - MAX_LINES_PER_SECTION} more")


# ---- reading ---------------------------------------------------------------------------------

class RawFile:
    """The file's tags as written, for what ezdxf hides: bytes, header presence, handles."""

    def __init__(self, path: Path):
        self.data = path.read_bytes()
        self.binary = is_binary_dxf_file(str(path))
        if self.binary:
            self.tags = [(tag.code, tag.value) for tag in binary_tags_loader(self.data)]
        else:
            # Bytes as latin-1 characters: any text, whatever its code page, survives.
            lines = self.data.decode("latin-1").split("\n")
            self.tags = [(int(lines[i]), lines[i + 1].strip())
                         for i in range(0, len(lines) - 1, 2)]

    def header(self) -> dict:
        """Header variable -> its value tags."""
        variables, name, in_header = {}, None, False
        for code, value in self.tags:
            if code == 2 and value == "HEADER":
                in_header = True
            elif code == 0 and value == "ENDSEC" and in_header:
                break
            elif in_header and code == 9:
                name = value
                variables[name] = []
            elif in_header and name is not None:
                variables[name].append(value)
        return variables

    def record_handles(self) -> list:
        """(record type, handle) of every record outside the header that has a handle."""
        handles, kind, has_handle, section = [], None, False, None
        for code, value in self.tags:
            if code == 0:
                kind, has_handle = value, False
                if kind == "SECTION":
                    section = None
            elif code == 2 and kind == "SECTION" and section is None:
                section = value
            elif code in (5, 105) and not has_handle and section != "HEADER":
                handles.append((kind, str(value)))
                has_handle = True
        return handles


def file_encoding(raw: RawFile, fallback: str) -> str:
    """The encoding the file's text is in: UTF-8 from AC1021, else its code page or fallback."""
    header = raw.header()
    version = str(header.get("$ACADVER", ["AC1009"])[0])
    if version >= "AC1021":
        return "utf-8"
    if "$DWGCODEPAGE" in header:
        return toencoding(str(header["$DWGCODEPAGE"][0]))
    return fallback


def read(path: Path, raw: RawFile, fallback: str):
    """The drawing as ezdxf reads it; a file without $DWGCODEPAGE is decoded as fallback."""
    if raw.binary or "$DWGCODEPAGE" in raw.header():
        return ezdxf.readfile(str(path))
    return ezdxf.readfile(str(path), encoding=fallback)


# ---- values ----------------------------------------------------------------------------------

def decode_dxf_unicode(text: str) -> str:
    """Text with its \\U+XXXX escapes decoded (ezdxf 0.18 takes upper-case digits only)."""
    return re.sub(r"\\U\+([0-9A-Fa-f]{4})", lambda m: chr(int(m.group(1), 16)), text)


def plain(value):
    """A value compared exactly: vectors as tuples, floats as they are."""
    if isinstance(value, (Vec3, Vec2)):
        return tuple(value)
    if isinstance(value, (list, tuple)):
        return tuple(plain(v) for v in value)
    if isinstance(value, float) and math.isnan(value):
        return "nan"
    return value


def tags_of(tags) -> list:
    return [(tag.code, plain(tag.value)) for tag in tags]


def exported_tags(entity, dxfversion: str) -> list:
    """Every tag ezdxf would write for the entity: the catch-all comparison."""
    collector = TagCollector(dxfversion=dxfversion)
    entity.export_dxf(collector)
    owner_made_up = dxfversion == "AC1009"
    return [tag for tag in tags_of(collector.tags) if not (owner_made_up and tag[0] == 330)]


def describe(entity) -> str:
    layer = entity.dxf.get("layer") if entity.dxf.hasattr("layer") else None
    name = entity.dxf.get("name") if entity.dxf.hasattr("name") else None
    label = f" {name!r}" if name else ""
    on = f" on {layer!r}" if layer is not None else ""
    return f"{entity.dxftype()}{label} #{entity.dxf.handle}{on}"


# ---- one comparison per kind of thing --------------------------------------------------------

def attribs_of(entity) -> dict:
    """DXF attributes; in R12 only those R12 holds (ezdxf makes up owners and links to
    made-up objects when reading)."""
    attribs = entity.dxfattribs()
    if entity.doc is not None and entity.doc.dxfversion == "AC1009":
        for key in list(attribs):
            definition = entity.DXFATTRIBS.get(key)
            if key == "owner" or (definition.dxfversion or "AC1009") > "AC1009":
                del attribs[key]
    return attribs


def compare_attribs(where, a, b, report, section):
    """DXF attributes, exactly."""
    attribs_a, attribs_b = attribs_of(a), attribs_of(b)
    for key in sorted(set(attribs_a) | set(attribs_b)):
        va, vb = plain(attribs_a.get(key)), plain(attribs_b.get(key))
        if key not in attribs_b:
            report.add(section, f"{where}: attribute {key} = {va!r} lost")
        elif key not in attribs_a:
            report.add(section, f"{where}: attribute {key} = {vb!r} added")
        elif va != vb:
            report.add(section, f"{where}: attribute {key} {va!r} -> {vb!r}")


def compare_xdata(where, a, b, report, section):
    data_a = {app: tags_of(tags) for app, tags in (a.xdata.data.items() if a.xdata else [])}
    data_b = {app: tags_of(tags) for app, tags in (b.xdata.data.items() if b.xdata else [])}
    for app in sorted(set(data_a) | set(data_b)):
        if data_a.get(app) != data_b.get(app):
            report.add(section, f"{where}: extended data of {app}: {data_a.get(app)} -> "
                                f"{data_b.get(app)}")


def compare_extension_dict(where, a, b, report, section):
    def handle(entity):
        if not entity.has_extension_dict:
            return None
        return entity.get_extension_dict().dictionary.dxf.handle
    if handle(a) != handle(b):
        report.add(section, f"{where}: extension dictionary {handle(a)} -> {handle(b)}")
    reactors_a = a.reactors.get() if a.reactors else []
    reactors_b = b.reactors.get() if b.reactors else []
    if list(reactors_a) != list(reactors_b):
        report.add(section, f"{where}: reactors {reactors_a} -> {reactors_b}")


def first_difference(a, b) -> str:
    """Where two values differ: for lists, the first differing item and the lengths."""
    if isinstance(a, (list, tuple)) and isinstance(b, (list, tuple)):
        for index, (item_a, item_b) in enumerate(zip(a, b)):
            if item_a != item_b:
                return f"item {index}: {item_a!r} -> {item_b!r} (of {len(a)} -> {len(b)})"
        return f"{len(a)} items -> {len(b)}"
    return f"{a!r} -> {b!r}"


def lwpolyline_content(entity):
    return {"vertices (x, y, start width, end width, bulge)":
            [tuple(p) for p in entity.get_points("xyseb")]}


def polyline_content(entity):
    return {"vertices": [plain(attribs_of(v)) for v in entity.vertices]}


def insert_content(entity):
    return {"attributes": [plain(attribs_of(attrib)) for attrib in entity.attribs]}


def mtext_content(entity):
    return {"text": entity.text}


def spline_content(entity):
    return {"control points": plain(list(entity.control_points)),
            "fit points": plain(list(entity.fit_points)),
            "knots": plain(list(entity.knots)), "weights": plain(list(entity.weights))}


def hatch_content(entity):
    paths = []
    for path in entity.paths:
        collector = TagCollector()
        path.export_dxf(collector, "HATCH")
        paths.append(tags_of(collector.tags))
    pattern = entity.pattern.lines if entity.pattern else []
    return {"boundary paths": paths,
            "pattern lines": [(plain(l.angle), plain(l.base_point), plain(l.offset),
                               plain(l.dash_length_items)) for l in pattern],
            "seed points": plain(list(entity.seeds))}


# What each kind holds beyond its DXF attributes, as a name -> value dictionary.
CONTENT_OF = {
    "LWPOLYLINE": lwpolyline_content,
    "POLYLINE": polyline_content,
    "INSERT": insert_content,
    "MTEXT": mtext_content,
    "SPLINE": spline_content,
    "HATCH": hatch_content,
}


def compare_content(where, a, b, report, section):
    content = CONTENT_OF.get(a.dxftype())
    if content is None or a.dxftype() != b.dxftype():
        return
    content_a, content_b = content(a), content(b)
    for key in content_a:
        if content_a[key] != content_b[key]:
            difference = first_difference(content_a[key], content_b[key])
            report.add(section, f"{where}: {key}: {difference}")


def compare_remaining_tags(where, a, b, version_a, version_b, report, section):
    """Every tag ezdxf would write; reported only when nothing above named the difference."""
    tags_a, tags_b = exported_tags(a, version_a), exported_tags(b, version_b)
    if tags_a == tags_b:
        return
    for index, (ta, tb) in enumerate(zip(tags_a, tags_b)):
        if ta != tb:
            report.add(section, f"{where}: tag {index}: {ta} -> {tb}")
            return
    report.add(section, f"{where}: {len(tags_a)} tags -> {len(tags_b)}")


def compare_object(where, a, b, versions, report, section):
    """One entity, table entry or object, in every respect."""
    if a.dxftype() != b.dxftype():
        report.add(section, f"{where}: became {b.dxftype()}")
        return
    before = report.count()
    compare_attribs(where, a, b, report, section)
    compare_xdata(where, a, b, report, section)
    compare_extension_dict(where, a, b, report, section)
    compare_content(where, a, b, report, section)
    if report.count() == before:
        compare_remaining_tags(where, a, b, *versions, report, section)


def compare_sequences(where, items_a, items_b, key, versions, report, section, allowed_new=()):
    """Items of a table or block matched by key: none lost, none added but allowed_new, same
    order, each equal."""
    by_key_b = {key(item): item for item in items_b}
    keys_a = [key(item) for item in items_a]
    for item in items_a:
        other = by_key_b.get(key(item))
        if other is None:
            report.add(section, f"{where}: {describe(item)} lost")
        else:
            compare_object(f"{where}: {describe(item)}", item, other, versions, report, section)
    known = set(keys_a)
    for item in items_b:
        if key(item) not in known and key(item) not in allowed_new:
            report.add(section, f"{where}: {describe(item)} added")
    kept_order = [key(item) for item in items_b if key(item) in known]
    if kept_order != [k for k in keys_a if k in by_key_b]:
        report.add(section, f"{where}: order changed")


def compare_version(original, saved, report):
    if original.dxfversion != saved.dxfversion:
        report.add("version", f"$ACADVER {original.dxfversion} -> {saved.dxfversion}")


def compare_code_page(original, saved, raw_original, raw_saved, encoding, report):
    """$DWGCODEPAGE kept (a file without it may gain the page its bytes are in), and Japanese
    names and text written in the original's bytes."""
    page_a = raw_original.header().get("$DWGCODEPAGE")
    page_b = raw_saved.header().get("$DWGCODEPAGE")
    if page_a is None and page_b is not None:
        if original.dxfversion < "AC1021" and page_b != [tocodepage(encoding)]:
            report.add("code page", f"$DWGCODEPAGE absent -> {page_b} (the text is {encoding})")
    elif page_a != page_b:
        report.add("code page", f"$DWGCODEPAGE {page_a} -> {page_b}")
    probes = {layer.dxf.name for layer in original.layers}
    probes |= {e.dxf.text for e in original.entitydb.values() if e.dxftype() == "TEXT"}
    for text in sorted(probes):
        if text.isascii() and "\\U+" not in text:
            continue
        expected = text.encode(encoding, errors="strict")
        if expected not in raw_saved.data:
            report.add("code page", f"{text!r} is not in the saved file as {encoding} bytes")


def written(values):
    """A header variable's value tags as the file holds them, numbers as numbers."""
    def number(value):
        try:
            return float(value)
        except (TypeError, ValueError):
            return value
    return None if values is None else tuple(number(value) for value in values)


def compare_header(original, saved, raw_original, raw_saved, mode, report):
    """The variables the files hold (not those ezdxf makes up for an R12 file), as ezdxf reads
    them."""
    may_change = set(MAY_CHANGE_ON_SAVE) | {"$DWGCODEPAGE", "$ACADVER"}
    if mode == "draw":
        may_change |= set(MAY_CHANGE_ON_DRAW)
    in_original, in_saved = raw_original.header(), raw_saved.header()
    for name in sorted(set(in_original) | set(in_saved)):
        if name in may_change or name.startswith("$CUSTOMPROPERTY"):
            continue  # custom properties are compared below, as pairs
        if name in SET_BY_EZDXF_ON_READ:
            value_a, value_b = written(in_original.get(name)), written(in_saved.get(name))
        else:
            value_a, value_b = plain(original.header.get(name)), plain(saved.header.get(name))
        if name not in in_saved:
            report.add("header", f"{name} = {value_a!r} lost")
        elif name not in in_original:
            report.add("header", f"{name} = {value_b!r} added")
        elif value_a != value_b:
            report.add("header", f"{name} {value_a!r} -> {value_b!r}")
    custom_a, custom_b = list(original.header.custom_vars), list(saved.header.custom_vars)
    if mode == "draw":
        custom_b = [pair for pair in custom_b if pair[0] != SCALE_PROPERTY]
    if custom_a != custom_b:
        report.add("header", f"custom properties {custom_a} -> {custom_b}")


def compare_classes(original, saved, report):
    classes_a, classes_b = original.classes.classes, saved.classes.classes
    for key, cls in classes_a.items():
        where = f"class {key[0]}"
        if key not in classes_b:
            report.add("classes", f"{where} lost")
        else:
            compare_attribs(where, cls, classes_b[key], report, "classes")
    for key in classes_b:
        if key not in classes_a:
            report.add("classes", f"class {key[0]} added")
    if [key for key in classes_a if key in classes_b] != [k for k in classes_b if k in classes_a]:
        report.add("classes", "order changed")


def table_key(entry) -> str:
    """Table entries are matched by name, without case, escapes decoded."""
    return decode_dxf_unicode(entry.dxf.name).upper()


def compare_tables(original, saved, versions, new_layer, report):
    for table in TABLES:
        if table == "block_records" and "AC1009" in versions:
            continue  # R12 has none; ezdxf makes them up when reading
        entries_a = list(getattr(original, table))
        entries_b = list(getattr(saved, table))
        allowed = {new_layer.upper()} if table == "layers" and new_layer else set()
        if table == "appids" and new_layer:
            allowed = {OUR_APPID}
        compare_sequences(f"{table} table", entries_a, entries_b, table_key, versions, report,
                          "tables", allowed)


def compare_blocks(original, saved, versions, new_handles, report):
    """Every block, model and paper space included, with its entities."""
    saved_blocks = {block.name.upper(): block for block in saved.blocks}
    for block in original.blocks:
        other = saved_blocks.get(block.name.upper())
        where = f"block {block.name!r}"
        if other is None:
            report.add("blocks", f"{where} lost with its {len(block)} entities")
            continue
        compare_object(f"{where} BLOCK", block.block, other.block, versions, report, "blocks")
        compare_sequences(where, list(block), list(other), lambda e: e.dxf.handle, versions,
                          report, "entities", new_handles)
    names_a = {block.name.upper() for block in original.blocks}
    for name, block in saved_blocks.items():
        if name not in names_a:
            report.add("blocks", f"block {block.name!r} added")
    layouts_a, layouts_b = list(original.layouts.names()), list(saved.layouts.names())
    if layouts_a != layouts_b:
        report.add("blocks", f"layouts {layouts_a} -> {layouts_b}")


def compare_objects(original, saved, versions, report):
    if "AC1009" in versions:
        return  # R12 has no objects; ezdxf makes them up when reading
    types_a = Counter(o.dxftype() for o in original.objects)
    types_b = Counter(o.dxftype() for o in saved.objects)
    if types_a != types_b:
        report.add("objects", f"kinds and counts {dict(types_a)} -> {dict(types_b)}")
    compare_sequences("objects section", list(original.objects), list(saved.objects),
                      lambda o: o.dxf.handle, versions, report, "objects")


def check_handles(raw_saved, report):
    handles = raw_saved.record_handles()
    counts = Counter(handle.upper() for _, handle in handles)
    for handle, count in counts.items():
        if count > 1:
            kinds = [kind for kind, h in handles if h.upper() == handle]
            report.add("handles", f"handle {handle} used {count} times ({', '.join(kinds)})")
    seed = raw_saved.header().get("$HANDSEED")
    if not seed:
        report.add("handles", "$HANDSEED missing")
        return
    for kind, handle in handles:
        if int(handle, 16) >= int(str(seed[0]), 16):
            report.add("handles", f"{kind} #{handle} not below $HANDSEED {seed[0]}")


def check_new_line(original, saved, raw_original, raw_saved, report) -> set:
    """The drawn line: LINE and ARC entities on its layer in model space, with handles from the
    old $HANDSEED on, and its layer in the LAYER table; no other record new (a record is new when
    the original file lacks its handle: ezdxf makes up objects and owners of R12 files while
    reading). Returns the line's handles."""
    old_handles = {handle.upper() for _, handle in raw_original.record_handles()}
    old_seed = int(str(raw_original.header()["$HANDSEED"][0]), 16)
    msp = saved.modelspace()
    line = [e for e in msp if decode_dxf_unicode(e.dxf.layer) == NEW_LINE_LAYER]
    arcs = sum(1 for e in line if e.dxftype() == "ARC")
    if arcs < MINIMUM_NEW_ARCS:
        report.add("new line", f"{arcs} arcs on {NEW_LINE_LAYER!r} in model space, expected "
                               f"{MINIMUM_NEW_ARCS} or more")
    for entity in line:
        where = describe(entity)
        if entity.dxftype() not in NEW_LINE_KINDS:
            report.add("new line", f"{where}: only {', '.join(sorted(NEW_LINE_KINDS))} expected")
        if int(entity.dxf.handle, 16) < old_seed:
            report.add("new line", f"{where}: handle below the old $HANDSEED {old_seed:X}")
        if saved.dxfversion > "AC1009" and entity.dxf.owner != msp.block_record_handle:
            report.add("new line", f"{where}: owner {entity.dxf.owner}, not model space "
                                   f"{msp.block_record_handle}")

    layers = [e for e in saved.layers if decode_dxf_unicode(e.dxf.name) == NEW_LINE_LAYER]
    layer = layers[0] if layers else None
    if layer is None:
        report.add("new line", f"layer {NEW_LINE_LAYER!r} not in the LAYER table")
    else:
        if int(layer.dxf.handle, 16) < old_seed:
            report.add("new line", f"layer {NEW_LINE_LAYER!r}: handle {layer.dxf.handle} below "
                                   f"the old $HANDSEED {old_seed:X}")
        if saved.dxfversion > "AC1009" and layer.dxf.owner != saved.layers.head.dxf.handle:
            report.add("new line", f"layer {NEW_LINE_LAYER!r} owned by {layer.dxf.owner}, not "
                                   f"by the LAYER table {saved.layers.head.dxf.handle}")

    expected = {e.dxf.handle.upper() for e in line}
    if layer is not None:
        expected.add(layer.dxf.handle.upper())
    expected |= {a.dxf.handle.upper() for a in saved.appids if a.dxf.name.upper() == OUR_APPID}
    for kind, handle in raw_saved.record_handles():
        if handle.upper() not in old_handles and handle.upper() not in expected:
            report.add("new line", f"{kind} #{handle}: new, but not part of the line")
    return {e.dxf.handle for e in line}


def fix_kind(fix) -> str:
    """A fix's message without the handles that ezdxf hands out while reading."""
    return re.sub(r"#[0-9A-F]+", "#…", fix.message)


def check_audit(original, saved, report):
    fixes_a = Counter(fix_kind(fix) for fix in original.audit().fixes)
    auditor = saved.audit()
    for error in auditor.errors:
        if error.code == AuditError.INVALID_LAYER_NAME and "\\U+" in error.message:
            continue  # a name the code page cannot hold, escaped as it must be; ezdxf 0.18
            # does not decode such names
        report.add("audit", f"error {error.code}: {error.message}")
    for message, count in (Counter(fix_kind(fix) for fix in auditor.fixes) - fixes_a).items():
        report.add("audit", f"fix needed ({count}x): {message}")


# ---- one case ---------------------------------------------------------------------------------

def compare(drawing, original_path: Path, saved_path: Path, mode: str) -> Report:
    report = Report()
    fallback = drawing.read_encoding or "cp1252"
    raw_original, raw_saved = RawFile(original_path), RawFile(saved_path)
    original = read(original_path, raw_original, fallback)
    saved = read(saved_path, raw_saved, fallback)
    versions = (original.dxfversion, saved.dxfversion)
    encoding = file_encoding(raw_original, fallback)

    compare_version(original, saved, report)
    compare_code_page(original, saved, raw_original, raw_saved, encoding, report)
    compare_header(original, saved, raw_original, raw_saved, mode, report)
    compare_classes(original, saved, report)
    new_handles = set()
    if mode == "draw":
        new_handles = check_new_line(original, saved, raw_original, raw_saved, report)
    compare_tables(original, saved, versions, NEW_LINE_LAYER if mode == "draw" else None, report)
    compare_blocks(original, saved, versions, new_handles, report)
    compare_objects(original, saved, versions, report)
    check_handles(raw_saved, report)
    check_audit(original, saved, report)
    if raw_original.binary != raw_saved.binary:
        print(f"note: saved as {'binary' if raw_saved.binary else 'ASCII'} DXF")
    return report


def run_program(mode: str, exe: str, original: Path, saved: Path, work: Path):
    if mode == "save":
        command = [exe, str(original), str(saved)]
    else:
        points, settings = work / "path.txt", work / "settings.ini"
        points.write_text(PATH_POINTS)
        settings.write_text("")  # default widths, radii and layer
        command = [exe, "--points", str(points), "--line", "wave", "--scale", "100",
                   "--settings", str(settings), str(original), "-o", str(saved)]
    return subprocess.run(command, capture_output=True, text=True, timeout=120), command


def main(argv) -> int:
    if len(argv) != 5 or argv[1] not in ("save", "draw") or argv[2] not in BY_NAME:
        print(__doc__)
        return 2
    mode, name, work, exe = argv[1], argv[2], Path(argv[3]), argv[4]
    drawing = BY_NAME[name]
    work = work / f"{mode}_{name}"
    work.mkdir(parents=True, exist_ok=True)
    original, saved = work / f"{name}.dxf", work / f"{name}_{mode}.dxf"
    saved.unlink(missing_ok=True)
    make_corpus.write(drawing, original)
    result, command = run_program(mode, exe, original, saved, work)
    if result.returncode != 0 or not saved.exists():
        print(f"{original}: {' '.join(command)} ended with {result.returncode}")
        print(result.stdout + result.stderr)
        return 1
    report = compare(drawing, original, saved, mode)
    title = f"{original} ({mode}) against {saved}"
    if report.count():
        report.print(title)
        return 1
    print(f"{title}: equal")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

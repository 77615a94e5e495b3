#!/usr/bin/env python3
"""Hostile and broken drawings through pelimator-batch, one named row each.

Every row makes its input with ezdxf (then breaks it at the tag level), runs the batch, and
checks what a user gets: a refusal naming the line, a repair that the run reports and whose
output ezdxf reads, or an output target refused before any path is drawn. Work bombs must end
within a few seconds.

Usage: hostile_table.py WORKDIR BATCH [ROW ...]   (exit 77 when ezdxf is missing)
"""
import io
import os
import shutil
import subprocess
import sys
import time
from pathlib import Path

try:
    import ezdxf
    from ezdxf.lldxf.tagwriter import BinaryTagWriter
except ImportError:
    print("ezdxf is missing: skipped")
    sys.exit(77)

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "bench"))
import make_bombs  # noqa: E402  (the work bombs of the benchmarks)

# A work bomb may take this long in a debug build on a busy machine; it took minutes before.
BOMB_SECONDS = 20.0


def tags_of(path):
    lines = Path(path).read_text(encoding="latin-1").split("\n")
    return [(lines[i].strip(), lines[i + 1].rstrip("\r")) for i in range(0, len(lines) - 1, 2)]


def write_tags(path, tags):
    Path(path).write_text("".join(f"{c:>3}\n{v}\n" for c, v in tags), encoding="latin-1")


def write_binary(path, tags, version):
    """The tags as binary DXF, every one of them (a stray EOF included)."""
    stream = io.BytesIO()
    writer = BinaryTagWriter(stream, dxfversion=version, encoding="cp1252")
    writer.write_signature()
    for code, value in tags:
        code = int(code)
        writer.write_tag2(code, bytes.fromhex(value) if 310 <= code <= 319 else value)
    Path(path).write_bytes(stream.getvalue())


def find(tags, code, value, start=0):
    return next(i for i in range(start, len(tags)) if tags[i] == (code, value))


def record_end(tags, i):
    """The index of the next record's 0 tag after the record starting at i."""
    i += 1
    while tags[i][0] != "0":
        i += 1
    return i


def base_drawing(work, version):
    """A drawing with lines, a 2-D polyline last in ENTITIES and a block with attributes."""
    doc = ezdxf.new(version)
    msp = doc.modelspace()
    for i in range(32):
        msp.add_line((i, 0), (i, 10))
    block = doc.blocks.new("DOOR")
    block.add_line((0, 0), (1, 0))
    block.add_attdef("NO", (0, 0))
    msp.add_blockref("DOOR", (50, 50)).add_attrib("NO", "1", (50, 50))
    msp.add_polyline2d([(0, 0), (10, 10), (20, 0)])
    path = work / f"base_{version}.dxf"
    doc.saveas(path)
    return tags_of(path)


def stray_eof_in_tables(tags):
    endtab = find(tags, "0", "ENDTAB")
    return tags[:endtab + 1] + [("0", "EOF")] + tags[endtab + 1:]


def polyline_without_seqend_at_end(tags):
    seqend = max(i for i, t in enumerate(tags) if t == ("0", "SEQEND"))
    return tags[:seqend] + tags[record_end(tags, seqend):]


def polyline_without_seqend_before_line(tags):
    tags = polyline_without_seqend_at_end(tags)
    endsec = find(tags, "0", "ENDSEC", find(tags, "2", "ENTITIES"))
    return tags[:endsec] + [("0", "LINE"), ("8", "0"), ("10", "0"), ("20", "0"), ("30", "0"),
                            ("11", "1"), ("21", "1"), ("31", "0")] + tags[endsec:]


def tables_without_endsec(tags):
    return tags[:find(tags, "0", "ENDSEC", find(tags, "2", "TABLES"))] + \
        tags[find(tags, "0", "ENDSEC", find(tags, "2", "TABLES")) + 1:]


def entities_without_endsec_at_eof(tags):
    # R12: ENTITIES is the last section, so its ENDSEC is the one before EOF.
    endsec = max(i for i, t in enumerate(tags) if t == ("0", "ENDSEC"))
    return tags[:endsec] + tags[endsec + 1:]


def plot_style_dictionary_damaged(tags):
    """ACAD_PLOTSTYLENAME names a dictionary without "Normal": ezdxf cannot give a layer
    without a plot style one, so every layer must carry its own (group 390)."""
    entry = find(tags, "3", "ACAD_PLOTSTYLENAME")
    group = find(tags, "3", "ACAD_GROUP")
    tags = list(tags)
    tags[entry + 1] = ("350", tags[group + 1][1])
    return tags


def run_batch(batch, work, args, timeout):
    started = time.monotonic()
    try:
        done = subprocess.run([batch, "--settings", str(work / "default.ini"), *args],
                              capture_output=True, timeout=timeout, cwd=work)
    except subprocess.TimeoutExpired:
        return None, "", time.monotonic() - started
    return done.returncode, done.stderr.decode("utf-8", "replace"), time.monotonic() - started


def check_readable(path, at_least):
    doc = ezdxf.readfile(path)
    count = len(doc.modelspace())
    if count < at_least:
        raise AssertionError(f"ezdxf reads {count} entities, expected at least {at_least}")


class Row:
    def __init__(self, name, make, expect, note=""):
        self.name, self.make, self.expect, self.note = name, make, expect, note


def structure_rows():
    rows = []
    for version in ("R12", "R2000"):
        rows += [
            Row(f"stray_eof_in_tables_{version}", (version, stray_eof_in_tables, "ascii"),
                "refused", "EOF"),
            Row(f"polyline_without_seqend_at_end_{version}",
                (version, polyline_without_seqend_at_end, "ascii"), "repaired", "SEQEND"),
            Row(f"polyline_without_seqend_before_line_{version}",
                (version, polyline_without_seqend_before_line, "ascii"), "refused", "SEQEND"),
            Row(f"tables_without_endsec_{version}", (version, tables_without_endsec, "ascii"),
                "repaired", "ENDSEC"),
        ]
    rows += [
        Row("stray_eof_in_tables_binary", ("R2000", stray_eof_in_tables, "binary"), "refused",
            "EOF"),
        Row("polyline_without_seqend_at_end_binary",
            ("R2000", polyline_without_seqend_at_end, "binary"), "repaired", "SEQEND"),
        Row("entities_without_endsec_at_eof_R12", ("R12", entities_without_endsec_at_eof,
                                                   "ascii"), "repaired", "ENDSEC"),
        Row("plot_style_dictionary_damaged_R2000", ("R2000", plot_style_dictionary_damaged,
                                                    "ascii"), "saved"),
    ]
    return rows


def run_structure_row(row, work, batch, points):
    version, breaker, form = row.make
    tags = breaker(base_drawing(work, version))
    source = work / f"{row.name}.dxf"
    if form == "binary":
        write_binary(source, tags, "AC1015")
    else:
        write_tags(source, tags)
    output = work / f"{row.name}-out.dxf"
    output.unlink(missing_ok=True)
    code, err, _ = run_batch(batch, work, ["--points", str(points), "-o", str(output),
                                           str(source)], 60)
    if row.expect == "refused":
        # ezdxf refuses these too (even its recovery, or it cuts what follows).
        assert code == 1, f"exit {code}, expected a refusal:\n{err}"
        assert "行目" in err or "バイト位置" in err, f"the refusal names no line:\n{err}"
        assert row.note in err, f"the refusal does not name {row.note}:\n{err}"
        assert not output.exists(), "a refused input left an output"
        return
    assert code == 0, f"exit {code}:\n{err}"
    if row.expect == "repaired":
        assert "構造を補いました" in err and row.note in err, f"the repair is not said:\n{err}"
    check_readable(output, 35)


def target_rows(work):
    """Output targets that cannot be written: refused before any path is drawn."""
    long_input = work / ("図" * 82 + ".dxf")  # 250 bytes; the default output name is longer
    loop_a, loop_b = work / "loop_a.dxf", work / "loop_b.dxf"
    fifo = work / "pipe.dxf"
    folder = work / "folder.dxf"

    def prepare():
        for link in (loop_a, loop_b):
            link.unlink(missing_ok=True)
        os.symlink(loop_b.name, loop_a)
        os.symlink(loop_a.name, loop_b)
        if not fifo.exists():
            os.mkfifo(fifo)
        folder.mkdir(exist_ok=True)
        shutil.copy(work / "plain.dxf", long_input)

    return prepare, [
        ("target_folder", ["-o", str(folder)], "フォルダ"),
        ("target_fifo", ["-o", str(fifo)], "通常のファイルではない"),
        ("target_device", ["-o", "/dev/null"], "通常のファイルではない"),
        ("target_link_loop", ["-o", str(loop_a)], "シンボリックリンク"),
        ("target_name_too_long", [], "長すぎ", long_input),
    ]


def set_handseed(tags, value):
    at = find(tags, "9", "$HANDSEED")
    return tags[:at + 1] + [("5", value)] + tags[at + 2:]


def top_handle_on_a_line(tags):
    """The seed at the top and a line holding the highest handle there is."""
    tags = set_handseed(tags, "FFFFFFFFFFFFFFFF")
    line = find(tags, "0", "LINE", find(tags, "2", "ENTITIES"))
    return tags[:line + 1] + [("5", "FFFFFFFFFFFFFFFF")] + tags[line + 2:]


def layer_count(value):
    """The LAYER table's count (its first group 70) set to value."""
    def change(tags):
        table = find(tags, "2", "LAYER")
        count = next(i for i in range(table, len(tags)) if tags[i][0] == "70")
        return tags[:count] + [("70", value)] + tags[count + 1:]
    return change


def handles_of(path):
    """Every handle the file's records carry (code 5, and 105 of DIMSTYLE), as integers; the
    header's $HANDSEED is no record's."""
    doc_tags = tags_of(path)
    handles = []
    for i, (code, value) in enumerate(doc_tags):
        if code in ("5", "105") and doc_tags[i - 1] != ("9", "$HANDSEED"):
            handles.append(int(value, 16))
    return handles


def handle_and_count_rows():
    """New handles never meet the file's, whatever $HANDSEED says; table counts at the limit of
    their group code stay there (ezdxf and our own reader read the output)."""
    return [
        ("handseed_at_maximum", lambda t: set_handseed(t, "FFFFFFFFFFFFFFFF"), "ascii"),
        ("handseed_below_the_handles", lambda t: set_handseed(t, "1"), "ascii"),
        ("highest_handle_in_the_file", top_handle_on_a_line, "ascii"),
        ("layer_count_at_int32_limit", layer_count("2147483647"), "ascii"),
        ("layer_count_at_int16_limit_binary", layer_count("32767"), "binary"),
    ]


def layer_table_count(path, form):
    """The LAYER table's count as written."""
    if form == "binary":
        from ezdxf.lldxf.tagger import binary_tags_loader
        tags = [(str(t.code), t.value) for t in binary_tags_loader(Path(path).read_bytes())]
    else:
        tags = tags_of(path)
    table = find(tags, "2", "LAYER")
    return int(next(value for code, value in tags[table:] if code == "70"))


def run_handle_row(name, breaker, form, work, batch, points):
    tags = breaker(base_drawing(work, "R2000"))
    source = work / f"{name}.dxf"
    if form == "binary":
        write_binary(source, tags, "AC1015")
    else:
        write_tags(source, tags)
    output = work / f"{name}-out.dxf"
    again = work / f"{name}-again.dxf"
    for path in (output, again):
        path.unlink(missing_ok=True)
    # The line goes onto a layer the drawing lacks: the save adds and counts a layer record.
    code, err, _ = run_batch(batch, work, ["--points", str(points), "-o", str(output),
                                           str(source)], 60)
    assert code == 0, f"exit {code}:\n{err}"
    doc = ezdxf.readfile(output)
    assert len(doc.modelspace().query("ARC")) > 0, "ezdxf reads no wave"
    count = layer_table_count(output, form)
    limit = 32767 if form == "binary" else 2147483647
    assert len(doc.layers) <= count <= limit, f"the LAYER table counts {count}"
    if form == "ascii":
        handles = handles_of(output)
        assert 0 not in handles, "a handle 0 was given"
        duplicates = sorted({h for h in handles if handles.count(h) > 1})
        assert not duplicates, f"handles given twice: {[format(h, 'X') for h in duplicates]}"
    # Our own reader takes what it wrote.
    code, err, _ = run_batch(batch, work, ["--points", str(points), "-o", str(again),
                                           str(output)], 60)
    assert code == 0, f"our reader refuses our output: exit {code}:\n{err}"


def main():
    work, batch = Path(sys.argv[1]).resolve() / "hostile", str(Path(sys.argv[2]).resolve())
    wanted = set(sys.argv[3:])
    work.mkdir(parents=True, exist_ok=True)
    points = work / "p.txt"
    points.write_text("0 -40\n100 -40\n150 -60\n")
    (work / "default.ini").write_text("")  # the defaults
    ezdxf.new("R2000").saveas(work / "plain.dxf")
    failures = []

    def attempt(name, check):
        if wanted and name not in wanted:
            return
        try:
            check()
            print(f"PASS {name}")
        except Exception as error:  # a row's failure is reported with its name, then the next
            failures.append(name)
            print(f"FAIL {name}: {error}")

    for row in structure_rows():
        attempt(row.name, lambda row=row: run_structure_row(row, work, batch, points))

    prepare, rows = target_rows(work)
    prepare()
    for name, args, needle, *source in rows:
        def check(args=args, needle=needle, source=source):
            inputs = [str(source[0])] if source else [str(work / "plain.dxf")]
            code, err, _ = run_batch(batch, work, ["--points", str(points), *args, *inputs], 30)
            assert code == 1, f"exit {code}:\n{err}"
            assert needle in err, f"no '{needle}' in:\n{err}"
            assert "保存中" not in err and "経路 1/" not in err, f"refused only after the work:\n{err}"
            for link in (work / "loop_a.dxf", work / "loop_b.dxf"):
                assert link.is_symlink(), f"{link.name} of the loop was replaced"
        attempt(name, check)

    for name, breaker, form in handle_and_count_rows():
        attempt(name, lambda name=name, breaker=breaker, form=form:
                run_handle_row(name, breaker, form, work, batch, points))

    for kind in ("hatch", "mtext"):
        def bomb(kind=kind):
            source = work / f"bomb_{kind}.dxf"
            sys.argv = ["make_bombs.py", kind, str(source)]
            make_bombs.main()
            output = work / f"bomb_{kind}-out.dxf"
            points.write_text("0 -2000\n4000 -2000\n")
            code, err, seconds = run_batch(batch, work, ["--points", str(points), "-o",
                                                         str(output), str(source)], BOMB_SECONDS)
            points.write_text("0 -40\n100 -40\n150 -60\n")
            assert code is not None, f"still running after {BOMB_SECONDS} s"
            assert code == 0, f"exit {code}:\n{err}"
            check_readable(output, 2)
        attempt(f"bomb_{kind}", bomb)

    print(f"{len(failures)} failed" + (": " + ", ".join(failures) if failures else ""))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

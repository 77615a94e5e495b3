#!/usr/bin/env python3
"""Success is never reported over a broken file: pelimator-batch under faults, one named row each,
and a replay of mutated Jw_cad drawings.

Rows (a real second process does the damage while the batch copies a large input):
  *_rewritten_during_the_copy  another program overwrites 8 MB of the input in place
  *_cut_short_during_the_copy  another program truncates the input
  *_past_the_file_size_limit   the output outgrows ulimit -f (what a full disk does to a write)
Each must end with exit 1, a message giving the true reason, the old output untouched and no
temporary file left; or (had the damage come too late to matter) exit 0 and an output equal to
a clean run's.

Mutants: JWW drawings laid out by jww_gen.py, mutated at the byte level with a fixed seed (bytes
flipped, counts and sizes set to extremes, cut, slices doubled) and drawn on by the batch into JWW
and into DXF. A refusal must give a reason, no run may crash or hang, and every output of a
success must be read again by our reader, and a DXF one by ezdxf too.

Usage: save_oracle.py WORKDIR BATCH [ROW ...]   (exit 77 when ezdxf is missing)
"""
import logging
import os
import random
import resource
import shutil
import signal
import struct
import subprocess
import sys
import time
from pathlib import Path

try:
    import ezdxf
except ImportError:
    print("ezdxf is missing: skipped")
    sys.exit(77)

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "board" / "jww"))
import jww_gen  # noqa: E402

BIG_MB = 64
SEED = 3607
MUTANTS = 120
SECONDS = 10.0


def big_dxf(path):
    line = ("0\nLINE\n8\n0\n10\n12.5\n20\n7.25\n30\n0.0\n11\n212.5\n21\n107.25\n31\n0.0\n"
            .encode())
    with open(path, "wb") as out:
        out.write(b"0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1021\n0\nENDSEC\n"
                  b"0\nSECTION\n2\nENTITIES\n")
        block = line * 4096
        for _ in range((BIG_MB << 20) // len(block)):
            out.write(block)
        out.write(b"0\nENDSEC\n0\nEOF\n")


def common(layer=0, group=0, colour=2):
    return {"m_lGroup": 0, "m_nPenStyle": 1, "m_nPenColor": colour, "m_nPenWidth": 0,
            "m_nLayer": layer, "m_nGLayer": group, "m_sFlg": 0}


def jww_drawing(version, tail=None):
    """Lines, an arc, a point, a text and an insert of a block."""
    ents = [dict(common(), **{"class": "CDataSen"}, x1=0.0, y1=0.0, x2=100.0, y2=0.0),
            dict(common(layer=1), **{"class": "CDataSen"}, x1=0.0, y1=0.0, x2=0.0, y2=80.0),
            dict(common(), **{"class": "CDataEnko"}, cx=50.0, cy=50.0, radius=20.0, start=0.0,
                 sweep=1.5, tilt=0.0, flat=1.0, full=0),
            dict(common(), **{"class": "CDataTen"}, x=5.0, y=5.0, kariten=0),
            dict(common(colour=3), **{"class": "CDataMoji"}, x1=10.0, y1=10.0, x2=40.0,
                 y2=10.0, kind=2, sizeX=3.0, sizeY=3.0, spacing=0.0, angle=0.0,
                 font="ＭＳ ゴシック", text="平面図"),
            dict(common(), **{"class": "CDataBlock"}, x=60.0, y=20.0, scaleX=1.0, scaleY=1.0,
                 rotation=0.3, number=3)]
    blocks = [{"number": 3, "name": "扉", **common(), "entities": [
        dict(common(), **{"class": "CDataSen"}, x1=0.0, y1=0.0, x2=9.0, y2=0.0)]}]
    drawing = {"version": version, "entities": ents, "blocks": blocks}
    if tail is not None:
        drawing["tail"] = tail
    return drawing


def temporaries(folder):
    return [p.name for p in Path(folder).iterdir() if p.name.startswith("pelimator-tmp-")]


def run(batch, work, args, timeout=120, limit=None, meanwhile=None):
    """Runs the batch; meanwhile(process) runs while it does. (exit status, stderr)."""
    def preexec():
        if limit is not None:
            resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
    process = subprocess.Popen([batch, "--settings", str(work / "default.ini"), *args],
                               stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, cwd=work,
                               preexec_fn=preexec)
    if meanwhile is not None:
        meanwhile(process)
    try:
        _, err = process.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        process.communicate()
        return None, f"still running after {timeout} s"
    return process.returncode, err.decode("utf-8", "replace")


def during_the_copy(folder, source, damage):
    """Waits until the save's temporary file holds a third of the input, then damages it."""
    third = source.stat().st_size // 3

    def act(process):
        deadline = time.monotonic() + 120
        while time.monotonic() < deadline and process.poll() is None:
            for name in temporaries(folder):
                try:
                    if (folder / name).stat().st_size >= third:
                        damage(source)
                        return
                except FileNotFoundError:
                    pass
            time.sleep(0.002)
        raise AssertionError("the save ended before the damage could come")
    return act


def rewrite_in_place(source):
    size = source.stat().st_size
    subprocess.run(["dd", "if=/dev/urandom", f"of={source}", "bs=1M", "count=8",
                    f"seek={size // 2 >> 20}", "conv=notrunc"], check=True,
                   capture_output=True)


def cut_short(source):
    subprocess.run(["truncate", "-s", str(source.stat().st_size // 4), str(source)], check=True)


def copy_row(name, work, batch, points, pristine, suffix, damage, limit=None):
    source = work / f"{name}{suffix}"
    output = work / f"{name}-out{suffix}"
    reference = work / f"reference{suffix}"
    shutil.copy(pristine, source)
    output.write_bytes(b"old output")
    if not reference.exists():
        code, err = run(batch, work, ["--points", str(points), "-o", str(reference),
                                      str(pristine)])
        assert code == 0, f"the clean run failed: {err}"
    meanwhile = during_the_copy(work, source, damage) if damage else None
    code, err = run(batch, work, ["--points", str(points), "-o", str(output), str(source)],
                    limit=limit, meanwhile=meanwhile)
    left = temporaries(work)
    for name_left in left:
        (work / name_left).unlink()
    assert not left, f"temporary files left: {left}"
    assert code is not None and code >= 0, f"the batch crashed or hung ({code}):\n{err}"
    if code == 0:
        assert output.read_bytes() == reference.read_bytes(), \
            f"exit 0 but the output differs from a clean run's:\n{err}"
        return
    assert code == 1, f"exit {code}:\n{err}"
    reason = "書き換えられ" if damage else "書き込み"
    assert reason in err, f"the refusal does not give the reason ({reason}):\n{err}"
    assert output.read_bytes() == b"old output", "the old output was changed"


def broken_save_rows(work, batch, points):
    big = work / "big.dxf"
    if not big.exists():
        big_dxf(big)
    big_jww = work / "big.jww"
    if not big_jww.exists():
        tail = struct.pack("<I", 0) + os.urandom(BIG_MB << 20)
        jww_gen.write(big_jww, jww_drawing(700, tail))
    rows = []
    for suffix, pristine in ((".dxf", big), (".jww", big_jww)):
        kind = suffix[1:]
        rows += [
            (f"{kind}_rewritten_during_the_copy",
             lambda s=suffix, p=pristine, n=f"{kind}_rewritten_during_the_copy":
             copy_row(n, work, batch, points, p, s, rewrite_in_place)),
            (f"{kind}_cut_short_during_the_copy",
             lambda s=suffix, p=pristine, n=f"{kind}_cut_short_during_the_copy":
             copy_row(n, work, batch, points, p, s, cut_short)),
            (f"{kind}_past_the_file_size_limit",
             lambda s=suffix, p=pristine, n=f"{kind}_past_the_file_size_limit":
             copy_row(n, work, batch, points, p, s, None, limit=8 << 20)),
        ]
    return rows


def mutate(data, rnd):
    data = bytearray(data)
    kind = rnd.randrange(5)
    at = rnd.randrange(8, len(data))
    if kind == 0:
        data[at] ^= 1 << rnd.randrange(8)
        return bytes(data), f"flip at {at}"
    if kind == 1:
        value = rnd.choice([0xFFFFFFFF, 0x7FFFFFFF, 0x80000000, 0xFFFF, 0])
        data[at:at + 4] = struct.pack("<I", value)
        return bytes(data), f"dword {value:#x} at {at}"
    if kind == 2:
        return bytes(data[:at]), f"cut at {at}"
    if kind == 3:
        length = rnd.randrange(1, 64)
        return bytes(data[:at + length] + data[at:]), f"double {length} at {at}"
    data[at:at] = bytes(rnd.randrange(1, 16))
    return bytes(data), f"zeros at {at}"


def mutant_replay(work, batch, points):
    logging.disable(logging.CRITICAL)
    rnd = random.Random(SEED)
    seeds = {v: jww_gen.jww_bytes(jww_drawing(v)) for v in (351, 420, 600, 700)}
    failures = []
    saved = refused = 0
    for n in range(MUTANTS):
        version = rnd.choice(sorted(seeds))
        data, what = seeds[version], []
        for _ in range(rnd.randint(1, 3)):
            data, step = mutate(data, rnd)
            what.append(step)
        source = work / f"mutant{n:03d}.jww"
        source.write_bytes(data)
        for suffix in (".jww", ".dxf"):
            output = work / f"mutant{n:03d}-out{suffix}"
            again = work / f"mutant{n:03d}-again{suffix}"
            label = f"mutant {n} v{version} ({', '.join(what)}) -> {suffix}"
            code, err = run(batch, work, ["--allow-loss", "--points", str(points), "-o",
                                          str(output), str(source)], timeout=SECONDS)
            if code is None or code < 0:
                failures.append(f"{label}: crashed or hung ({code}): {err}")
                continue
            if code != 0:
                refused += 1
                if "エラー" not in err or output.exists():
                    failures.append(f"{label}: exit {code} without a reason or with output")
                continue
            saved += 1
            code, err = run(batch, work, ["--allow-loss", "--points", str(points), "-o",
                                          str(again), str(output)], timeout=SECONDS)
            if code != 0:
                failures.append(f"{label}: our reader cannot read the output: {err}")
            if suffix == ".dxf":
                try:
                    ezdxf.readfile(output)
                except Exception as error:  # the independent reader's refusal
                    failures.append(f"{label}: ezdxf cannot read the output: {error}")
            for path in (output, again):
                path.unlink(missing_ok=True)
        source.unlink()
    print(f"seed {SEED}: {MUTANTS} mutants, {saved} outputs saved and read again, "
          f"{refused} refusals with a reason")
    if failures:
        raise AssertionError("\n".join(failures))


def main():
    work = Path(sys.argv[1]).resolve() / "save_oracle"
    batch = str(Path(sys.argv[2]).resolve())
    wanted = set(sys.argv[3:])
    work.mkdir(parents=True, exist_ok=True)
    (work / "default.ini").write_text("")
    points = work / "p.txt"
    points.write_text("0 -40\n100 -40\n150 -60\n")
    # A file-size limit must fail a write, not end the run: the batch sets SIGXFSZ aside itself.
    signal.signal(signal.SIGXFSZ, signal.SIG_DFL)
    failures = []
    rows = broken_save_rows(work, batch, points)
    rows.append(("jww_mutants", lambda: mutant_replay(work, batch, points)))
    for name, check in rows:
        if wanted and name not in wanted:
            continue
        try:
            check()
            print(f"PASS {name}")
        except Exception as error:  # a row's failure is reported with its name, then the next
            failures.append(name)
            print(f"FAIL {name}: {error}")
    print(f"{len(failures)} failed" + (": " + ", ".join(failures) if failures else ""))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

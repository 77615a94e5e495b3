#!/usr/bin/env python3
"""A mutation oracle that the libFuzzer target cannot have: an independent reader.

Mutates the ASCII drawings of the DXF corpus (make_corpus.py) at the tag level with a fixed
seed: records deleted, doubled, swapped or cut off, stray structure records (EOF, ENDSEC, SEQEND,
ENDTAB, ENDBLK, SECTION) put between records, single tags dropped, handles pointed elsewhere.
Header values and table counts are set to the ends of their range ($HANDSEED, group 70).
Every mutant is given to pelimator-batch, which draws a wave across it and saves: a refusal
must say why and leave no output, a crash is a failure, and when the batch ends with exit 0 our
own reader must read the output again, and ezdxf too wherever it read the input (a save is never
less readable than its input, and success is never reported over a file that cannot be read).
No run may take longer than a few seconds.

Usage: fuzz_oracle.py WORKDIR BATCH [COUNT [SEED]]   (exit 77 when ezdxf is missing)
"""
import logging
import random
import subprocess
import sys
import time
from pathlib import Path

try:
    import ezdxf
except ImportError:
    print("ezdxf is missing: skipped")
    sys.exit(77)

COUNT = 240
SEED = 2027
# Seconds one batch run may take (a debug build on a shared machine); a hang shows as a timeout.
SECONDS = 5.0
STRAYS = [[("0", "EOF")], [("0", "ENDSEC")], [("0", "SEQEND")], [("0", "ENDTAB")],
          [("0", "ENDBLK")], [("0", "SECTION"), ("2", "ENTITIES")],
          [("0", "SECTION"), ("2", "TABLES")]]
HANDLE_CODES = {"5", "330", "340", "350", "360", "390"}
EXTREMES = {"5": ["FFFFFFFFFFFFFFFF", "0", "7FFFFFFFFFFFFFFF"],
            "70": ["32767", "-32768", "2147483647", "-2147483648"]}


def tags_of(path):
    lines = Path(path).read_text(encoding="latin-1").split("\n")
    return [(lines[i].strip(), lines[i + 1].rstrip("\r")) for i in range(0, len(lines) - 1, 2)]


def write_tags(path, tags):
    Path(path).write_text("".join(f"{c:>3}\n{v}\n" for c, v in tags), encoding="latin-1")


def records(tags):
    """[start, end) of each record (a 0 tag and the tags up to the next one)."""
    starts = [i for i, (code, _) in enumerate(tags) if code == "0"]
    return list(zip(starts, starts[1:] + [len(tags)]))


def mutate(tags, rnd):
    spans = records(tags)
    begin, end = spans[rnd.randrange(len(spans) - 1)]  # never the final EOF itself
    kind = rnd.randrange(8)
    if kind == 7:
        # $HANDSEED, or a table's count, at an end of its range.
        places = [i for i, (code, _) in enumerate(tags)
                  if (code == "5" and i > 0 and tags[i - 1] == ("9", "$HANDSEED"))
                  or (code == "70" and i > 1 and tags[i - 2][1] == "TABLE")]
        if places:
            k = rnd.choice(places)
            out = list(tags)
            out[k] = (tags[k][0], rnd.choice(EXTREMES[tags[k][0]]))
            return out, f"extreme {tags[k][0]}={out[k][1]}"
        kind = 0
    if kind == 0:
        return tags[:begin] + tags[end:], "delete record"
    if kind == 1:
        return tags[:end] + tags[begin:end] + tags[end:], "double record"
    if kind == 2:
        stray = rnd.choice(STRAYS)
        return tags[:begin] + stray + tags[begin:], f"stray {stray[0][1]} before {tags[begin][1]}"
    if kind == 3 and end - begin > 1:
        k = rnd.randrange(begin + 1, end)
        return tags[:k] + tags[k + 1:], f"drop tag {tags[k][0]}"
    if kind == 4:
        handles = [i for i, (code, _) in enumerate(tags) if code in HANDLE_CODES]
        k = rnd.choice(handles)
        out = list(tags)
        out[k] = (tags[k][0], rnd.choice(["0", "1", "A", "FFFF", tags[rnd.choice(handles)][1]]))
        return out, f"handle {tags[k][0]}"
    if kind == 5:
        return tags[:begin] + [("0", "EOF")], "cut"
    nxt = next((s for s in spans if s[0] == end), None)
    if nxt is None:
        return tags, "none"
    return tags[:begin] + tags[nxt[0]:nxt[1]] + tags[begin:end] + tags[nxt[1]:], "swap"


def ezdxf_reads(path):
    try:
        ezdxf.readfile(path)
        return None
    except Exception as error:  # any refusal of the independent reader
        return f"{type(error).__name__}: {error}"


def batch_run(batch, work, points, source, output):
    """The batch drawing a wave on source into output: (exit status, stderr) or a timeout."""
    try:
        done = subprocess.run([batch, "--settings", str(work / "default.ini"), "--points",
                               str(points), "--allow-loss", "-o", str(output), str(source)],
                              capture_output=True, timeout=SECONDS)
    except subprocess.TimeoutExpired:
        return None, f"still running after {SECONDS} s"
    return done.returncode, done.stderr.decode("utf-8", "replace")


def run_and_reopen(batch, work, points, source, output, ezdxf_read):
    """None when the run held: a refusal with a reason ("refused"), or an output that our reader
    and (where it read the input) ezdxf read again; else what went wrong."""
    code, err = batch_run(batch, work, points, source, output)
    if code is None:
        return err
    if code < 0:
        return f"the batch ended by signal {-code}"
    if code != 0:
        if "エラー" not in err or output.exists():
            return f"exit {code} without a reason, or with an output left:\n{err}"
        return "refused"
    again = work / "again.dxf"
    code, err = batch_run(batch, work, points, output, again)
    again.unlink(missing_ok=True)
    if code != 0:
        return f"our reader cannot read the output (exit {code}):\n{err}"
    if ezdxf_read and (problem := ezdxf_reads(output)) is not None:
        return f"ezdxf cannot read the output: {problem}"
    return None


def main():
    work = Path(sys.argv[1]).resolve() / "fuzz_oracle"
    batch = str(Path(sys.argv[2]).resolve())
    count = int(sys.argv[3]) if len(sys.argv) > 3 else COUNT
    seed = int(sys.argv[4]) if len(sys.argv) > 4 else SEED
    logging.disable(logging.CRITICAL)  # ezdxf logs what it repairs
    work.mkdir(parents=True, exist_ok=True)
    corpus = work / "corpus"
    subprocess.run([sys.executable, str(Path(__file__).with_name("make_corpus.py")),
                    str(corpus)], check=True, capture_output=True)
    drawings = sorted(p for p in corpus.glob("*.dxf") if "binary" not in p.name)
    sources = {p: tags_of(p) for p in drawings}
    (work / "default.ini").write_text("")
    points = work / "p.txt"
    points.write_text("-50 -50\n150 -50\n150 150\n")
    rnd = random.Random(seed)
    failures = []
    read = saved = refused = 0
    slowest = 0.0
    for n in range(count):
        drawing = rnd.choice(drawings)
        tags = sources[drawing]
        what = []
        for _ in range(rnd.randint(1, 3)):
            tags, step = mutate(tags, rnd)
            what.append(step)
        name = f"{n:03d}_{drawing.stem}"
        source = work / f"{name}.dxf"
        output = work / f"{name}-out.dxf"
        output.unlink(missing_ok=True)
        write_tags(source, tags)
        ezdxf_read = ezdxf_reads(source) is None
        read += ezdxf_read
        started = time.monotonic()
        problem = run_and_reopen(batch, work, points, source, output, ezdxf_read)
        slowest = max(slowest, time.monotonic() - started)
        if problem == "refused":
            refused += 1
        elif problem is not None:
            failures.append(f"{name} ({', '.join(what)}): {problem}")
            continue
        else:
            saved += 1
        source.unlink()
        output.unlink(missing_ok=True)
    print(f"seed {seed}: {count} mutants, {read} read by ezdxf, {saved} saved by the batch and "
          f"read back, {refused} refused by the batch with a reason; slowest run "
          f"{slowest:.2f} s")
    for failure in failures:
        print("FAIL " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

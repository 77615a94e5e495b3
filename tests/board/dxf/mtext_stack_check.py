#!/usr/bin/python3
"""Every MTEXT of the real drawings that holds a stacked fraction (\\S), as the board draws it,
against ezdxf's reading of the same text (ezdxf.tools.text.MTextParser): the MTEXTs of model
space, of the blocks of its dimensions and of its multileaders' texts.

For each such text the board's runs must have the strings and heights ezdxf reads: its words at
the height in force where they stand (a \\H group's own), each stack's numerator and denominator
as runs of their own at the stack's height. Each stack must stand as the board lays one out:
the denominator below the numerator (a diagonal stack's by its height, one over a bar or
without one by 1.4 of it), a diagonal one's denominator after its numerator and a slash rising
between them, one over a bar ('/') with a level bar between them as wide as the wider part,
one without ('^', a tolerance) with none. Usage: mtext_stack_check.py UNDERLAY_DUMP CORPUS_DIR
"""
import math
import sys

from ezdxf.tools.text import MTextContext, MTextParser, TokenType

import dump_corpus

KINDS = ("MTEXT", "DIMENSION", "MULTILEADER")
DROP = {"#": 1.0, "/": 1.4, "^": 1.4}  # the denominator's baseline below the numerator's


def contents(entity, doc):
    """(content, height) of each MTEXT the entity draws."""
    kind = entity.dxftype()
    if kind == "MTEXT":
        yield entity.text, entity.dxf.char_height
    elif kind == "MULTILEADER" and entity.context.mtext is not None:
        yield entity.context.mtext.default_content, entity.context.char_height
    elif kind == "DIMENSION":
        block = doc.blocks.get(entity.dxf.get("geometry", ""))
        for e in block or []:
            if e.dxftype() == "MTEXT":
                yield e.text, e.dxf.char_height


def expected(content, height):
    """ezdxf's runs [(string, height)] and stacks [(numerator, denominator, kind, height)]."""
    ctx = MTextContext()
    ctx.cap_height = height
    runs, stacks = [], []

    def put(text, size):
        text = "".join(text.split())
        if not text:
            return
        if runs and math.isclose(runs[-1][1], size, rel_tol=1e-6):
            runs[-1] = (runs[-1][0] + text, size)
        else:
            runs.append((text, size))

    for token in MTextParser(content, ctx):
        if token.type == TokenType.WORD:
            put(token.data, token.ctx.cap_height)
        elif token.type == TokenType.STACK:
            upr, lwr, kind = token.data
            if not kind:
                put(upr, token.ctx.cap_height)
                continue
            if kind == "^":
                lwr = lwr[1:] if lwr.startswith(" ") else lwr
            put(upr, token.ctx.cap_height)
            put(lwr, token.ctx.cap_height)
            stacks.append((upr, lwr, kind, token.ctx.cap_height))
    return runs, stacks


def drawn_runs(texts):
    out = []
    for t in texts:
        text = "".join(t["text"].split())
        size = math.hypot(*t["y"])
        if not text:
            continue
        if out and math.isclose(out[-1][1], size, rel_tol=1e-6):
            out[-1] = (out[-1][0] + text, size)
        else:
            out.append((text, size))
    return out


def advance(text):
    """The board's estimate of a text's advance in heights (as EstimateCharacter)."""
    return sum(1.0 if ord(c) >= 0x800 else 0.6 for c in text)


def frame(t):
    """A text's start (the left end of its baseline, by the board's estimate from its
    alignment point), direction along and up (its own: a text seen from below has it turned
    the other way), and its height."""
    size = math.hypot(*t["y"])
    back = 0.5 * t["h"] * advance(t["text"])
    start = (t["origin"][0] - back * t["x"][0], t["origin"][1] - back * t["x"][1])
    along = (t["x"][0] / math.hypot(*t["x"]), t["x"][1] / math.hypot(*t["x"]))
    return start, along, (t["y"][0] / size, t["y"][1] / size), size


def stack_problem(stack, texts, bars):
    """Whether some numerator and denominator drawn stand as the stack should (None) or why not."""
    upr, lwr, kind, size = stack
    for i, top in enumerate(texts):
        if top["text"] != upr or i + 1 >= len(texts) or texts[i + 1]["text"] != lwr:
            continue
        low = texts[i + 1]
        (o, along, up, s), (p, _, _, s2) = frame(top), frame(low)
        if not (math.isclose(s, size, rel_tol=1e-6) and math.isclose(s2, size, rel_tol=1e-6)):
            return f"stack {upr}{kind}{lwr} drawn {s:.4g} and {s2:.4g} high, ezdxf reads {size:.4g}"
        d = (p[0] - o[0], p[1] - o[1])
        drop = -(d[0] * up[0] + d[1] * up[1]) / size
        ahead = (d[0] * along[0] + d[1] * along[1]) / size
        if abs(drop - DROP[kind]) > 0.01:
            return f"stack {upr}{kind}{lwr}: its denominator {drop:.3f} heights below, not {DROP[kind]}"
        if kind == "#" and ahead <= 0:
            return f"stack {upr}#{lwr}: its denominator not after its numerator ({ahead:.3f})"

        def local(q):
            v = (q[0] - o[0], q[1] - o[1])
            return (v[0] * along[0] + v[1] * along[1]) / size, (v[0] * up[0] + v[1] * up[1]) / size

        near = [(local(a), local(b)) for a, b in bars]
        # A level bar below the numerator's baseline and above the denominator's top, across
        # both parts' starts; a slash rising across the numerator's baseline where the
        # denominator starts.
        level = [(a, b) for a, b in near if abs(a[1] - b[1]) < 1e-6 and
                 1 - DROP[kind] < a[1] < 0 and min(a[0], b[0]) <= min(0, ahead) + 1e-9 and
                 max(a[0], b[0]) >= max(0, ahead) - 1e-9]
        rising = [(a, b) for a, b in near if (b[1] - a[1]) * (b[0] - a[0]) > 0 and
                  min(a[1], b[1]) < 0 < max(a[1], b[1]) and
                  min(a[0], b[0]) < ahead < max(a[0], b[0])]
        if kind == "/" and not level:
            return f"stack {upr}/{lwr}: no bar between its parts"
        if kind == "#" and not rising:
            return f"stack {upr}#{lwr}: no slash between its parts"
        if kind == "^" and (level or rising):
            return f"stack {upr}^{lwr}: a bar drawn, a tolerance has none"
        del texts[i:i + 2]
        return None
    return f"stack {upr}{kind}{lwr} not drawn as its parts; drawn {[t['text'] for t in texts]}"


def main():
    dump, corpus = sys.argv[1], sys.argv[2]
    checked, stacks_seen, problems = 0, 0, []
    for name, doc, entities, items in dump_corpus.drawings(dump, corpus, KINDS):
        grouped = dump_corpus.by_handle(items)
        for e in entities:
            handle = e.dxf.handle
            drawn = grouped.get(handle, [])
            texts = [it for it in drawn if it["kind"] == "text"]
            bars = [tuple(it["points"]) for it in drawn
                    if it["kind"] == "polyline" and len(it["points"]) == 2]
            want_runs, want_stacks = [], []
            for content, height in contents(e, doc):
                if "\\S" not in content:
                    continue
                runs, stacks = expected(content, height)
                want_runs += runs
                want_stacks += stacks
            if not want_stacks:
                continue
            checked += 1
            stacks_seen += len(want_stacks)
            where = f"{name} {e.dxftype()} {handle}"
            got = drawn_runs(texts)
            same = len(got) == len(want_runs) and all(
                a[0] == b[0] and math.isclose(a[1], b[1], rel_tol=1e-6)
                for a, b in zip(got, want_runs))
            if not same:
                problems.append(f"{where}: runs {got}, ezdxf reads {want_runs}")
            left = list(texts)
            for stack in want_stacks:
                problem = stack_problem(stack, left, bars)
                if problem:
                    problems.append(f"{where}: {problem}")
    for problem in problems:
        print(problem)
    print(f"{checked} texts with {stacks_seen} stacks compared, {len(problems)} problems")
    # The corpus has stacks of all three kinds in model space, dimensions and multileaders.
    return 1 if problems or stacks_seen < 20 else 0


if __name__ == "__main__":
    sys.exit(main())

"""The report of a check run over many drawings: a line a drawing, its problems below it."""
import os


def report(drawings, check_one, what):
    """Runs check_one(path) -> (problems, figures) on each drawing and prints a line a drawing
    (ok or FAIL, its figures) with its problems below, then how many passed, followed by what.
    Returns the exit code: 1 when any drawing failed."""
    failed = 0
    for path in drawings:
        problems, figures = check_one(path)
        shown = " ".join(f"{k} {v:.3f}" if isinstance(v, float) else f"{k} {v}"
                         for k, v in figures.items())
        print(f"{'FAIL' if problems else 'ok  '} {os.path.basename(path)}: {shown}")
        for p in problems:
            print(f"     {p}")
        failed += bool(problems)
    print(f"{len(drawings) - failed} of {len(drawings)} {what}")
    return 1 if failed else 0

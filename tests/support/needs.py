#!/usr/bin/env python3
"""Runs a test that compares with an independent tool which may not be installed: when one is
missing the test is skipped (exit 77, CTest's SKIP_RETURN_CODE) with the missing tool named,
else the test runs and its exit status is the result.

Usage: needs.py NEED... -- COMMAND ARG...
A NEED is py:MODULE (a module of this python3, e.g. py:ezdxf) or the name of a program on PATH."""
import importlib
import os
import shutil
import sys


def missing(need):
    if need.startswith("py:"):
        try:
            importlib.import_module(need[3:])
        except ImportError:
            return True
        return False
    return shutil.which(need) is None


def main(argv):
    if "--" not in argv:
        print(__doc__, file=sys.stderr)
        return 2
    split = argv.index("--")
    needs, command = argv[:split], argv[split + 1:]
    absent = [need.removeprefix("py:") for need in needs if missing(need)]
    if absent:
        print(f"SKIPPED: {' '.join(absent)} not installed, so this comparison is not made")
        return 77
    sys.stdout.flush()
    os.execvp(command[0], command)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

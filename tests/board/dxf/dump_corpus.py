"""What the board checks beside ezdxf share: a real drawing read as ezdxf reads it, and each
drawing of a corpus holding some kinds with the board's dump of it."""

import json
import os
import subprocess

import ezdxf
from ezdxf import recover


def open_doc(path):
    """The drawing as ezdxf reads it, recovered where its structure is broken."""
    try:
        return ezdxf.readfile(path)
    except ezdxf.DXFStructureError:
        return recover.readfile(path)[0]


def drawings(dump, corpus, kinds):
    """(name, doc, its model-space entities of kinds, the board's dumped items) for every DXF of
    corpus holding one, in name order; files ezdxf cannot read are passed over."""
    for name in sorted(os.listdir(corpus)):
        path = os.path.join(corpus, name)
        if not name.lower().endswith(".dxf"):
            continue
        with open(path, "rb") as f:
            data = f.read()
        if not any(k.encode() in data for k in kinds):
            continue
        try:
            doc = open_doc(path)
        except Exception:  # a file ezdxf cannot read has nothing to compare with
            continue
        entities = list(doc.modelspace().query(" ".join(kinds)))
        if not entities:
            continue
        out = subprocess.run([dump, path], check=True, capture_output=True, text=True).stdout
        yield name, doc, entities, json.loads(out)


def by_handle(items):
    """The dumped items grouped by the handle of the record they draw."""
    grouped = {}
    for it in items:
        grouped.setdefault(it.get("handle", ""), []).append(it)
    return grouped

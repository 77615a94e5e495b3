#!/usr/bin/env python3
"""Reads a JWW file record by record from the published layout (the header table and field
table of jww_gen.py), independently of Pelimator's reader: the header's bytes, each record of
the entity list with its class and the bytes of its fields, the block definitions with their
tags resolved to class names, and what follows. The edit tests compare two files with it."""
import struct

import jww_gen


class Reader:
    def __init__(self, data, version=None):
        self.data = data
        self.pos = 0
        self.version = version
        self.classes = {}  # map index -> class name
        self.count = 1     # the archive's next map index

    def take(self, fmt):
        size = struct.calcsize(fmt)
        if self.pos + size > len(self.data):
            raise ValueError(f"file ends at {self.pos}")
        value = struct.unpack_from(fmt, self.data, self.pos)[0]
        self.pos += size
        return value

    def dw(self):
        return self.take("<I")

    def word(self):
        return self.take("<H")

    def byte(self):
        return self.take("<B")

    def db(self):
        return self.take("<d")

    def str(self):
        n = self.byte()
        unit = 1
        if n == 0xFF:
            n = self.word()
            if n == 0xFFFE:  # UTF-16 text: its length in characters follows
                unit = 2
                n = self.byte()
                if n == 0xFF:
                    n = self.word()
            if n == 0xFFFF:
                n = self.dw()
        data = self.data[self.pos:self.pos + n * unit]
        self.pos += n * unit
        return data

    def count_(self):
        n = self.word()
        return self.dw() if n == 0xFFFF else n

    def tag(self):
        """(kind, class name or referenced index): kind "new", "class", "ref" or "null"."""
        t = self.word()
        if t == 0:
            return "null", None
        if t == 0xFFFF:
            self.word()  # schema
            n = self.word()
            name = self.data[self.pos:self.pos + n].decode("ascii")
            self.pos += n
            self.classes[self.count] = name
            self.count += 1
            self.count += 1  # the object
            return "new", name
        if t == 0x7FFF:
            big = self.dw()
            if big & 0x80000000:
                self.count += 1
                return "class", self.classes[big & 0x7FFFFFFF]
            return "ref", big
        if t & 0x8000:
            self.count += 1
            return "class", self.classes[t & 0x7FFF]
        return "ref", t


def skip_fields(r, cls, style=None, colour=None):
    """Reads the fields of class cls after its tag; returns {name: value}."""
    out = {}
    for name, kind in jww_gen.COMMON:
        if kind == "word@351":
            if r.version >= 351:
                out[name] = r.word()
        else:
            out[name] = getattr(r, kind)()
    for name, kind in jww_gen.FIELDS[cls]:
        if kind.startswith("obj:"):
            inner = kind[4:]
            if "@" in inner:
                inner, since = inner.split("@")
                if r.version < int(since):
                    continue
            out[name] = skip_fields(r, inner)
        elif kind == "word@420":
            if r.version >= 420:
                out[name] = r.word()
        elif kind.endswith("?marker"):
            if out["m_nPenStyle"] == 100:
                out[name] = getattr(r, kind.split("?")[0])()
        elif kind.endswith("?colour10"):
            if out["m_nPenColor"] == 10:
                out[name] = r.dw()
        else:
            out[name] = getattr(r, kind)()
    return out


def parse_fields(version, cls, body):
    """The fields of a record of class cls from their bytes."""
    r = Reader(body, version)
    fields = skip_fields(r, cls)
    if r.pos != len(body):
        raise ValueError(f"{cls}: {len(body) - r.pos} bytes left over")
    return fields


def read_object(r, tokens):
    """One object of the block list; tokens gets (tag kind, class, field bytes) for it and for
    what a block definition holds."""
    kind, what = r.tag()
    if kind in ("null", "ref"):
        tokens.append((kind, what, b""))
        return
    start = r.pos
    if what != "CDataList":
        skip_fields(r, what)
        tokens.append(("object", what, r.data[start:r.pos]))
        return
    for _name, field in jww_gen.COMMON:
        if field == "word@351":
            if r.version >= 351:
                r.word()
        else:
            getattr(r, field)()
    r.dw()  # number
    r.dw()  # referenced
    r.dw()  # time
    r.str()  # name
    count = r.count_()
    tokens.append(("object", what, r.data[start:r.pos]))
    for _ in range(count):
        read_object(r, tokens)


def read(path):
    """{"version", "header": bytes before the list's count, "values": the header's fields by
    name, "records": [(class, field bytes)],
    "blocks": [(kind, class, field bytes)], "rest": bytes after the block list}."""
    data = open(path, "rb").read()
    if data[:8] != b"JwwData.":
        raise ValueError("not a JWW file")
    version = struct.unpack_from("<I", data, 8)[0]
    r = Reader(data, version)
    r.pos = 12
    values = {}
    for name, kind in jww_gen.header_rows(version):
        values[name] = getattr(r, kind)()
    header = data[:r.pos]
    records = []
    for _ in range(r.count_()):
        kind, what = r.tag()
        if kind in ("null", "ref"):
            records.append((kind, b""))
            continue
        start = r.pos
        skip_fields(r, what)
        records.append((what, data[start:r.pos]))
    blocks = []
    for _ in range(r.count_()):
        read_object(r, blocks)
    return {"version": version, "header": header, "values": values, "records": records,
            "blocks": blocks, "rest": data[r.pos:]}

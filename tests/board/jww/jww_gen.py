#!/usr/bin/env python3
"""Writes Jw_cad (JWW) files field by field from a table of the published layout, independently
of Pelimator's writer: the tests lay out files with it and check what Pelimator reads.

A drawing is a dict: {"version": 700, "header": {field: value}, "entities": [entity...],
"blocks": [{"number", "name", "entities"}...], "tail": bytes}. An entity is a dict with "class"
(CDataSen, CDataEnko, CDataTen, CDataMoji, CDataSolid, CDataSunpou, CDataBlock) and its fields
by the names below; unset fields are 0. Strings are Python str, written as Shift-JIS (cp932),
from version 700 on as UTF-16 (as Jw_cad 8 writes them; bytes are written as they are).
"""
import struct

# The header in order. A row: (name, type, count, first version that has it, last version or
# None). Types: "dw" DWORD, "db" double, "str" CString. Groups of repeated fields are spelt out
# by HEADER_ROWS below.


def header_rows(version):
    """The header's fields for a version, in file order: (name, type)."""
    rows = [("m_strMemo", "str"), ("m_nZumen", "dw"), ("m_nWriteGLay", "dw")]
    for g in range(16):
        rows += [(f"m_anGLay[{g}]", "dw"), (f"m_anWriteLay[{g}]", "dw"),
                 (f"m_adScale[{g}]", "db"), (f"m_anGLayProtect[{g}]", "dw")]
        for lay in range(16):
            rows += [(f"m_aanLay[{g}][{lay}]", "dw"), (f"m_aanLayProtect[{g}][{lay}]", "dw")]
    rows += [(f"dummy[{i}]", "dw") for i in range(14)]
    rows += [(f"m_lnSunpou{i}", "dw") for i in range(1, 6)]
    rows += [("dummy1", "dw"), ("m_nMaxDrawWid", "dw")]
    rows += [("m_DPPrtGenten.x", "db"), ("m_DPPrtGenten.y", "db"), ("m_dPrtBairitsu", "db"),
             ("m_nPrtSet", "dw"), ("m_nMemoriMode", "dw"), ("m_dMemoriHyoujiMin", "db"),
             ("m_dMemoriX", "db"), ("m_dMemoriY", "db"), ("m_DpMemoriKijunTen.x", "db"),
             ("m_DpMemoriKijunTen.y", "db")]
    rows += [(f"m_aStrLayName[{g}][{lay}]", "str") for g in range(16) for lay in range(16)]
    rows += [(f"m_aStrGLayName[{g}]", "str") for g in range(16)]
    rows += [("m_dKageLevel", "db"), ("m_dKageIdo", "db"), ("m_nKage9_15JiFlg", "dw"),
             ("m_dKabeKageLevel", "db")]
    if version >= 300:
        rows += [("m_dTenkuuZuLevel", "db"), ("m_dTenkuuZuEnkoR", "db")]
    rows += [("m_nMMTani3D", "dw"), ("m_dBairitsu", "db"), ("m_DPGenten.x", "db"),
             ("m_DPGenten.y", "db"), ("m_dHanniBairitsu", "db"), ("m_DPHanniGenten.x", "db"),
             ("m_DPHanniGenten.y", "db")]
    if version >= 300:
        for n in range(1, 9):
            rows += [(f"m_dZoomJumpBairitsu[{n}]", "db"), (f"m_DPZoomJumpGenten[{n}].x", "db"),
                     (f"m_DPZoomJumpGenten[{n}].y", "db"), (f"m_nZoomJumpGLay[{n}]", "dw")]
        rows += [("dDm11", "db"), ("dDm12", "db"), ("dDm13", "db"), ("lnDm1", "dw"),
                 ("dDm21", "db"), ("dDm22", "db"), ("m_dMojiBG", "db"), ("m_nMojiBG", "dw")]
    else:
        for n in range(1, 5):
            rows += [(f"m_dZoomJumpBairitsu[{n}]", "db"), (f"m_DPZoomJumpGenten[{n}].x", "db"),
                     (f"m_DPZoomJumpGenten[{n}].y", "db")]
    rows += [(f"m_adFukusenSuuchi[{n}]", "db") for n in range(10)]
    rows += [("m_dRyoygawaFukusenTomeDe", "db")]
    for n in range(10):
        rows += [(f"m_aPenColor[{n}]", "dw"), (f"m_anPenWidth[{n}]", "dw")]
    for n in range(10):
        rows += [(f"m_aPrtPenColor[{n}]", "dw"), (f"m_anPrtPenWidth[{n}]", "dw"),
                 (f"m_adPrtTenHankei[{n}]", "db")]
    for n in range(2, 10):
        rows += [(f"m_alLType[{n}]", "dw"), (f"m_anTokushuSenUintDot[{n}]", "dw"),
                 (f"m_anTokushuSenPich[{n}]", "dw"), (f"m_anPrtTokushuSenPich[{n}]", "dw")]
    for n in range(11, 16):
        rows += [(f"m_alLType[{n}]", "dw"), (f"m_anRandSenWide[{n}]", "dw"),
                 (f"m_anTokushuSenPich[{n}]", "dw"), (f"m_anPrtRandSenWide[{n}]", "dw"),
                 (f"m_anPrtTokushuSenPich[{n}]", "dw")]
    for n in range(16, 20):
        rows += [(f"m_alLType[{n}]", "dw"), (f"m_anTokushuSenUintDot[{n}]", "dw"),
                 (f"m_anTokushuSenPich[{n}]", "dw"), (f"m_anPrtTokushuSenPich[{n}]", "dw")]
    rows += [(name, "dw") for name in (
        "m_nDrawGamenTen", "m_nDrawPrtTen", "m_nBitMapFirstDraw", "m_nGyakuDraw",
        "m_nGyakuSearch", "m_nColorPrint", "m_nLayJunPrint", "m_nColJunPrint", "m_nPrtRenzoku",
        "m_nPrtKyoutsuuGray", "m_nPrtDispOnlyNonDraw")]
    if version >= 223:
        rows += [("m_lnDrawTime", "dw"), ("nEyeInit", "dw"), ("m_dEye_H_Ichi_1", "dw"),
                 ("m_dEye_H_Ichi_2", "dw"), ("m_dEye_H_Ichi_3", "dw"), ("m_dEye_Z_Ichi_1", "db"),
                 ("m_dEye_Y_Ichi_1", "db"), ("m_dEye_Z_Ichi_2", "db"), ("m_dEye_Y_Ichi_2", "db"),
                 ("m_dEye_V_Ichi_3", "db")]
    if version >= 225:
        rows += [("m_dSenNagasaSnpou", "db"), ("m_dBoxSunpouX", "db"), ("m_dBoxSunpouY", "db"),
                 ("m_dEnHankeiSnpou", "db")]
    if version >= 230:
        rows += [("m_nSolidNinniColor", "dw"), ("m_SolidColor", "dw")]
    if version >= 420:
        for n in range(257):
            rows += [(f"m_aPenColor[{n + 100}]", "dw"), (f"m_anPenWidth[{n + 100}]", "dw")]
        for n in range(257):
            rows += [(f"m_astrUDColorName[{n}]", "str"), (f"m_aPrtPenColor[{n + 100}]", "dw"),
                     (f"m_anPrtPenWidth[{n + 100}]", "dw"), (f"m_adPrtTenHankei[{n + 100}]", "db")]
        for n in range(33):
            rows += [(f"m_alLType[{n + 30}]", "dw"), (f"m_anTokushuSenUintDot[{n + 30}]", "dw"),
                     (f"m_anTokushuSenPich[{n + 30}]", "dw"),
                     (f"m_anPrtTokushuSenPich[{n + 30}]", "dw")]
        for n in range(33):
            rows += [(f"m_astrUDLTypeName[{n}]", "str"), (f"m_anUDLTypeSegment[{n}]", "dw")]
            rows += [(f"m_aadUDLTypePitch[{n}][{j}]", "db") for j in range(1, 11)]
    for i in range(1, 11):
        rows += [(f"m_adMojiX[{i}]", "db"), (f"m_adMojiY[{i}]", "db"), (f"m_adMojiD[{i}]", "db"),
                 (f"m_anMojiCol[{i}]", "dw")]
    rows += [("m_dMojiSizeX", "db"), ("m_dMojiSizeY", "db"), ("m_dMojiKankaku", "db"),
             ("m_nMojiColor", "dw"), ("m_nMojiShu", "dw"), ("m_dMojiSeiriGyouKan", "db"),
             ("m_dMojiSeiriSuu", "db"), ("m_nMojiKijunZureOn", "dw")]
    rows += [(f"m_adMojiKijunZureX[{i}]", "db") for i in range(3)]
    rows += [(f"m_adMojiKijunZureY[{i}]", "db") for i in range(3)]
    return rows


# Each entity kind's own fields after the common part, in order: (name, type). "obj:KIND" is a
# whole entity of that kind written without a tag (a dimension's members).
COMMON = [("m_lGroup", "dw"), ("m_nPenStyle", "byte"), ("m_nPenColor", "word"),
          ("m_nPenWidth", "word@351"), ("m_nLayer", "word"), ("m_nGLayer", "word"),
          ("m_sFlg", "word")]
FIELDS = {
    "CDataSen": [("x1", "db"), ("y1", "db"), ("x2", "db"), ("y2", "db")],
    "CDataEnko": [("cx", "db"), ("cy", "db"), ("radius", "db"), ("start", "db"),
                  ("sweep", "db"), ("tilt", "db"), ("flat", "db"), ("full", "dw")],
    "CDataTen": [("x", "db"), ("y", "db"), ("kariten", "dw"), ("code", "dw?marker"),
                 ("angle", "db?marker"), ("scale", "db?marker")],
    "CDataMoji": [("x1", "db"), ("y1", "db"), ("x2", "db"), ("y2", "db"), ("kind", "dw"),
                  ("sizeX", "db"), ("sizeY", "db"), ("spacing", "db"), ("angle", "db"),
                  ("font", "str"), ("text", "str")],
    "CDataSolid": [("x1", "db"), ("y1", "db"), ("x4", "db"), ("y4", "db"), ("x2", "db"),
                   ("y2", "db"), ("x3", "db"), ("y3", "db"), ("rgb", "dw?colour10")],
    "CDataSunpou": [("line", "obj:CDataSen"), ("text", "obj:CDataMoji"),
                    ("sxf", "word@420"), ("aux1", "obj:CDataSen@420"),
                    ("aux2", "obj:CDataSen@420"), ("p1", "obj:CDataTen@420"),
                    ("p2", "obj:CDataTen@420"), ("p3", "obj:CDataTen@420"),
                    ("p4", "obj:CDataTen@420")],
    "CDataBlock": [("x", "db"), ("y", "db"), ("scaleX", "db"), ("scaleY", "db"),
                   ("rotation", "db"), ("number", "dw")],
}


class Archive:
    """An MFC archive being written: classes and objects share one map, counted from 1."""

    def __init__(self, version):
        self.version = version
        self.out = bytearray()
        self.classes = {}
        self.count = 1

    def dw(self, v):
        self.out += struct.pack("<I", int(v) & 0xFFFFFFFF)

    def word(self, v):
        self.out += struct.pack("<H", int(v) & 0xFFFF)

    def byte(self, v):
        self.out += struct.pack("<B", int(v) & 0xFF)

    def db(self, v):
        self.out += struct.pack("<d", float(v))

    def str(self, v):
        if self.version >= 700 and isinstance(v, str):
            # Jw_cad 8 (version 700) writes every string as UTF-16: 0xFF, 0xFFFE, then the
            # length in characters (BYTE; 0xFF: WORD; 0xFFFF there: DWORD).
            data = v.encode("utf-16-le")
            n = len(data) // 2
            self.byte(0xFF)
            self.word(0xFFFE)
            if n < 0xFF:
                self.byte(n)
            elif n < 0xFFFF:
                self.byte(0xFF)
                self.word(n)
            else:
                self.byte(0xFF)
                self.word(0xFFFF)
                self.dw(n)
            self.out += data
            return
        data = v.encode("cp932") if isinstance(v, str) else bytes(v)
        n = len(data)
        if n < 0xFF:
            self.byte(n)
        elif n < 0xFFFE:
            self.byte(0xFF)
            self.word(n)
        else:
            self.byte(0xFF)
            self.word(0xFFFF)
            self.dw(n)
        self.out += data

    def list_count(self, n):
        if n < 0xFFFF:
            self.word(n)
        else:
            self.word(0xFFFF)
            self.dw(n)

    def class_tag(self, name):
        """The tag before an object of class name: the class itself the first time."""
        if name in self.classes:
            index = self.classes[name]
            if index < 0x7FFF:
                self.word(0x8000 | index)
            else:
                self.word(0x7FFF)
                self.dw(0x80000000 | index)
        else:
            self.word(0xFFFF)
            self.word(self.version)  # schema
            self.word(len(name))
            self.out += name.encode("ascii")
            self.classes[name] = self.count
            self.count += 1
        self.count += 1  # the object

    def common(self, e):
        for name, kind in COMMON:
            if kind == "word@351":
                if self.version >= 351:
                    self.word(e.get(name, 0))
            else:
                getattr(self, kind)(e.get(name, 1 if name in ("m_nPenStyle", "m_nPenColor") else 0))

    def fields(self, cls, e):
        self.common(e)
        for name, kind in FIELDS[cls]:
            if kind.startswith("obj:"):
                inner = kind[4:]
                if "@" in inner:
                    inner, since = inner.split("@")
                    if self.version < int(since):
                        continue
                self.fields(inner, e.get(name, {}))
            elif kind == "word@420":
                if self.version >= 420:
                    self.word(e.get(name, 0))
            elif kind.endswith("?marker"):
                if e.get("m_nPenStyle", 1) == 100:
                    getattr(self, kind.split("?")[0])(e.get(name, 0))
            elif kind.endswith("?colour10"):
                if e.get("m_nPenColor", 1) == 10:
                    self.dw(e.get(name, 0))
            else:
                getattr(self, kind)(e.get(name, 0))

    def entity(self, e):
        self.class_tag(e["class"])
        self.fields(e["class"], e)

    def block(self, b):
        self.class_tag("CDataList")
        self.common(b)
        self.dw(b["number"])
        self.dw(b.get("referenced", 1))
        self.dw(b.get("time", 0))
        self.str(b.get("name", ""))
        self.list_count(len(b["entities"]))
        for e in b["entities"]:
            if e["class"] == "CDataList":
                self.block(e)
            else:
                self.entity(e)


def default_header(version):
    h = {"m_nZumen": 3, "m_nWriteGLay": 0}
    for g in range(16):
        h[f"m_anGLay[{g}]"] = 2
        h[f"m_adScale[{g}]"] = 1.0
        for lay in range(16):
            h[f"m_aanLay[{g}][{lay}]"] = 2
    for n, rgb in enumerate([0xFFFFFF, 0xC0C000, 0x000000, 0x00A000, 0x00C0C0, 0xC000C0,
                             0xD00000, 0x808000, 0xA060FF, 0x808080]):
        h[f"m_aPenColor[{n}]"] = rgb
    for n in range(2, 10):
        h[f"m_alLType[{n}]"] = 0xFF00FF00
        h[f"m_anTokushuSenUintDot[{n}]"] = 32
    for n in range(16, 20):
        h[f"m_anTokushuSenUintDot[{n}]"] = 32
    return h


def jww_bytes(drawing):
    version = drawing["version"]
    a = Archive(version)
    a.out += b"JwwData."
    a.dw(version)
    header = default_header(version)
    header.update(drawing.get("header", {}))
    for name, kind in header_rows(version):
        getattr(a, kind)(header.get(name, "" if kind == "str" else 0))
    a.list_count(len(drawing["entities"]))
    for e in drawing["entities"]:
        a.entity(e)
    a.list_count(len(drawing.get("blocks", [])))
    for b in drawing.get("blocks", []):
        a.block(b)
    if version >= 700:
        a.out += drawing.get("tail", struct.pack("<I", 0))
    return bytes(a.out)


def write(path, drawing):
    with open(path, "wb") as f:
        f.write(jww_bytes(drawing))

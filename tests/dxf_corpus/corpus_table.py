#!/usr/bin/env python3
"""The drawings of the DXF corpus: one per version, Shift-JIS ones with and without
$DWGCODEPAGE, and two binary files (R12 with its one-byte group codes, and AutoCAD 2010). Needs no ezdxf, so that the build can list the tests.

Usage: corpus_table.py   (prints the names, separated by ';' for CMake)
"""
from dataclasses import dataclass
from typing import Optional


@dataclass(frozen=True)
class CorpusDrawing:
    name: str
    version: str  # $ACADVER
    code_page: Optional[str] = None  # $DWGCODEPAGE written, None for ezdxf's default
    drop_code_page: bool = False  # remove $DWGCODEPAGE from the written bytes
    binary: bool = False

    @property
    def read_encoding(self) -> Optional[str]:
        """The encoding to read this drawing with when the file does not name it."""
        return "cp932" if self.code_page == "ANSI_932" else None


CORPUS = [
    CorpusDrawing("r12", "AC1009"),
    CorpusDrawing("r2000", "AC1015"),
    CorpusDrawing("r2004", "AC1018"),
    CorpusDrawing("r2007", "AC1021"),
    CorpusDrawing("r2010", "AC1024"),
    CorpusDrawing("r2013", "AC1027"),
    CorpusDrawing("r2018", "AC1032"),
    CorpusDrawing("r12_sjis", "AC1009", code_page="ANSI_932"),
    CorpusDrawing("r12_sjis_no_codepage", "AC1009", code_page="ANSI_932", drop_code_page=True),
    CorpusDrawing("r2000_sjis", "AC1015", code_page="ANSI_932"),
    CorpusDrawing("r2000_sjis_no_codepage", "AC1015", code_page="ANSI_932", drop_code_page=True),
    CorpusDrawing("r2010_binary", "AC1024", binary=True),
    CorpusDrawing("r12_binary", "AC1009", binary=True),
]

BY_NAME = {drawing.name: drawing for drawing in CORPUS}


if __name__ == "__main__":
    print(";".join(drawing.name for drawing in CORPUS), end="")

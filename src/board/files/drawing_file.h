// Opening and saving board documents as drawing files: DXF, and Jw_cad's JWW (told by content).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "board/files/file_formats.h"
#include "board/model/application.h"
#include "board/model/document.h"

namespace pelimator::board {

// The document's layers, shown entities, scale, current layer and unit.
[[nodiscard]] DrawingContent ContentOf(const BoardDocument& document);

// Replaces everything the document's drawing holds with content: layers, entities (as one
// history-free state), scale, current layer and unit; the drawing counts as unmodified.
void LoadContent(BoardDocument& document, const DrawingContent& content);
// The same, moving the entities in instead of copying them.
void LoadContent(BoardDocument& document, DrawingContent&& content);

struct OpenedDrawing {
    BoardDocumentPtr document;
    std::shared_ptr<const FormatReport> report;  // never null
    bool scaleStored = false;                    // the drawing gives its own scale
    // What the status bar says.
    [[nodiscard]] std::string Summary() const { return report->Summary(); }
};

// Reads the drawing file at path in the format that claims its content (FormatOfBytes) and, only
// when that succeeded, adds it to application as a new active document named after the file, with
// its path set; a JWW drawing's current layer is its write layer. FileError leaves application as
// it was. options: what is read (the window takes everything; the batch may leave out what is
// drawn beneath), for JWW files too; its cancel flag gives a read up (Cancelled).
OpenedDrawing OpenDrawing(BoardApplication& application, const std::string& path,
                          const FormatReadOptions& options = {});

// A drawing file read but not yet a document: what OpenDrawing's first half gives.
using DrawingRead = FormatRead;
// The first half of OpenDrawing: reads the file at path by its content; runs on any thread.
// FileError when it cannot be read.
[[nodiscard]] DrawingRead ReadDrawingFile(const std::string& path,
                                          const FormatReadOptions& options = {});
// The second half, where the application lives: adds read to application as the file at path.
OpenedDrawing AddReadDrawing(BoardApplication& application, const std::string& path,
                             DrawingRead&& read);

// The format a save to path writes: the document's own for its own path; else by the name's
// extension (FormatOfExtension); else the document's own (FormatOfSource).
[[nodiscard]] const FileFormat& SaveFormat(const BoardDocument& document, const std::string& path);

// Writes the document to path (atomically) in SaveFormat, then records path as the document's
// file, names the document after it and marks it saved, unless a JWW drawing saved over its own
// file holds edits that file cannot keep (FileFormat::KeepsEdits): then it stays modified, so the
// window keeps asking before it closes. A drawing is written over what was kept
// of the file it was opened from when the format is the same (nothing of it lost, its version,
// form and code page kept); otherwise as a new drawing (DXF: AutoCAD 2007; JWW: version 700)
// holding the layers, lines and arcs, a converted copy. When another program rewrote the file
// read in place, a save over that file raises FileError and a save elsewhere writes such a new
// drawing. FileError leaves the document and the old file as they were.
void SaveDrawing(BoardDocument& document, const std::string& path);

// What SaveDrawing to path could not write, one Japanese sentence per item; empty when nothing is
// lost. Callers ask before saving when it is not empty. Without a path: to the document's own.
[[nodiscard]] std::vector<std::string> SaveLosses(const BoardDocument& document);
[[nodiscard]] std::vector<std::string> SaveLosses(const BoardDocument& document,
                                                  const std::string& path);

// The record of the opened file an entity of the document came from (the same for every segment
// of one polyline); none for an entity the board added or a new drawing.
[[nodiscard]] std::optional<std::size_t> SourceRecordOf(const BoardDocument& document,
                                                        std::size_t entity);

}  // namespace pelimator::board

// Opening and saving board documents as DXF files.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "board/dxf/dxf_file.h"
#include "board/model/application.h"
#include "board/model/document.h"

namespace pelimator::board {

// The document's layers, shown entities and scale.
[[nodiscard]] DrawingContent ContentOf(const BoardDocument& document);

// Replaces everything the document's drawing holds with content: layers, entities (as one
// history-free state) and scale; layer 0 becomes current and the drawing counts as unmodified.
void LoadContent(BoardDocument& document, const DrawingContent& content);
// The same, moving the entities in instead of copying them.
void LoadContent(BoardDocument& document, DrawingContent&& content);

struct OpenedDrawing {
    BoardDocumentPtr document;
    DxfOpenReport report;
};

// Reads the DXF file at path and, only when that succeeded, adds it to application as a new
// active document named after the file, with its path set. FileError leaves application as it
// was. options: what is read (the window takes everything; the batch may leave out what is
// drawn beneath).
OpenedDrawing OpenDrawing(BoardApplication& application, const std::string& path,
                          const DxfReadOptions& options = {});
// The second half of OpenDrawing, for a file read elsewhere (ReadDxfFile may run on any thread;
// this one runs where the application lives): adds read to application as the file at path.
OpenedDrawing AddReadDrawing(BoardApplication& application, const std::string& path,
                             DxfReadResult&& read);

// Writes the document to path (atomically), then records path as the document's file, names the
// document after it and marks it saved. A drawing opened from a file is written over what was
// kept of that file (nothing of it lost, its version, form and code page kept); a new drawing
// as AutoCAD 2007. FileError leaves the document and the old file as they were.
void SaveDrawing(BoardDocument& document, const std::string& path);

// What SaveDrawing could not write back, one Japanese sentence per item; empty when nothing is
// lost. Callers ask before saving when it is not empty.
[[nodiscard]] std::vector<std::string> SaveLosses(const BoardDocument& document);

// The record of the opened file an entity of the document came from (the same for every segment
// of one polyline); none for an entity the board added or a new drawing.
[[nodiscard]] std::optional<std::size_t> SourceRecordOf(const BoardDocument& document,
                                                        std::size_t entity);

}  // namespace pelimator::board

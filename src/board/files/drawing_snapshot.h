// A copy of a document's drawing taken at one moment, written later on another thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "board/files/drawing_file.h"
#include "board/model/document.h"

namespace pelimator::board {

// Everything a save of the document in its own format reads, copied (the entities, layers and
// edits) or shared (what was kept of the file read, which never changes), so that the document
// may go on changing, or close, while the snapshot is written.
struct DrawingSnapshot {
    std::vector<LayerData> layers;
    std::vector<EntityData> entities;
    std::vector<std::uint8_t> erased;
    std::vector<std::uint32_t> recordKeys;
    std::unordered_map<std::uint32_t, RecordEdit> recordEdits;
    std::int32_t scaleNumerator = 1;
    std::int32_t scaleDenominator = 1;
    std::int32_t currentLayer = 0;
    std::int32_t unitCode = kMillimetres;
    std::shared_ptr<const DocumentSource> source;  // null for a new drawing
    const FileFormat* format = &DefaultFormat();   // the document's own

    // The snapshot as a save sees it; valid while the snapshot lives.
    [[nodiscard]] DrawingState State() const;
    // The format's extension (".dxf").
    [[nodiscard]] const char* Extension() const noexcept;
};

// Copies the document's state; on the document's thread. Costs one copy of the entity array.
[[nodiscard]] DrawingSnapshot SnapshotOf(const BoardDocument& document);

// Writes the snapshot to path atomically in its own format, over what was kept of the file read,
// as SaveDrawing would over the document's own file; when another program rewrote that file in
// place, as a new drawing of its lines, arcs and layers. Any thread; FileError when it fails.
void WriteSnapshot(const DrawingSnapshot& snapshot, const std::string& path);

}  // namespace pelimator::board

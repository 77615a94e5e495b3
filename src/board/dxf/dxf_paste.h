// Records pasted from other DXF files, written into this one whole: every group as the other file
// wrote it, with handles of this file, the block definitions their inserts need (nested ones too)
// and the layers, linetypes, text styles and application names they name that this file lacks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "board/dxf/dxf_block_copy.h"
#include "board/dxf/dxf_object_copy.h"
#include "board/dxf/dxf_source.h"
#include "board/model/edit_step.h"

namespace pelimator::board {

// The symbol tables and blocks of a file: where each table is and which entries it holds.
struct DxfFileMap {
    std::map<std::string, DxfTablePlace> tables;  // by table name ("LAYER")
    // Table name → entry name (LayerKey) → its record.
    std::map<std::string, std::map<std::string, std::size_t>> entries;
    // Block name (LayerKey) → its BLOCK and ENDBLK records.
    std::map<std::string, std::pair<std::size_t, std::size_t>> blocks;
    std::size_t blocksEnd = kNoDxfRecord;  // offset of the BLOCKS section's ENDSEC
};
[[nodiscard]] DxfFileMap MapDxfFile(const DxfSource& source);

// A record pasted from another file: the edit naming it, and the layer this file puts it on
// (as the file names it; "" keeps the layer it names).
struct DxfPasted {
    const RecordEdit* edit = nullptr;
    std::string layer;
};

// Entries added to one of this file's tables.
struct DxfTableAddition {
    std::string records;
    std::size_t count = 0;
};

class DxfPaste {
public:
    // pastes in the order they are written; hasLayer: whether the save writes a layer of that
    // name (one of the board's). Records whose file is not a DXF file are passed over.
    DxfPaste(const DxfSource& target, std::vector<DxfPasted> pastes,
             std::function<bool(const std::string&)> hasLayer);
    ~DxfPaste();
    DxfPaste(const DxfPaste&) = delete;
    DxfPaste& operator=(const DxfPaste&) = delete;
    DxfPaste(DxfPaste&&) = delete;
    DxfPaste& operator=(DxfPaste&&) = delete;

    [[nodiscard]] bool Empty() const noexcept;
    // At most how many handles Emit gives.
    [[nodiscard]] std::uint64_t HandlesNeeded() const noexcept;
    // Writes everything with handles from next upward (advanced past them); the objects of the
    // images and underlays pasted go to copies.
    void Emit(std::uint64_t& next, DxfObjectCopies& copies);

    [[nodiscard]] const DxfFileMap& TargetMap();
    // A new anonymous block (prefix "*D": a dimension's, "*T": a table's) for a copy of a record
    // drawn by block of from, written with the pasted blocks under a name none of them nor the
    // target's takes; the name and entry given. Its handles (DxfBlockCopyHandles) are the
    // caller's to count.
    DxfCopiedBlock AddBlockCopy(const DxfSource& from, const DxfBlockRecords& block,
                                std::string_view prefix,
                                const std::vector<RecordPlacement>& placements,
                                std::uint64_t& next);
    // The same for a record of from drawn by a block of its own: a dimension's block copied as a
    // new "*D" block placed by placements, a table's as a new "*T" block as it is (it is in the
    // table's frame); no name when from lacks the block it names or the record has none.
    DxfCopiedBlock AddOwnBlock(const DxfSource& from, std::size_t record,
                               const std::vector<RecordPlacement>& placements, std::uint64_t& next);
    // The blocks of the copies (not erased) of the target's own dimensions and tables among
    // edits (null: none), by key order: the block each copy takes, by key.
    std::unordered_map<std::uint32_t, DxfCopiedBlock> AddCopiedOwnBlocks(
        const std::unordered_map<std::uint32_t, RecordEdit>* edits, std::uint64_t& next);
    std::string entities;                            // for the ENTITIES section
    std::string blocks;                              // BLOCK ... ENDBLK, for the BLOCKS section
    std::map<std::string, DxfTableAddition> tables;  // by table name
    // Table styles copied for pasted tables: their entries (3, 350), to end the target's
    // ACAD_TABLESTYLE dictionary record, then their records; inserted at offset objectsAt.
    std::string objects;
    std::size_t objectsAt = 0;

private:
    struct Plan;
    std::unique_ptr<Plan> m_plan;
};

}  // namespace pelimator::board

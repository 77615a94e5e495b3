// A new anonymous block for the copy of a record that a block of its own draws (a dimension's
// *D block, a table's *T block): the original's BLOCK_RECORD entry and its BLOCK ... ENDBLK
// written anew under the next free name, with handles of the file written to, every record owned
// by the new entry, its content placed as the copy is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "board/dxf/dxf_source.h"
#include "board/model/edit_step.h"

namespace pelimator::board {

// A block of a file: its records (kNoDxfRecord where it has none).
struct DxfBlockRecords {
    std::size_t block = kNoDxfRecord;        // its BLOCK record
    std::size_t end = kNoDxfRecord;          // its ENDBLK record
    std::size_t blockRecord = kNoDxfRecord;  // its BLOCK_RECORD entry (R13 on)
    [[nodiscard]] bool Found() const noexcept { return block != kNoDxfRecord && end > block; }
};

// What a block copy writes: the entry for the BLOCK_RECORD table ("" when the original has none,
// as in R12) and the BLOCK, its content and ENDBLK for the BLOCKS section.
struct DxfBlockCopy {
    std::string blockRecord;
    std::string block;
    std::string entry;  // the handle of the new BLOCK_RECORD entry ("" when none is written)
};

// The block a copy draws with: its name and its BLOCK_RECORD entry's handle ("" when none).
struct DxfCopiedBlock {
    std::string name;
    std::string entry;
};

// The next anonymous name with prefix ("*D"): one past the highest number a name of takenKeys
// (block names as LayerKey gives them) carries after that prefix, so that no name a drawing had
// is given again. The name is added to takenKeys.
[[nodiscard]] std::string NextAnonymousBlockName(std::string_view prefix,
                                                 std::set<std::string>& takenKeys);

// How many handles CopyDxfBlock gives for block.
[[nodiscard]] std::uint64_t DxfBlockCopyHandles(const DxfBlockRecords& block) noexcept;
// At most how many handles a copy of the record's own block (a dimension's or a table's) gives;
// 0 for a record that draws with none.
[[nodiscard]] std::uint64_t DxfOwnBlockCopyHandles(const DxfSource& source, std::size_t record);

// block of from written for to under name (UTF-8): each entity of its content with placements
// applied (as a placed dimension's content is), handles from next upward (advanced past them),
// the entry owned by to's BLOCK_RECORD table (tableHandle), the BLOCK, the content and the ENDBLK
// owned by the entry. Reactors and extension dictionaries are left out, as for any copy.
// blockNames: the names in to of the blocks the content inserts (by file and LayerKey), when
// they change; null keeps them.
using DxfBlockNames = std::map<std::pair<const DxfSource*, std::string>, std::string>;
[[nodiscard]] DxfBlockCopy CopyDxfBlock(const DxfSource& from, const DxfBlockRecords& block,
                                        const DxfSource& to, const std::string& tableHandle,
                                        const std::string& name,
                                        const std::vector<RecordPlacement>& placements,
                                        std::uint64_t& next,
                                        const DxfBlockNames* blockNames = nullptr);

// A record's block name (its own group 2, decoded); "" when it has none or cannot be read.
[[nodiscard]] std::string DxfBlockNameOf(const DxfSource& file, std::size_t record);

// bytes (one record in file's form) with its own block name (the first group 2 before any
// application group or extended data) set to block.name (UTF-8) and its own pointer to the
// block's entry (the first 343, a table's) to block.entry when both are there, every other group
// as it was; bytes as they are when the name is empty.
[[nodiscard]] std::string WithDxfBlockName(const DxfSource& file, std::string_view bytes,
                                           const DxfCopiedBlock& block);

}  // namespace pelimator::board

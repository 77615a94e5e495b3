// Copying a block under a new anonymous name for the copy of the record it draws.
#include "board/dxf/dxf_block_copy.h"

#include <algorithm>
#include <charconv>

#include "base/errors.h"
#include "board/dxf/dxf_dimension_block.h"
#include "board/dxf/dxf_names.h"
#include "board/dxf/dxf_record_roles.h"
#include "board/dxf/dxf_retag.h"
#include "board/dxf/dxf_transform.h"

namespace pelimator::board {

using dxf_roles::Part;
using dxf_roles::PartsOf;
using dxf_roles::ReadTags;

std::string NextAnonymousBlockName(std::string_view prefix, std::set<std::string>& takenKeys) {
    const std::string stem = LayerKey(prefix);
    std::uint64_t highest = 0;
    for (auto it = takenKeys.lower_bound(stem); it != takenKeys.end(); ++it) {
        if (!it->starts_with(stem)) break;
        const std::string_view digits = std::string_view(*it).substr(stem.size());
        std::uint64_t n = 0;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
        if (error == std::errc() && end == digits.data() + digits.size() && !digits.empty())
            highest = std::max(highest, n);
    }
    std::string name = std::string(prefix) + std::to_string(highest + 1);
    while (!takenKeys.insert(LayerKey(name)).second) name += "_";  // only past 2^64 names
    return name;
}

std::uint64_t DxfBlockCopyHandles(const DxfBlockRecords& block) noexcept {
    return block.Found() ? block.end - block.block + 2 : 0;
}

std::uint64_t DxfOwnBlockCopyHandles(const DxfSource& source, std::size_t record) {
    auto block = DxfDimensionBlock(source, record);
    if (!block) block = DxfTableBlock(source, record);
    return block ? DxfBlockCopyHandles({block->block, block->end, kNoDxfRecord}) : 0;
}

DxfBlockCopy CopyDxfBlock(const DxfSource& from, const DxfBlockRecords& block, const DxfSource& to,
                          const std::string& tableHandle, const std::string& name,
                          const std::vector<RecordPlacement>& placements, std::uint64_t& next,
                          const DxfBlockNames* blockNames) {
    DxfBlockCopy copy;
    if (!block.Found()) return copy;
    // The content placed in from's form, between its BLOCK and ENDBLK as written.
    const std::string_view bytes = from.bytes;
    const auto recordBytes = [&](std::size_t r) {
        return bytes.substr(from.records[r], from.records[r + 1] - from.records[r]);
    };
    std::string records(recordBytes(block.block));
    for (std::size_t r = block.block + 1; r < block.end;) {
        std::size_t end = r + 1;
        std::uint64_t unused = 0;
        records += RewriteDxfRecord(from, r, placements, {}, false, unused, &end);
        r = std::max(r + 1, end);
    }
    records += recordBytes(block.end);
    DxfRetag job(from, to, next);
    job.name = name;
    job.blockNames = blockNames;
    if (block.blockRecord != kNoDxfRecord && to.Modern()) {
        job.owner = tableHandle;
        RetagDxfRecord(job, ReadTags(from, block.blockRecord), true);
        copy.blockRecord = std::move(job.out.Out());
        job.out.Out().clear();
        // The block's records name the old entry as their owner: the new one now.
        job.owner = job.handles.empty() ? std::string() : job.handles.begin()->second;
        copy.entry = job.owner;
    }
    RetagDxfBytes(job, records);
    copy.block = std::move(job.out.Out());
    return copy;
}

std::string DxfBlockNameOf(const DxfSource& file, std::size_t record) {
    std::vector<DxfTag> tags;
    try {
        tags = ReadTags(file, record);
    } catch (const FileError&) {
        return {};
    }
    const std::vector<Part> parts = PartsOf(tags);
    for (std::size_t i = 0; i < tags.size(); ++i) {
        if (parts[i] == Part::Own && tags[i].code == 2) {
            return DecodeDxfString(TrimDxf(tags[i].value), file.version, file.codePage);
        }
    }
    return {};
}

std::string WithDxfBlockName(const DxfSource& file, std::string_view bytes,
                             const DxfCopiedBlock& block) {
    const std::string& name = block.name;
    if (name.empty()) return std::string(bytes);
    const std::vector<DxfTag> tags = dxf_roles::ReadWrittenTags(file, bytes);
    const std::vector<Part> parts = PartsOf(tags);
    DxfEmitter out(file.layout);
    bool named = false;
    bool pointed = block.entry.empty();
    for (std::size_t i = 0; i < tags.size(); ++i) {
        if (!named && parts[i] == Part::Own && tags[i].code == 2) {
            out.Text(2, EncodeDxfString(name, file.version, file.codePage));
            named = true;
            continue;
        }
        if (!pointed && parts[i] == Part::Own && tags[i].code == 343) {
            out.Text(343, block.entry);
            pointed = true;
            continue;
        }
        out.Raw(bytes.substr(tags[i].begin, tags[i].end - tags[i].begin));
    }
    return std::move(out.Out());
}

}  // namespace pelimator::board

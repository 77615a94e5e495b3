// Finding a dimension's block among the file's records, read once per file.
#include "board/dxf/dxf_dimension_block.h"

#include <cctype>
#include <memory>
#include <optional>

#include "base/errors.h"
#include "board/dxf/dxf_record_roles.h"
#include "board/dxf/dxf_transform.h"

namespace pelimator::board {

using namespace dxf_roles;

namespace {

std::string UpperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool NamesBlock(std::string_view type) {
    return type == "BLOCK" || type == "INSERT" || type == "DIMENSION" || type == "ARC_DIMENSION" ||
           type == "LARGE_RADIAL_DIMENSION";
}

// A record's own block name (2) and point (10, 20); nullopt when it cannot be read.
struct NameAndPoint {
    std::string name;
    double x = 0.0;
    double y = 0.0;
    bool hasBlockPoint = false;  // a dimension's 12
};

std::optional<NameAndPoint> NameOf(const DxfSource& source, std::size_t record) {
    std::vector<DxfTag> tags;
    try {
        tags = ReadTags(source, record);
    } catch (const FileError&) {
        return std::nullopt;
    }
    const std::vector<Part> parts = PartsOf(tags);
    NameAndPoint out;
    for (std::size_t i = 0; i < tags.size(); ++i) {
        if (parts[i] != Part::Own) continue;
        if (tags[i].code == 2) out.name = UpperAscii(TrimDxf(tags[i].value));
        if (tags[i].code == 10) out.x = tags[i].real;
        if (tags[i].code == 20) out.y = tags[i].real;
        if (tags[i].code == 12) out.hasBlockPoint = true;
    }
    return out;
}

}  // namespace

std::shared_ptr<const DxfBlockIndex> ReadDxfBlockIndex(const DxfSource& source) {
    auto index = std::make_shared<DxfBlockIndex>();
    std::string open;  // the block being read
    for (std::size_t r = 0; r + 1 < source.records.size(); ++r) {
        const std::string type = DxfRecordType(source, r);
        if (type == "ENDBLK" && !open.empty()) {
            index->blocks[open].end = r;
            open.clear();
        }
        if (!NamesBlock(type)) continue;
        const std::optional<NameAndPoint> named = NameOf(source, r);
        if (!named || named->name.empty()) continue;
        DxfBlockUse& use = index->blocks[named->name];
        if (type != "BLOCK") {
            ++use.uses;
            continue;
        }
        use.block = r;
        use.baseAtOrigin = named->x == 0.0 && named->y == 0.0;
        open = named->name;
    }
    return index;
}

namespace {

// The dimension's block, nullopt when it names none or the file has none of that name.
std::optional<DxfBlockUse> BlockOf(const DxfSource& source, const NameAndPoint& dimension) {
    // A source made without reading a file has no index: read here, not kept.
    const std::shared_ptr<const DxfBlockIndex> index =
        source.blockIndex ? source.blockIndex : ReadDxfBlockIndex(source);
    const auto found = index->blocks.find(dimension.name);
    if (found == index->blocks.end() || found->second.block == 0 || found->second.end == 0) {
        return std::nullopt;
    }
    return found->second;
}

}  // namespace

bool IsDxfDimensionType(std::string_view type) noexcept {
    return type == "DIMENSION" || type == "ARC_DIMENSION";
}

std::optional<DxfBlockUse> DxfDimensionBlock(const DxfSource& source, std::size_t record) {
    if (!IsDxfDimensionType(DxfRecordType(source, record))) return std::nullopt;
    const std::optional<NameAndPoint> dimension = NameOf(source, record);
    return dimension ? BlockOf(source, *dimension) : std::nullopt;
}

std::optional<DxfBlockUse> DxfTableBlock(const DxfSource& source, std::size_t record) {
    if (DxfRecordType(source, record) != "ACAD_TABLE") return std::nullopt;
    const std::optional<NameAndPoint> table = NameOf(source, record);
    return table ? BlockOf(source, *table) : std::nullopt;
}

std::vector<std::size_t> DxfDimensionContent(const DxfSource& source, std::size_t record) {
    std::vector<std::size_t> heads;
    const std::optional<DxfBlockUse> block = DxfDimensionBlock(source, record);
    if (!block) return heads;
    for (std::size_t r = block->block + 1; r < block->end;) {
        heads.push_back(r);
        r = std::max(r + 1, DxfRecordEnd(source, r));
    }
    return heads;
}

std::string DxfDimensionRefusal(const DxfSource& source, std::size_t record) {
    const auto cannot = [](std::string_view why) {
        std::string out = "寸法 (DIMENSION) は移動・回転できません (";
        out += why;
        out += ")";
        return out;
    };
    const std::optional<NameAndPoint> dimension = NameOf(source, record);
    if (!dimension) return cannot("読めない部分があるため");
    // Its block drawn at a point of its own: never seen in a real file, refused, not guessed.
    if (dimension->hasBlockPoint) return cannot("寸法の図形を別の位置に置くものは扱えないため");
    const std::optional<DxfBlockUse> block = BlockOf(source, *dimension);
    if (!block) return {};  // drawn from its definition points alone
    if (block->uses > 1) return cannot("寸法の図形のブロックを他の図形と共有しているため");
    if (!block->baseAtOrigin) return cannot("寸法の図形のブロックの基点が原点にないため");
    for (const std::size_t r : DxfDimensionContent(source, record)) {
        if (IsDxfDimensionType(DxfRecordType(source, r))) {
            return cannot("寸法の図形に寸法があるため");
        }
        if (const std::string refusal = DxfPlacementRefusal(source, r); !refusal.empty()) {
            return cannot("寸法の図形の " + refusal);
        }
    }
    return {};
}

}  // namespace pelimator::board

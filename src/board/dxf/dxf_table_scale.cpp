// A table's groups as a scale changes them, read from the table and its table style.
#include "board/dxf/dxf_table_scale.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string_view>

#include "base/errors.h"
#include "board/dxf/dxf_dimension_block.h"
#include "board/dxf/dxf_names.h"
#include "board/dxf/dxf_transform.h"

namespace pelimator::board {

using namespace dxf_roles;

namespace {

// Bits of the override flags: a cell's (91, or 177) text height; the table's (93) margins, the
// text heights of its three kinds of row, and the suppressed title and header rows (never seen
// in a real table: the rows' kinds would then be unknown here).
constexpr std::int64_t kCellHeight = 0x20;
constexpr std::int64_t kTableMargins = 0x18;
constexpr std::int64_t kTableHeights = 0x700000;
constexpr std::int64_t kTableRows = 0x3;

constexpr int kTextCell = 1;

struct Cell {
    int type = kTextCell;
    std::size_t flagAt = kNone;
    std::int64_t flag = 0;
    std::size_t rotationAt = kNone;  // 145: the text height goes after it
    bool height = false;
};

struct Table {
    std::string style;  // its table style's handle (342)
    std::int64_t columns = 0;
    std::size_t flagsAt = kNone;
    std::int64_t flags = 0;
    std::size_t overridesAt = kNone;  // after its last flags (96): where its overrides begin
    std::vector<double> heights;      // its own text heights: data, title, header rows
    std::vector<Cell> cells;
};

bool Marker(const DxfTag& tag, std::string_view name) {
    return tag.code == 100 && TrimDxf(tag.value) == name;
}

Table ReadTable(const std::vector<DxfTag>& tags, const std::vector<Part>& parts) {
    Table table;
    bool inTable = false;
    bool value = false;  // inside a cell's value (301 ... 304): data
    for (std::size_t i = 0; i < tags.size(); ++i) {
        if (parts[i] != Part::Own) continue;
        const DxfTag& tag = tags[i];
        if (Marker(tag, "AcDbTable")) inTable = true;
        if (!inTable) continue;
        if (tag.code == 171) {
            table.cells.push_back({});
            table.cells.back().type = static_cast<int>(tag.integer);
            value = false;
            continue;
        }
        if (table.cells.empty()) {
            if (tag.code == 342 && table.style.empty()) table.style = TrimDxf(tag.value);
            if (tag.code == 92 && table.columns == 0) table.columns = tag.integer;
            if (tag.code == 93 && table.flagsAt == kNone) {
                table.flagsAt = i;
                table.flags = tag.integer;
            }
            if (tag.code == 96 && table.overridesAt == kNone) table.overridesAt = i + 1;
            if (tag.code == 140) table.heights.push_back(tag.real);
            continue;
        }
        Cell& cell = table.cells.back();
        if (tag.code == 301) value = true;
        if (tag.code == 304) value = false;
        if (value || tag.code == 304) continue;
        if ((tag.code == 91 || tag.code == 177) && cell.flagAt == kNone) {
            cell.flagAt = i;
            cell.flag = tag.integer;
        } else if (tag.code == 145 && cell.rotationAt == kNone) {
            cell.rotationAt = i;
        } else if (tag.code == 140) {
            cell.height = true;
        }
    }
    return table;
}

// What a table takes from its style: its margins and its rows' text heights.
struct Style {
    bool found = false;
    bool flowsDown = true;
    bool titleRow = true;
    bool headerRow = true;
    std::array<double, 2> margins{};
    std::vector<double> heights;  // data, title, header rows
};

Style ReadStyle(const DxfSource& source, const std::string& handle) {
    Style style;
    const std::string key = LayerKey(handle);
    for (std::size_t r = 0; r + 1 < source.records.size() && !key.empty(); ++r) {
        if (DxfRecordType(source, r) != "TABLESTYLE") continue;
        const std::vector<DxfTag> tags = ReadTags(source, r);
        const std::vector<Part> parts = PartsOf(tags);
        bool own = false;
        for (std::size_t i = 0; i < tags.size() && i < 3; ++i) {
            own = own || (tags[i].code == 5 && LayerKey(TrimDxf(tags[i].value)) == key);
        }
        if (!own) continue;
        bool inStyle = false;
        int margins = 0;
        bool rows = false;
        for (std::size_t i = 0; i < tags.size(); ++i) {
            if (parts[i] != Part::Own) continue;
            const DxfTag& tag = tags[i];
            if (Marker(tag, "AcDbTableStyle")) inStyle = true;
            if (!inStyle) continue;
            if (tag.code == 70 && margins == 0) style.flowsDown = tag.integer == 0;
            if ((tag.code == 40 || tag.code == 41) && margins < 2) {
                style.margins.at(tag.code == 40 ? 0 : 1) = tag.real;
                ++margins;
            }
            if (margins == 2 && tag.code == 280 && !rows) style.titleRow = tag.integer == 0;
            if (margins == 2 && tag.code == 281 && !rows) style.headerRow = tag.integer == 0;
            if (tag.code == 140) {
                rows = true;
                style.heights.push_back(tag.real);
            }
        }
        style.found = margins == 2 && style.heights.size() >= 3;
        return style;
    }
    return style;
}

// The text cells that take their height from the table or its style.
bool Inherits(const Cell& cell) {
    return cell.type == kTextCell && (cell.flag & kCellHeight) == 0 && !cell.height;
}

// Why the table's groups cannot be scaled; "" when they can.
std::string Why(const Table& table, const Style& style) {
    const std::int64_t heights = table.flags & kTableHeights;
    const std::int64_t margins = table.flags & kTableMargins;
    if (table.flagsAt == kNone || table.overridesAt == kNone || table.columns <= 0)
        return "表の大きさの書き方が読めないため";
    if ((table.flags & kTableRows) != 0 || (heights != 0 && heights != kTableHeights) ||
        (margins != 0 && margins != kTableMargins) || (heights != 0 && table.heights.size() != 3)) {
        return "表が行の種類の一部だけを上書きしているため";
    }
    bool inherits = margins == 0;
    for (const Cell& cell : table.cells) {
        if (!Inherits(cell)) continue;
        if (cell.flagAt == kNone || cell.rotationAt == kNone) return "セルの書き方が読めないため";
        inherits = inherits || heights == 0;
    }
    if (inherits && (!style.found || !style.flowsDown))
        return "表のスタイルの文字の高さが読めないため";
    return {};
}

}  // namespace

std::string DxfTableScaleRefusal(const DxfSource& source, std::size_t record, double factor) {
    if (factor == 1.0) return {};
    const std::string kind = "ACAD_TABLE (表) は拡大縮小できません (";
    if (!(factor > 0.0)) return kind + "倍率が正でないため)";
    if (const auto block = DxfTableBlock(source, record); block && block->uses > 0)
        return kind + "表の図形のブロックをほかの図形と共有しているため)";
    std::vector<DxfTag> tags;
    try {
        tags = ReadTags(source, record);
    } catch (const FileError&) {
        return kind + "読めない部分があるため)";
    }
    const Table table = ReadTable(tags, PartsOf(tags));
    const std::string why = Why(table, ReadStyle(source, table.style));
    return why.empty() ? why : kind + why + ")";
}

std::vector<RecordPlacement> DxfTableBlockPlacements(
    const std::vector<RecordPlacement>& placements) {
    double factor = 1.0;
    for (const RecordPlacement& placement : placements) factor *= std::abs(placement.factor);
    if (factor == 1.0) return {};
    RecordPlacement scale;
    scale.factor = factor;
    return {scale};
}

std::vector<DxfRewrittenRecords> DxfScaledTableBlock(
    const DxfSource& source, std::size_t record, const std::vector<RecordPlacement>& placements) {
    std::vector<DxfRewrittenRecords> out;
    const std::vector<RecordPlacement> scale = DxfTableBlockPlacements(placements);
    const auto block = scale.empty() ? std::nullopt : DxfTableBlock(source, record);
    for (std::size_t r = block ? block->block + 1 : 0; block && r < block->end;) {
        std::uint64_t unused = 0;
        std::size_t end = r + 1;
        std::string bytes = RewriteDxfRecord(source, r, scale, {}, false, unused, &end);
        end = std::max(r + 1, end);
        out.push_back({r, end, std::move(bytes)});
        r = end;
    }
    return out;
}

DxfTableScaleEdits DxfTableScaleEditsOf(const DxfSource& source, const std::vector<DxfTag>& tags,
                                        const std::vector<Part>& parts, double factor) {
    DxfTableScaleEdits edits;
    if (factor == 1.0) return edits;
    const Table table = ReadTable(tags, parts);
    const Style style = ReadStyle(source, table.style);
    if (!Why(table, style).empty()) return edits;  // refused before it gets here
    std::int64_t flags = table.flags;
    if ((table.flags & kTableMargins) == 0) {
        edits.marginsAt = table.overridesAt;
        edits.margins.at(0) = factor * style.margins.at(0);
        edits.margins.at(1) = factor * style.margins.at(1);
        flags |= kTableMargins;
    }
    if (flags != table.flags) {
        edits.tableFlagsAt = table.flagsAt;
        edits.tableFlags = flags;
    }
    // The rows' kinds: the title row first, the header row next (unless the style suppresses
    // them), data rows after; each kind's height the table's own, else its style's.
    const std::vector<double>& heights =
        (table.flags & kTableHeights) != 0 ? table.heights : style.heights;
    const std::int64_t titleRows = style.titleRow ? 1 : 0;
    const std::int64_t headerRows = style.headerRow ? 1 : 0;
    for (std::size_t k = 0; k < table.cells.size(); ++k) {
        const Cell& cell = table.cells[k];
        if (!Inherits(cell)) continue;
        const auto row = static_cast<std::int64_t>(k) / table.columns;
        const std::size_t kind = row < titleRows ? 1 : row < titleRows + headerRows ? 2 : 0;
        // Its height goes after its rotation (145) and the field, text and text style that
        // come before a height in a cell's groups.
        std::size_t at = cell.rotationAt + 1;
        while (at < tags.size() && parts[at] == Part::Own &&
               (tags[at].code == 344 || tags[at].code == 1 || tags[at].code == 2 ||
                tags[at].code == 3 || tags[at].code == 7)) {
            ++at;
        }
        edits.heights.emplace_back(at, factor * heights.at(kind));
        edits.flags.push_back(cell.flagAt);
    }
    return edits;
}

}  // namespace pelimator::board

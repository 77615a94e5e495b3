// Records of other DXF files written into this one: the records re-tagged for this file (its
// form, code page and handles), and what they name carried along.
#include "board/dxf/dxf_paste.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "base/errors.h"
#include "board/dxf/dxf_dimension_block.h"
#include "board/dxf/dxf_names.h"
#include "board/dxf/dxf_object_copy.h"
#include "board/dxf/dxf_paste_objects.h"
#include "board/dxf/dxf_record_roles.h"
#include "board/dxf/dxf_retag.h"
#include "board/dxf/dxf_table_scale.h"
#include "board/dxf/dxf_table_style_copy.h"
#include "board/dxf/dxf_transform.h"

namespace pelimator::board {

using dxf_roles::ReadTags;
using dxf_roles::TypeOf;

namespace {

std::string Decoded(const DxfSource& source, std::string_view raw) {
    return DecodeDxfString(TrimDxf(raw), source.version, source.codePage);
}

// The value of the first tag with code, "" when none.
std::string_view ValueOf(const std::vector<DxfTag>& tags, int code) {
    for (const DxfTag& tag : tags) {
        if (tag.code == code) return tag.value;
    }
    return {};
}

// A pointer group of a table entry (340 to 349: a dimension style's text style, arrow blocks
// and linetypes).
bool IsPointer(int code) { return code >= 340 && code <= 349; }

// The tables whose entries records point to by handle (a dimension style's pointers, handles
// in extended data) and that a paste carries by name.
bool IsPointedTable(std::string_view table) {
    return table == "STYLE" || table == "LTYPE" || table == "BLOCK_RECORD" || table == "LAYER" ||
           table == "DIMSTYLE" || table == "APPID";
}

// A table entry's handle group: a dimension style's is 105.
int HandleCode(std::string_view table) { return table == "DIMSTYLE" ? 105 : 5; }

bool IsTextType(std::string_view type) {
    return type == "TEXT" || type == "MTEXT" || type == "ATTRIB" || type == "ATTDEF";
}

void MapTableRecord(const DxfSource& source, std::size_t r, const std::string& type,
                    std::string& table, DxfFileMap& map) {
    if (type == "TABLE") {
        const std::vector<DxfTag> tags = ReadTags(source, r);
        table = std::string(TrimDxf(ValueOf(tags, 2)));
        DxfTablePlace& place = map.tables[table];
        place.found = true;
        place.endTab = source.records[r + 1];
        bool counted = false;
        for (const DxfTag& tag : tags) {
            if ((tag.code == 5 || tag.code == 105) && place.handle.empty())
                place.handle = std::string(TrimDxf(tag.value));
            if (tag.code == 70 && !counted) {
                place.count = {true, tag.begin, tag.end};
                place.countValue = tag.integer;
                counted = true;
            }
        }
        return;
    }
    if (type == "ENDTAB") {
        if (!table.empty()) {
            map.tables[table].endTab = source.records[r];
            map.tables[table].closed = true;
        }
        table.clear();
        return;
    }
    if (!table.empty() && type == table) {
        const std::string name = Decoded(source, ValueOf(ReadTags(source, r), 2));
        map.entries[table].try_emplace(LayerKey(name), r);
    }
}

// Whether two tags hold the same value (numbers by value, text as decoded).
bool SameValue(const DxfSource& a, const DxfTag& x, const DxfSource& b, const DxfTag& y) {
    if (x.code != y.code) return false;
    switch (ValueKindOf(x.code)) {
        case DxfValueKind::Real:
            return std::abs(x.real - y.real) <= 1e-9 * (1.0 + std::abs(x.real));
        case DxfValueKind::Int16:
        case DxfValueKind::Int32:
        case DxfValueKind::Int64:
        case DxfValueKind::Bool:
            return x.integer == y.integer;
        case DxfValueKind::Bytes:
            return a.layout.form != b.layout.form || TrimDxf(x.value) == TrimDxf(y.value);
        default:
            return Decoded(a, x.value) == Decoded(b, y.value);
    }
}

// A record's tags without its handles, owners and application groups: what it draws.
std::vector<DxfTag> Essential(const DxfSource& source, std::size_t r) {
    std::vector<DxfTag> kept;
    bool group = false;
    for (const DxfTag& tag : ReadTags(source, r)) {
        if (tag.code == 102) {
            group = TrimDxf(tag.value).starts_with('{');
            continue;
        }
        if (group || tag.code == 5 || tag.code == 330 || tag.code == 360 || tag.code == 340)
            continue;
        kept.push_back(tag);
    }
    return kept;
}

bool SameBlock(const DxfSource& a, std::pair<std::size_t, std::size_t> ra, const DxfSource& b,
               std::pair<std::size_t, std::size_t> rb) {
    if (ra.second - ra.first != rb.second - rb.first) return false;
    for (std::size_t k = 0; k <= ra.second - ra.first; ++k) {
        const std::vector<DxfTag> x = Essential(a, ra.first + k);
        const std::vector<DxfTag> y = Essential(b, rb.first + k);
        if (x.size() != y.size()) return false;
        for (std::size_t i = 0; i < x.size(); ++i) {
            if (!SameValue(a, x[i], b, y[i])) return false;
        }
    }
    return true;
}

// Why an insert of block `key` cannot be pasted: a record of the block (or of a block nested
// in it) owns an object of the file; "" when it can. Memoised by block.
std::string BlockRefusal(const DxfSource& source, const DxfFileMap& map, const std::string& key,
                         std::map<std::string, std::string>& known, int depth = 0) {
    if (const auto found = known.find(key); found != known.end()) return found->second;
    known[key] = {};  // a block inserting itself is no reason
    const auto block = map.blocks.find(key);
    if (block == map.blocks.end() || depth > 64) return {};
    std::string refusal;
    for (std::size_t r = block->second.first + 1; r < block->second.second && refusal.empty();
         ++r) {
        if (!DxfCopyRefusal(source, r).empty() || DxfCopyTakesObjects(source, r)) {
            refusal = "INSERT は貼り付けられません (ブロック「" +
                      Decoded(source, ValueOf(ReadTags(source, block->second.first), 2)) + "」の " +
                      DxfRecordType(source, r) + " が持つオブジェクトをほかの図面に作れないため)";
        } else if (DxfRecordType(source, r) == "INSERT") {
            const std::string inner = LayerKey(Decoded(source, ValueOf(ReadTags(source, r), 2)));
            refusal = BlockRefusal(source, map, inner, known, depth + 1);
        }
    }
    known[key] = refusal;
    return refusal;
}

}  // namespace

std::vector<std::string> DxfSource::PasteRefusals(std::span<const std::uint32_t> pasted) const {
    std::vector<std::string> refusals;
    std::unique_ptr<DxfFileMap> map;  // made for the first insert
    std::map<std::string, std::string> known;
    for (const std::uint32_t record : pasted) {
        std::string refusal = PlacementRefusal(record);
        if (refusal.empty()) refusal = CopyRefusal(record);
        if (refusal.empty() && DxfRecordType(*this, record) == "INSERT") {
            if (!map) map = std::make_unique<DxfFileMap>(MapDxfFile(*this));
            const std::string key = LayerKey(Decoded(*this, ValueOf(ReadTags(*this, record), 2)));
            refusal = BlockRefusal(*this, *map, key, known);
        }
        refusals.push_back(std::move(refusal));
    }
    return refusals;
}

// Why an image, a wipeout or an underlay cannot be pasted into this file: it has no place for
// the objects it takes (its definition, dictionaries, classes); "" when it has.
std::string DxfSource::ImagePasteRefusal(const std::string& type) const {
    const std::string kind = type + " はこの図面に貼り付けられません (";
    if (version < "AC1015")
        return kind + "この図面の形式 " + version + " は画像や参照の定義を持てないため)";
    if (!objects.Found() || DxfRecordType(*this, objects.last) != "ENDSEC" ||
        DxfRecordType(*this, objects.first + 1) != "DICTIONARY") {
        return kind + "この図面に定義を置く OBJECTS セクションとその辞書がないため)";
    }
    return {};
}

std::string DxfSource::PasteRefusalFrom(const DocumentSource& file, std::uint32_t record) const {
    const auto* from = dynamic_cast<const DxfSource*>(&file);
    if (from == nullptr || from == this) return {};
    if (const std::string type = DxfRecordType(*from, record);
        IsDxfImageType(type) || IsDxfUnderlayType(type)) {
        return ImagePasteRefusal(type);
    }
    if (DxfRecordType(*from, record) != "ACAD_TABLE") return {};
    const std::string kind = "ACAD_TABLE (表) はこの図面に貼り付けられません (";
    if (version < "AC1018") return kind + "この図面の形式 " + version + " は表を持てないため)";
    std::string style;
    const std::vector<DxfTag> tags = ReadTags(*from, record);
    const std::vector<dxf_roles::Part> parts = dxf_roles::PartsOf(tags);
    for (std::size_t i = 0; i < tags.size(); ++i) {
        if (parts[i] != dxf_roles::Part::Own) continue;
        const std::string_view value = TrimDxf(tags[i].value);
        // A cell's field (344) or attribute definition (331) is an object the paste does not
        // carry.
        if ((tags[i].code == 344 || tags[i].code == 331) && value != "0" && !value.empty())
            return kind + "セルがフィールドや属性定義を指しているため)";
        if (tags[i].code == 342 && style.empty()) style = LayerKey(value);
    }
    std::string name;
    for (const auto& [key, entry] : DxfTableStyles(*from)) {
        if (LayerKey(entry.second) == style) name = entry.first;
    }
    if (name.empty()) return kind + "表のスタイルが元の図面で見つからないため)";
    // A style this drawing lacks is copied into its dictionary.
    std::size_t dictionary = kNoDxfRecord;
    if (DxfTableStyles(*this, &dictionary).contains(LayerKey(name))) return {};
    if (DxfObjectWithHandle(*from, "TABLESTYLE", style) == kNoDxfRecord)
        return kind + "表のスタイルが元の図面で見つからないため)";
    const std::string why = DxfTableStyleDictionaryRefusal(*this, dictionary);
    return why.empty() ? why : kind + "表のスタイル「" + name + "」がこの図面になく、" + why + ")";
}

DxfFileMap MapDxfFile(const DxfSource& source) {
    DxfFileMap map;
    std::string section;
    std::string table;
    std::string block;
    std::size_t blockStart = kNoDxfRecord;
    for (std::size_t r = 0; r + 1 < source.records.size(); ++r) {
        const std::string type = DxfRecordType(source, r);
        if (type == "SECTION") {
            section = std::string(TrimDxf(ValueOf(ReadTags(source, r), 2)));
        } else if (type == "ENDSEC") {
            if (section == "BLOCKS") map.blocksEnd = source.records[r];
            section.clear();
        } else if (section == "TABLES") {
            MapTableRecord(source, r, type, table, map);
        } else if (section == "BLOCKS" && type == "BLOCK") {
            block = LayerKey(Decoded(source, ValueOf(ReadTags(source, r), 2)));
            blockStart = r;
        } else if (section == "BLOCKS" && type == "ENDBLK" && blockStart != kNoDxfRecord) {
            map.blocks.try_emplace(block, blockStart, r);
            blockStart = kNoDxfRecord;
        }
    }
    return map;
}

struct DxfPaste::Plan {
    struct BlockCopy {
        const DxfSource* from = nullptr;
        std::pair<std::size_t, std::size_t> records;  // BLOCK, ENDBLK
        std::size_t blockRecord = kNoDxfRecord;       // its BLOCK_RECORD entry
        std::string name;                             // in the target
    };
    struct EntryCopy {
        const DxfSource* from = nullptr;
        std::string table;
        std::size_t record = 0;
    };

    Plan(const DxfSource& file, std::function<bool(const std::string&)> layerTest)
        : target(file), hasLayer(std::move(layerTest)) {}
    const DxfSource& target;
    DxfFileMap targetMap;
    std::function<bool(const std::string&)> hasLayer;
    std::vector<std::pair<DxfPasted, const DxfSource*>> pastes;
    std::map<const DxfSource*, DxfFileMap> maps;
    std::vector<BlockCopy> blockCopies;
    std::map<std::pair<const DxfSource*, std::string>, std::string> blockNames;
    std::vector<EntryCopy> entryCopies;
    std::set<std::pair<std::string, std::string>> entriesSeen;
    std::map<const DxfSource*, std::map<std::string, std::pair<std::string, std::string>>>
        entriesByHandle;
    std::set<std::string> blockKeys;                            // the target's and those given
    std::set<std::pair<const DxfSource*, std::string>> reused;  // blocks the target has the same
    DxfPasteObjects objects{target};  // of the images and underlays pasted
    std::uint64_t handles = 8;        // the tables' heads
    bool mapped = false;              // targetMap and blockKeys made

    void Map() {
        if (mapped) return;
        targetMap = MapDxfFile(target);
        for (const auto& [name, range] : targetMap.blocks) blockKeys.insert(name);
        // A name some record gives for a block the file lacks is not given to a new block.
        if (target.blockIndex) {
            for (const auto& [name, use] : target.blockIndex->blocks) blockKeys.insert(name);
        }
        mapped = true;
    }

    // The records of from's block of that name.
    DxfBlockRecords BlockOf(const DxfSource& from, const std::string& name) {
        DxfBlockRecords block;
        const DxfFileMap& map = MapOf(from);
        const std::string key = LayerKey(name);
        if (const auto found = map.blocks.find(key); found != map.blocks.end()) {
            block.block = found->second.first;
            block.end = found->second.second;
        }
        if (const auto records = map.entries.find("BLOCK_RECORD"); records != map.entries.end()) {
            if (const auto entry = records->second.find(key); entry != records->second.end())
                block.blockRecord = entry->second;
        }
        return block;
    }

    // A pasted dimension's own block (copied for it, never shared), and what it names.
    // A dimension's or a table's own block, copied with it: what it names.
    // A pasted table's style the target lacks (by name), copied into its dictionary.
    struct StyleCopy {
        const DxfSource* from = nullptr;
        std::size_t record = kNoDxfRecord;
        std::string name;
        std::string handle;  // the copy's
    };
    std::map<std::string, StyleCopy> styleCopies;  // by name (LayerKey)
    void NeedTableStyle(const DxfSource& from, std::size_t record) {
        if (DxfRecordType(from, record) != "ACAD_TABLE") return;
        const std::string handle = LayerKey(TrimDxf(ValueOf(ReadTags(from, record), 342)));
        for (const auto& [key, entry] : StylesOf(from)) {
            if (LayerKey(entry.second) != handle || StylesOf(target).contains(key) ||
                styleCopies.contains(key))
                continue;
            const std::size_t style = DxfObjectWithHandle(from, "TABLESTYLE", handle);
            if (style == kNoDxfRecord) continue;
            styleCopies[key] = {&from, style, entry.first, {}};
            ++handles;
            NeedsOf(from, ReadTags(from, style));
        }
    }

    // The styles copied: their dictionary entries, then their records, into out; where they
    // go (the end of the target's ACAD_TABLESTYLE dictionary record) returned.
    std::size_t CopyStyles(std::uint64_t& next, std::string& out) {
        std::size_t dictionary = kNoDxfRecord;
        (void)DxfTableStyles(target, &dictionary);
        DxfEmitter entries(target.layout);
        std::string records;
        for (auto& [key, copy] : styleCopies) {
            DxfRetag job(*copy.from, target, next);
            job.owner = TrimDxf(ValueOf(ReadTags(target, dictionary), 5));
            copy.handle = CopyDxfTableStyle(job, copy.record, copy.name, records, entries);
        }
        out = std::move(entries.Out()) + records;
        return target.records.at(dictionary + 1);
    }

    void NeedOwnBlock(const DxfSource& from, std::size_t record) {
        const std::string type = DxfRecordType(from, record);
        if (!IsDxfDimensionType(type) && type != "ACAD_TABLE") return;
        const DxfBlockRecords block = BlockOf(from, DxfBlockNameOf(from, record));
        if (!block.Found()) return;
        handles += DxfBlockCopyHandles(block);
        for (std::size_t r = block.block; r <= block.end; ++r) NeedsOf(from, ReadTags(from, r));
    }

    const DxfFileMap& MapOf(const DxfSource& from) {
        if (&from == &target) {
            Map();
            return targetMap;
        }
        auto [found, made] = maps.try_emplace(&from);
        if (made) found->second = MapDxfFile(from);
        return found->second;
    }

    // What one record names, made sure of.
    void NeedsOf(const DxfSource& from, const std::vector<DxfTag>& tags) {
        const std::string type = TypeOf(tags);
        bool xdata = false;
        for (const DxfTag& tag : tags) {
            if (tag.code == 1001) {
                xdata = true;
                NeedEntry(from, "APPID", Decoded(from, tag.value));
            }
            // A handle in extended data: a table entry it names is the target's (or copied).
            if (xdata && tag.code == 1005) NeedPointed(from, tag.value);
            if (xdata) continue;
            if (tag.code == 8 && type != "LAYER")
                NeedEntry(from, "LAYER", Decoded(from, tag.value));
            if (tag.code == 6) NeedEntry(from, "LTYPE", Decoded(from, tag.value));
            if (tag.code == 7 && (IsTextType(type) || type == "ACAD_TABLE" || type == "TABLESTYLE"))
                NeedEntry(from, "STYLE", Decoded(from, tag.value));
            if (tag.code == 2 && type == "INSERT") NeedBlock(from, Decoded(from, tag.value));
            if (tag.code == 3 && IsDxfDimensionType(type))
                NeedEntry(from, "DIMSTYLE", Decoded(from, tag.value));
            if (type == "DIMSTYLE" && IsPointer(tag.code)) NeedPointed(from, tag.value);
            // A table's block cells name their blocks by their entries' handles.
            if (type == "ACAD_TABLE" && tag.code == 340) NeedPointed(from, tag.value);
        }
    }

    // The entries of from's tables that records name by handle, by handle: table, name.
    const std::map<std::string, std::pair<std::string, std::string>>& EntriesOf(
        const DxfSource& from) {
        auto [found, made] = entriesByHandle.try_emplace(&from);
        if (!made) return found->second;
        for (const auto& [table, entries] : MapOf(from).entries) {
            if (!IsPointedTable(table)) continue;
            for (const auto& [key, record] : entries) {
                const std::vector<DxfTag> tags = ReadTags(from, record);
                const std::string_view handle = ValueOf(tags, HandleCode(table));
                if (!handle.empty())
                    found->second[LayerKey(TrimDxf(handle))] = {table,
                                                                Decoded(from, ValueOf(tags, 2))};
            }
        }
        return found->second;
    }

    // What a dimension style points to (its text style, arrow blocks, linetypes), made sure of.
    void NeedPointed(const DxfSource& from, std::string_view handle) {
        const auto& entries = EntriesOf(from);
        const auto found = entries.find(LayerKey(TrimDxf(handle)));
        if (found == entries.end()) return;
        const auto& [table, name] = found->second;
        if (table == "BLOCK_RECORD") {
            NeedBlock(from, name);
        } else {
            NeedEntry(from, table, name);
        }
    }

    // The target's handle for what from's handle names in a dimension style: the entry copied
    // (given), else the target's own entry of that name; "" when neither is known.
    std::string PointedHandle(
        const DxfSource& from, std::string_view handle,
        const std::map<std::pair<const DxfSource*, std::string>, std::string>& given) {
        const std::string key = LayerKey(TrimDxf(handle));
        if (const auto copied = given.find({&from, key}); copied != given.end())
            return copied->second;
        const auto& entries = EntriesOf(from);
        const auto found = entries.find(key);
        if (found == entries.end()) return {};
        auto [table, name] = found->second;
        if (table == "BLOCK_RECORD") {
            const auto renamed = blockNames.find({&from, LayerKey(name)});
            if (renamed != blockNames.end()) name = renamed->second;
        }
        const auto have = targetMap.entries.find(table);
        if (have == targetMap.entries.end()) return {};
        const auto entry = have->second.find(LayerKey(name));
        if (entry == have->second.end()) return {};
        return std::string(TrimDxf(ValueOf(ReadTags(target, entry->second), HandleCode(table))));
    }

    void NeedEntry(const DxfSource& from, const std::string& table, const std::string& name) {
        const std::string key = LayerKey(name);
        if (!entriesSeen.insert({table, key}).second) return;
        const auto have = targetMap.entries.find(table);
        if (have != targetMap.entries.end() && have->second.contains(key)) return;
        if (table == "LAYER" && hasLayer(name)) return;
        const DxfFileMap& map = MapOf(from);
        const auto entries = map.entries.find(table);
        if (entries == map.entries.end()) return;
        const auto entry = entries->second.find(key);
        if (entry == entries->second.end()) return;
        entryCopies.push_back({&from, table, entry->second});
        ++handles;
        NeedsOf(from, ReadTags(from, entry->second));
    }

    [[nodiscard]] std::string FreeName(const std::string& name) const {
        std::string stem = name + "_";
        std::size_t n = 2;
        if (name.starts_with('*')) {
            const std::size_t letters = name.find_first_of("0123456789", 1);
            stem = name.substr(0, letters == std::string::npos ? name.size() : letters);
            n = 1;
        }
        while (blockKeys.contains(LayerKey(stem + std::to_string(n)))) ++n;
        return stem + std::to_string(n);
    }

    void NeedBlock(const DxfSource& from, const std::string& name) {
        const std::string key = LayerKey(name);
        if (blockNames.contains({&from, key})) return;
        blockNames[{&from, key}] = name;
        const DxfFileMap& map = MapOf(from);
        const auto found = map.blocks.find(key);
        if (found == map.blocks.end()) return;  // the file lacks it too
        const auto there = targetMap.blocks.find(key);
        if (there != targetMap.blocks.end() &&
            SameBlock(from, found->second, target, there->second) &&
            NestedReused(from, found->second)) {
            reused.insert({&from, key});
            return;
        }
        const std::string given = blockKeys.contains(key) ? FreeName(name) : name;
        blockKeys.insert(LayerKey(given));
        blockNames[{&from, key}] = given;
        BlockCopy copy{&from, found->second, kNoDxfRecord, given};
        if (const auto records = map.entries.find("BLOCK_RECORD"); records != map.entries.end()) {
            if (const auto entry = records->second.find(key); entry != records->second.end())
                copy.blockRecord = entry->second;
        }
        blockCopies.push_back(copy);
        handles += found->second.second - found->second.first + 2;
        for (std::size_t r = found->second.first; r <= found->second.second; ++r)
            NeedsOf(from, ReadTags(from, r));
    }

    // Whether every block the block's inserts name is the target's own (the same there).
    bool NestedReused(const DxfSource& from, std::pair<std::size_t, std::size_t> records) {
        bool all = true;
        for (std::size_t r = records.first + 1; r < records.second; ++r) {
            if (DxfRecordType(from, r) != "INSERT") continue;
            const std::string inner = Decoded(from, ValueOf(ReadTags(from, r), 2));
            NeedBlock(from, inner);
            const std::string key = LayerKey(inner);
            all = all && (reused.contains({&from, key}) || !MapOf(from).blocks.contains(key));
        }
        return all;
    }

    using Styles = std::map<std::string, std::pair<std::string, std::string>>;
    std::map<const DxfSource*, Styles> styles;  // each file's table styles, read once
    const Styles& StylesOf(const DxfSource& file) {
        auto [found, made] = styles.try_emplace(&file);
        if (made) found->second = DxfTableStyles(file);
        return found->second;
    }

    // A pasted table's pointers in the target: its block's entry (343) the new block's, its style
    // (342) the target's of the same name, its block cells' blocks (340) the target's.
    void TablePointers(const DxfSource& from, std::size_t record, const DxfCopiedBlock& block,
                       const std::map<std::pair<const DxfSource*, std::string>, std::string>& given,
                       DxfRetag& job) {
        const std::vector<DxfTag> tags = ReadTags(from, record);
        const std::vector<dxf_roles::Part> parts = dxf_roles::PartsOf(tags);
        for (std::size_t i = 0; i < tags.size(); ++i) {
            if (parts[i] != dxf_roles::Part::Own) continue;
            const std::string key = LayerKey(TrimDxf(tags[i].value));
            if (tags[i].code == 343 && !block.entry.empty()) job.pointers[key] = block.entry;
            if (tags[i].code == 340) {
                const std::string handle = PointedHandle(from, tags[i].value, given);
                if (!handle.empty()) job.pointers[key] = handle;
            }
            if (tags[i].code != 342) continue;
            for (const auto& [name, entry] : StylesOf(from)) {
                if (LayerKey(entry.second) != key) continue;
                const Styles& there = StylesOf(target);
                if (const auto found = there.find(name); found != there.end())
                    job.pointers[key] = found->second.second;
                if (const auto copied = styleCopies.find(name); copied != styleCopies.end())
                    job.pointers[key] = copied->second.handle;
            }
        }
    }

    // The handles of the copied blocks' records and of the pasted records (each a run, in the
    // order written), given before any is written: extended data may name a record written
    // after it, or the record itself.
    std::map<std::pair<const DxfSource*, std::string>, std::uint64_t> reserved;
    std::vector<std::unordered_map<std::string, std::uint64_t>> runHandles;

    void Reserve(const DxfSource& from, std::size_t first, std::size_t end, std::uint64_t& next) {
        std::unordered_map<std::string, std::uint64_t> own;
        for (std::size_t r = first; r < end && target.handles; ++r) {
            const std::string key = LayerKey(TrimDxf(ValueOf(ReadTags(from, r), 5)));
            if (key.empty() || own.contains(key)) continue;
            own[key] = next;
            reserved[{&from, key}] = next++;
        }
        runHandles.push_back(std::move(own));
    }

    void ReserveHandles(std::uint64_t& next) {
        for (const BlockCopy& copy : blockCopies)
            Reserve(*copy.from, copy.records.first, copy.records.second + 1, next);
        for (const auto& [paste, from] : pastes)
            Reserve(*from, paste.edit->source, DxfRecordEnd(*from, paste.edit->source), next);
    }

    // A handle in the extended data of run's records: the record it names in the same run (the
    // record itself first), else one of the other runs, else the target's table entry of that
    // name (given: those copied); "" when nothing of the target stands for it (an object the
    // paste does not carry).
    void TakeXdataHandles(
        DxfRetag& job, std::size_t run,
        const std::map<std::pair<const DxfSource*, std::string>, std::string>& given) {
        job.reserved = runHandles.at(run);
        job.xdataHandle = [this, &given, &job](const std::string& key) {
            if (key == "0") return key;
            if (const auto own = job.reserved.find(key); own != job.reserved.end())
                return HandleText(own->second);
            if (const auto other = reserved.find({&job.from, key}); other != reserved.end())
                return HandleText(other->second);
            return PointedHandle(job.from, key, given);
        };
    }

    [[nodiscard]] std::string TableHandle(const std::string& table) const {
        const auto found = targetMap.tables.find(table);
        return found != targetMap.tables.end() ? found->second.handle : std::string("0");
    }
};

DxfPaste::DxfPaste(const DxfSource& target, std::vector<DxfPasted> pastes,
                   std::function<bool(const std::string&)> hasLayer)
    : m_plan(std::make_unique<Plan>(target, std::move(hasLayer))) {
    Plan& plan = *m_plan;
    for (DxfPasted& paste : pastes) {
        const auto* from = dynamic_cast<const DxfSource*>(paste.edit->from.get());
        if (from == nullptr || paste.edit->source + 1 >= from->records.size()) continue;
        plan.pastes.emplace_back(std::move(paste), from);
    }
    if (plan.pastes.empty()) return;
    // A file pasted from that another program rewrote since can no longer give its records.
    std::set<const DxfSource*> files;
    for (const auto& [paste, from] : plan.pastes) {
        if (files.insert(from).second) from->bytes.CheckSound();
    }
    plan.Map();
    for (const auto& [paste, from] : plan.pastes) {
        const std::size_t end = DxfRecordEnd(*from, paste.edit->source);
        plan.handles +=
            end - paste.edit->source + DxfPasteObjects::HandlesOf(*from, paste.edit->source);
        for (std::size_t r = paste.edit->source; r < end; ++r)
            plan.NeedsOf(*from, ReadTags(*from, r));
        plan.NeedOwnBlock(*from, paste.edit->source);
        plan.NeedTableStyle(*from, paste.edit->source);
    }
}

DxfPaste::~DxfPaste() = default;

bool DxfPaste::Empty() const noexcept { return m_plan->pastes.empty(); }

std::uint64_t DxfPaste::HandlesNeeded() const noexcept { return Empty() ? 0 : m_plan->handles; }

const DxfFileMap& DxfPaste::TargetMap() {
    m_plan->Map();
    return m_plan->targetMap;
}

DxfCopiedBlock DxfPaste::AddBlockCopy(const DxfSource& from, const DxfBlockRecords& block,
                                      std::string_view prefix,
                                      const std::vector<RecordPlacement>& placements,
                                      std::uint64_t& next) {
    Plan& plan = *m_plan;
    plan.Map();
    std::string name = NextAnonymousBlockName(prefix, plan.blockKeys);
    DxfBlockCopy copy = CopyDxfBlock(from, block, plan.target, plan.TableHandle("BLOCK_RECORD"),
                                     name, placements, next, &plan.blockNames);
    if (!copy.blockRecord.empty()) {
        tables["BLOCK_RECORD"].records += copy.blockRecord;
        ++tables["BLOCK_RECORD"].count;
    }
    blocks += copy.block;
    return {std::move(name), std::move(copy.entry)};
}

DxfCopiedBlock DxfPaste::AddOwnBlock(const DxfSource& from, std::size_t record,
                                     const std::vector<RecordPlacement>& placements,
                                     std::uint64_t& next) {
    const std::string type = DxfRecordType(from, record);
    if (!IsDxfDimensionType(type) && type != "ACAD_TABLE") return {};
    const DxfBlockRecords block = m_plan->BlockOf(from, DxfBlockNameOf(from, record));
    if (!block.Found()) return {};
    // A table's block is in the table's own frame: its copy draws where the copy is placed,
    // scaled with it.
    if (type == "ACAD_TABLE")
        return AddBlockCopy(from, block, "*T", DxfTableBlockPlacements(placements), next);
    return AddBlockCopy(from, block, "*D", placements, next);
}

std::unordered_map<std::uint32_t, DxfCopiedBlock> DxfPaste::AddCopiedOwnBlocks(
    const std::unordered_map<std::uint32_t, RecordEdit>* edits, std::uint64_t& next) {
    const DxfSource& target = m_plan->target;
    std::unordered_map<std::uint32_t, DxfCopiedBlock> names;
    if (edits == nullptr) return names;
    std::vector<std::uint32_t> keys;
    for (const auto& [key, edit] : *edits) {
        if (IsCopyKey(key) && !edit.from && !edit.erased && edit.source + 1 < target.records.size())
            keys.push_back(key);
    }
    std::sort(keys.begin(), keys.end());
    for (const std::uint32_t key : keys) {
        const RecordEdit& edit = edits->at(key);
        DxfCopiedBlock block = AddOwnBlock(target, edit.source, edit.placements, next);
        if (!block.name.empty()) names.emplace(key, std::move(block));
    }
    return names;
}

void DxfPaste::Emit(std::uint64_t& next, DxfObjectCopies& copies) {
    Plan& plan = *m_plan;
    const DxfSource& to = plan.target;
    // from's handles of the entries copied → the target's, for the dimension styles' pointers,
    // which are written after what they point to.
    std::map<std::pair<const DxfSource*, std::string>, std::string> given;
    const auto entry = [&](const Plan::EntryCopy& copy) {
        DxfRetag job(*copy.from, to, next);
        job.owner = plan.TableHandle(copy.table);
        const std::vector<DxfTag> tags = ReadTags(*copy.from, copy.record);
        for (const DxfTag& tag : tags) {
            if (!IsPointer(tag.code) || copy.table != "DIMSTYLE") continue;
            const std::string handle = plan.PointedHandle(*copy.from, tag.value, given);
            if (!handle.empty()) job.pointers[LayerKey(TrimDxf(tag.value))] = handle;
        }
        RetagDxfRecord(job, tags, true);
        for (const auto& [from, target] : job.handles) given[{copy.from, from}] = target;
        tables[copy.table].records += job.out.Out();
        ++tables[copy.table].count;
    };
    plan.ReserveHandles(next);
    for (const Plan::EntryCopy& copy : plan.entryCopies) {
        if (copy.table != "DIMSTYLE") entry(copy);
    }
    if (!plan.styleCopies.empty()) {  // after the text styles they name
        objectsAt = plan.CopyStyles(next, objects);
    }
    std::size_t run = 0;
    for (const Plan::BlockCopy& copy : plan.blockCopies) {
        DxfRetag job(*copy.from, to, next);
        job.name = copy.name;
        job.blockNames = &plan.blockNames;
        if (copy.blockRecord != kNoDxfRecord && to.Modern()) {
            job.owner = plan.TableHandle("BLOCK_RECORD");
            RetagDxfRecord(job, ReadTags(*copy.from, copy.blockRecord), true);
            for (const auto& [from, target] : job.handles) given[{copy.from, from}] = target;
            tables["BLOCK_RECORD"].records += job.out.Out();
            ++tables["BLOCK_RECORD"].count;
            job.out.Out().clear();
            job.owner = job.handles.empty() ? std::string() : job.handles.begin()->second;
        }
        plan.TakeXdataHandles(job, run++, given);
        for (std::size_t r = copy.records.first; r <= copy.records.second; ++r)
            RetagDxfRecord(job, ReadTags(*copy.from, r), false);
        blocks += job.out.Out();
    }
    for (const Plan::EntryCopy& copy : plan.entryCopies) {
        if (copy.table == "DIMSTYLE") entry(copy);
    }
    for (const auto& [paste, from] : plan.pastes) {
        std::uint64_t unused = 0;
        const std::string placed =
            RewriteDxfRecord(*from, paste.edit->source, paste.edit->placements, {}, false, unused);
        // A dimension or a table draws with a block of its own: a new one for each paste.
        std::map<std::pair<const DxfSource*, std::string>, std::string> own;
        const std::string type = DxfRecordType(*from, paste.edit->source);
        DxfCopiedBlock block;
        if (IsDxfDimensionType(type) || type == "ACAD_TABLE") {
            block = AddOwnBlock(*from, paste.edit->source, paste.edit->placements, next);
            if (!block.name.empty())
                own[{from, LayerKey(DxfBlockNameOf(*from, paste.edit->source))}] = block.name;
        }
        DxfRetag job(*from, to, next);
        if (type == "ACAD_TABLE") plan.TablePointers(*from, paste.edit->source, block, given, job);
        job.owner = to.modelSpaceHandle;
        job.layer = paste.layer;
        job.blockNames = own.empty() ? &plan.blockNames : &own;
        plan.TakeXdataHandles(job, run++, given);
        plan.objects.Prepare(*from, paste.edit->source, job);
        RetagDxfBytes(job, placed);
        std::uint64_t handle = 0;
        const std::string key = LayerKey(TrimDxf(ValueOf(ReadTags(*from, paste.edit->source), 5)));
        if (const auto written = job.handles.find(key); written != job.handles.end())
            (void)ParseHandle(written->second, handle);
        entities += plan.objects.Finish(*from, paste.edit->source, std::move(job.out.Out()), handle,
                                        next, copies);
    }
    plan.objects.Flush(copies);
}

}  // namespace pelimator::board

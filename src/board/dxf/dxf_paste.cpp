// Records of other DXF files written into this one: the records re-tagged for this file (its
// form, code page and handles), and what they name carried along.
#include "board/dxf/dxf_paste.h"

#include <cmath>
#include <set>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "base/errors.h"
#include "board/dxf/dxf_names.h"
#include "board/dxf/dxf_record_roles.h"
#include "board/dxf/dxf_transform.h"

namespace pelimator::board {

using dxf_roles::ReadTags;
using dxf_roles::TypeOf;

namespace {

std::string Decoded(const DxfSource& source, std::string_view raw) {
    return DecodeDxfString(TrimDxf(raw), source.version, source.codePage);
}

std::string HandleKey(std::string_view value) { return LayerKey(TrimDxf(value)); }

std::string HandleText(std::uint64_t handle) {
    DxfEmitter out(DxfLayout{});  // ASCII: "  5\n<handle>\n"
    out.Handle(5, handle);
    return out.Out().substr(4, out.Out().size() - 5);
}

// The value of the first tag with code, "" when none.
std::string_view ValueOf(const std::vector<DxfTag>& tags, int code) {
    for (const DxfTag& tag : tags) {
        if (tag.code == code) return tag.value;
    }
    return {};
}

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

// One run of records copied into the target: handles renumbered (and remembered, so that the
// records it owns follow), names and layer replaced, values in the target's form and code page.
struct Retag {
    Retag(const DxfSource& fromFile, const DxfSource& toFile, std::uint64_t& nextHandle)
        : from(fromFile), to(toFile), next(nextHandle), out(toFile.layout) {}
    const DxfSource& from;
    const DxfSource& to;
    std::uint64_t& next;
    DxfEmitter out;
    std::unordered_map<std::string, std::string> handles;  // from's → the target's
    std::string owner;  // a record's owner when it is none of the run's
    std::string layer;  // the head's (and its vertices') layer in the target; "" keeps it
    std::string name;   // a BLOCK's or BLOCK_RECORD's name in the target
    const std::map<std::pair<const DxfSource*, std::string>, std::string>* blockNames = nullptr;

    [[nodiscard]] bool SameEncoding() const {
        return from.Utf8() == to.Utf8() && (from.Utf8() || from.codePage == to.codePage);
    }
    void Name(int code, std::string_view utf8) {
        out.Text(code, EncodeDxfString(utf8, to.version, to.codePage));
    }
};

std::string HexBytes(std::string_view hex) {
    std::string bytes;
    const auto digit = [](char c) {
        return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;  // NOLINT(hicpp-signed-bitwise)
    };
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(digit(hex[i]) * 16 + digit(hex[i + 1]));
    return bytes;
}

// A binary file's text may hold line ends, which an ASCII line cannot: a new paragraph ("\P",
// as multiline text writes one) for a line end, a blank for any other control character.
std::string OnOneLine(std::string_view text) {
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (c == '\n') {
            line += "\\P";
        } else {
            line += c < 0x20 && c != '\t' ? ' ' : static_cast<char>(c);
        }
    }
    return line;
}

void EmitConverted(Retag& job, const DxfTag& tag) {
    const DxfValueKind kind = ValueKindOf(tag.code);
    const bool ascii = job.from.layout.form == DxfForm::Ascii;
    if (kind == DxfValueKind::Text || kind == DxfValueKind::Unknown) {
        std::string text(tag.value);
        if (!ascii && job.to.layout.form == DxfForm::Ascii) text = OnOneLine(text);
        if (job.SameEncoding()) {
            job.out.Text(tag.code, text);
        } else {
            job.Name(tag.code, DecodeDxfString(text, job.from.version, job.from.codePage));
        }
        return;
    }
    if (ascii && job.to.layout.form == DxfForm::Ascii) {
        job.out.Text(tag.code, tag.value);
        return;
    }
    switch (kind) {
        case DxfValueKind::Real:
            job.out.Real(tag.code, tag.real);
            return;
        case DxfValueKind::Bytes:
            job.out.Chunk(tag.code, ascii ? HexBytes(TrimDxf(tag.value)) : std::string(tag.value));
            return;
        default:
            job.out.Integer(tag.code, tag.integer);
    }
}

// The groups that tie a record to its file; true when tag i was dealt with.
bool EmitTie(Retag& job, const std::string& type, const DxfTag& tag, std::size_t i, bool& owned) {
    if ((tag.code == 5 || (tag.code == 105 && type == "DIMSTYLE")) && i < 3) {
        if (!job.to.handles) return true;
        const std::uint64_t handle = job.next++;
        job.handles[HandleKey(tag.value)] = HandleText(handle);
        job.out.Handle(tag.code, handle);
        return true;
    }
    if (tag.code != 330) return false;
    const auto found = job.handles.find(HandleKey(tag.value));
    if (found != job.handles.end()) {
        job.out.Text(330, found->second);
    } else if (!owned && !job.owner.empty()) {
        job.out.Text(330, job.owner);
    } else {
        return false;
    }
    owned = true;
    return true;
}

// The names a record gives that change in the target; true when tag was dealt with.
bool EmitName(Retag& job, const std::string& type, const DxfTag& tag, bool head) {
    if (tag.code == 8 && !job.layer.empty() && (head || type != "ATTRIB")) {
        job.Name(8, job.layer);
        return true;
    }
    if (tag.code == 2 && (type == "INSERT" || type == "DIMENSION") && job.blockNames != nullptr) {
        const auto found =
            job.blockNames->find({&job.from, LayerKey(Decoded(job.from, tag.value))});
        if (found == job.blockNames->end()) return false;
        job.Name(2, found->second);
        return true;
    }
    if (!job.name.empty() && ((type == "BLOCK" && (tag.code == 2 || tag.code == 3)) ||
                              (type == "BLOCK_RECORD" && tag.code == 2))) {
        job.Name(tag.code, job.name);
        return true;
    }
    return false;
}

void RetagRecord(Retag& job, const std::vector<DxfTag>& tags, bool head) {
    const std::string type = TypeOf(tags);
    bool xdata = false;
    bool skipping = false;  // inside a reactor or dictionary group, which the copy leaves out
    bool owned = false;
    for (std::size_t i = 0; i < tags.size(); ++i) {
        const DxfTag& tag = tags[i];
        xdata = xdata || tag.code == 1001;
        if (!xdata && tag.code == 102) {
            const std::string_view value = TrimDxf(tag.value);
            if (value == "{ACAD_REACTORS" || value == "{ACAD_XDICTIONARY") {
                skipping = true;
                continue;
            }
            if (skipping && value == "}") {
                skipping = false;
                continue;
            }
        }
        if (skipping) continue;
        if (!xdata && (EmitTie(job, type, tag, i, owned) || EmitName(job, type, tag, head)))
            continue;
        EmitConverted(job, tag);
    }
}

// The records in bytes (the from file's form), re-tagged; the first is the head.
void RetagBytes(Retag& job, std::string_view bytes) {
    DxfLayout layout = job.from.layout;
    layout.begin = 0;
    DxfTagReader reader(bytes, layout, job.from.fileName);
    std::vector<DxfTag> record;
    bool head = true;
    for (DxfTag tag; reader.Next(tag);) {
        if (tag.code == 0 && !record.empty()) {
            RetagRecord(job, record, head);
            head = false;
            record.clear();
        }
        record.push_back(tag);
    }
    if (!record.empty()) RetagRecord(job, record, head);
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
        if (!DxfCopyRefusal(source, r).empty()) {
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
    std::set<std::string> blockKeys;                            // the target's and those given
    std::set<std::pair<const DxfSource*, std::string>> reused;  // blocks the target has the same
    std::uint64_t handles = 8;                                  // the tables' heads

    const DxfFileMap& MapOf(const DxfSource& from) {
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
            if (xdata) continue;
            if (tag.code == 8 && type != "LAYER")
                NeedEntry(from, "LAYER", Decoded(from, tag.value));
            if (tag.code == 6) NeedEntry(from, "LTYPE", Decoded(from, tag.value));
            if (tag.code == 7 && IsTextType(type))
                NeedEntry(from, "STYLE", Decoded(from, tag.value));
            if (tag.code == 2 && type == "INSERT") NeedBlock(from, Decoded(from, tag.value));
        }
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
    plan.targetMap = MapDxfFile(target);
    for (const auto& [name, range] : plan.targetMap.blocks) plan.blockKeys.insert(name);
    for (const auto& [paste, from] : plan.pastes) {
        const std::size_t end = DxfRecordEnd(*from, paste.edit->source);
        plan.handles += end - paste.edit->source;
        for (std::size_t r = paste.edit->source; r < end; ++r)
            plan.NeedsOf(*from, ReadTags(*from, r));
    }
}

DxfPaste::~DxfPaste() = default;

bool DxfPaste::Empty() const noexcept { return m_plan->pastes.empty(); }

std::uint64_t DxfPaste::HandlesNeeded() const noexcept { return Empty() ? 0 : m_plan->handles; }

const DxfFileMap& DxfPaste::TargetMap() const noexcept { return m_plan->targetMap; }

void DxfPaste::Emit(std::uint64_t& next) {
    Plan& plan = *m_plan;
    const DxfSource& to = plan.target;
    for (const Plan::EntryCopy& copy : plan.entryCopies) {
        Retag job(*copy.from, to, next);
        job.owner = plan.TableHandle(copy.table);
        RetagRecord(job, ReadTags(*copy.from, copy.record), true);
        tables[copy.table].records += job.out.Out();
        ++tables[copy.table].count;
    }
    for (const Plan::BlockCopy& copy : plan.blockCopies) {
        Retag job(*copy.from, to, next);
        job.name = copy.name;
        job.blockNames = &plan.blockNames;
        if (copy.blockRecord != kNoDxfRecord && to.Modern()) {
            job.owner = plan.TableHandle("BLOCK_RECORD");
            RetagRecord(job, ReadTags(*copy.from, copy.blockRecord), true);
            tables["BLOCK_RECORD"].records += job.out.Out();
            ++tables["BLOCK_RECORD"].count;
            job.out.Out().clear();
            job.owner = job.handles.empty() ? std::string() : job.handles.begin()->second;
        }
        for (std::size_t r = copy.records.first; r <= copy.records.second; ++r)
            RetagRecord(job, ReadTags(*copy.from, r), false);
        blocks += job.out.Out();
    }
    for (const auto& [paste, from] : plan.pastes) {
        std::uint64_t unused = 0;
        const std::string placed =
            RewriteDxfRecord(*from, paste.edit->source, paste.edit->placements, {}, false, unused);
        Retag job(*from, to, next);
        job.owner = to.modelSpaceHandle;
        job.layer = paste.layer;
        job.blockNames = &plan.blockNames;
        RetagBytes(job, placed);
        entities += job.out.Out();
    }
}

}  // namespace pelimator::board

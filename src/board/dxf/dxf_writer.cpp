// Saving a drawing over the DXF file it came from: every record written back as its very bytes,
// changed layers and header values patched, new layers and entities added with fresh handles in
// the file's version, form and code page.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <numbers>
#include <unordered_map>
#include <unordered_set>

#include "base/errors.h"
#include "base/file.h"
#include "board/dxf/dxf_block_copy.h"
#include "board/dxf/dxf_colour.h"
#include "board/dxf/dxf_dimension_block.h"
#include "board/dxf/dxf_file.h"
#include "board/dxf/dxf_names.h"
#include "board/dxf/dxf_object_copy.h"
#include "board/dxf/dxf_paste.h"
#include "board/dxf/dxf_retag.h"
#include "board/dxf/dxf_table_scale.h"
#include "board/dxf/dxf_transform.h"
#include "board/dxf/dxf_writer_records.h"

namespace pelimator::board {

namespace {

using writer::FirstSaveHandle;
using writer::LayerPlan;
using writer::NeedsOurData;
using writer::NewEntityRecord;
using writer::NewLayerRecord;
using writer::RecordHead;
using writer::RewrittenLayer;
using writer::WithoutControls;
using writer::WritesTrueColour;

constexpr std::size_t kChunk = std::size_t{1} << 20U;

// Where an insertion goes among others at the same offset: closing a sequence first, then
// what is added to the section that ends there, then that section's missing ENDSEC, then new
// sections.
enum class Order : std::uint8_t { Sequence, Content, SectionEnd, NewSection };

// Bytes that replace [begin, end) of the file (an insertion when both are equal). The new
// entities are written where `entities` is set, straight into the file.
struct Patch {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::string bytes;
    bool entities = false;
    Order order = Order::Content;
};

std::string Label(const LayerData& layer) { return "レイヤ「" + layer.name + "」"; }

bool InRange(Vec2 p) {
    return IsFinite(p) && std::abs(p.x) <= kDxfMaxCoordinate && std::abs(p.y) <= kDxfMaxCoordinate;
}

class Saver {
public:
    Saver(const DxfSource& source, const DrawingState& state) : m_source(source), m_state(state) {
        PlanLayers();
        CheckLoadedEntities();
    }

    [[nodiscard]] const std::vector<std::string>& Losses() const noexcept { return m_losses; }

    void Prepare(const std::string& failure) {
        m_failure = failure;
        m_source.bytes.CheckSound();
        if (m_state.scaleNumerator <= 0 || m_state.scaleDenominator <= 0) {
            throw FileError(failure + "縮尺が正しくありません");
        }
        for (std::size_t i = Loaded(); i < m_state.entities.size(); ++i) {
            if (WrittenAsOwn(i)) CheckEntity(i, failure);
        }
        MakePaste();
        BuildPatches();
    }

    std::string Bytes() {
        Prepare("保存できません: ");
        char* data = nullptr;
        std::size_t size = 0;
        std::FILE* file = ::open_memstream(&data, &size);
        if (file == nullptr) throw std::bad_alloc();
        Emit(file);
        std::fclose(file);
        std::string bytes(data, size);
        std::free(data);  // NOLINT(cppcoreguidelines-no-malloc): open_memstream's buffer
        m_source.bytes.CheckUnchangedAfterCopy("保存できません: ");
        return bytes;
    }

    void Write(const std::string& path) {
        const std::string failure = "ファイル「" + FileNameOf(path) + "」を保存できません: ";
        Prepare(failure);
        ReplaceOptions options;
        options.checkSources = [&] { m_source.bytes.CheckUnchangedAfterCopy(failure); };
        WriteFileAtomically(
            path,
            [&](const std::string& tempPath) {
                std::FILE* file = std::fopen(tempPath.c_str(), "wb");
                if (file == nullptr) throw FileError(failure + "書き込み用に開けません");
                const std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, &std::fclose);
                std::setvbuf(file, nullptr, _IOFBF, kChunk);
                Emit(file);
                const bool failed = std::fflush(file) != 0 || std::ferror(file) != 0;
                if (failed) {
                    throw FileError(
                        failure + "書き込みが途中で失敗しました (ディスクの空きを確かめて下さい)");
                }
            },
            options);
    }

private:
    [[nodiscard]] bool Erased(std::size_t i) const noexcept {
        return i < m_state.erased.size() && m_state.erased[i] != 0;
    }
    [[nodiscard]] std::uint32_t KeyOf(std::size_t i) const noexcept {
        return i < m_state.recordKeys.size() ? m_state.recordKeys[i] : kNoRecordKey;
    }
    // An entity the save writes as a LINE or ARC of its own.
    [[nodiscard]] bool WrittenAsOwn(std::size_t i) const noexcept {
        return !Erased(i) && KeyOf(i) == kNoRecordKey;
    }
    [[nodiscard]] const RecordEdit* EditOf(std::uint32_t key) const {
        if (m_state.recordEdits == nullptr) return nullptr;
        const auto found = m_state.recordEdits->find(key);
        return found == m_state.recordEdits->end() ? nullptr : &found->second;
    }
    [[nodiscard]] const std::string& LayerName(std::int32_t number) const {
        return m_layers[m_index.at(number)].dxfName;
    }

    [[nodiscard]] std::size_t Loaded() const noexcept {
        return std::min(m_source.entityRecord.size(), m_state.entities.size());
    }
    [[nodiscard]] std::string Encode(std::string_view text) const {
        return EncodeDxfString(text, m_source.version, m_source.codePage);
    }
    [[nodiscard]] std::string Decode(std::string_view raw) const {
        return DecodeDxfString(raw, m_source.version, m_source.codePage);
    }

    // Which layers need a record written or re-emitted, and their DXF names.
    void PlanLayers() {
        std::unordered_map<std::int32_t, const DxfLayerEntry*> entries;
        for (const DxfLayerEntry& entry : m_source.layers)
            entries.emplace(entry.read.number, &entry);
        std::unordered_set<std::int32_t> planned;
        for (const LayerData& layer : m_state.layers) {
            if (planned.insert(layer.number).second) PlanBoardLayer(layer, entries);
        }
        // A layer the table lacks that something new names: as the file has it, or a new one.
        const auto planUsed = [&](std::int32_t number) {
            if (planned.insert(number).second) PlanUsedLayer(number, entries);
        };
        for (std::size_t i = Loaded(); i < m_state.entities.size(); ++i) {
            if (WrittenAsOwn(i)) planUsed(m_state.entities[i].layer);
        }
        if (CurrentLayerChanged()) planUsed(*m_state.currentLayer);
        NameNewLayers();
        for (const LayerPlan& plan : m_layers) {
            if (plan.newRecord || plan.rewrite) NoteLayerLosses(plan.data);
            m_index.emplace(plan.data.number, static_cast<std::size_t>(&plan - m_layers.data()));
        }
        for (const DxfLayerEntry& entry : m_source.layers) {
            if (entry.record != kNoDxfRecord && !planned.contains(entry.read.number)) {
                m_losses.push_back(Label(entry.read) +
                                   "の削除は保存されません (ファイルにはそのまま残ります)");
            }
        }
    }

    // A layer of the board: its record kept, re-emitted with its changes, or new to the file.
    void PlanBoardLayer(const LayerData& layer,
                        const std::unordered_map<std::int32_t, const DxfLayerEntry*>& entries) {
        LayerPlan plan;
        plan.data = layer;
        if (const auto found = entries.find(layer.number); found != entries.end()) {
            plan.entry = found->second;
            plan.dxfName = plan.entry->rawName;
            const bool changed = !(layer == plan.entry->read);
            plan.rewrite = changed && plan.entry->record != kNoDxfRecord;
            plan.newRecord = changed && plan.entry->record == kNoDxfRecord;
        } else {
            plan.newRecord = true;
        }
        m_layers.push_back(std::move(plan));
    }

    void PlanUsedLayer(std::int32_t number,
                       const std::unordered_map<std::int32_t, const DxfLayerEntry*>& entries) {
        LayerPlan plan;
        if (const auto found = entries.find(number); found != entries.end()) {
            plan.data = found->second->read;
            plan.entry = found->second;
            plan.dxfName = found->second->rawName;
        } else {
            plan.data = LayerData{number, std::to_string(number), {}, true};
            plan.newRecord = true;
        }
        m_layers.push_back(std::move(plan));
    }

    // DXF names for the layers new to the file: the board's name made valid, with the number
    // (and a count) added where another layer of the file takes it.
    void NameNewLayers() {
        std::unordered_set<std::string> takenKeys;
        for (const DxfLayerEntry& entry : m_source.layers) {
            takenKeys.insert(LayerKey(entry.rawName));
            takenKeys.insert(LayerKey(Decode(entry.rawName)));
        }
        for (LayerPlan& plan : m_layers) {
            if (plan.entry != nullptr) continue;
            std::string name = SanitizeLayerName(plan.data.name);
            if (name.empty()) name = std::to_string(plan.data.number);
            if (takenKeys.contains(LayerKey(name))) {
                const std::string base = name + "_" + std::to_string(plan.data.number);
                name = base;
                for (int i = 2; takenKeys.contains(LayerKey(name)); ++i) {
                    name = base + "_" + std::to_string(i);
                }
            }
            takenKeys.insert(LayerKey(name));
            plan.dxfName = Encode(name);
        }
    }

    // What a layer record written anew cannot keep: a colour this version has no number for,
    // control characters in the name.
    void NoteLayerLosses(const LayerData& layer) {
        const std::int32_t aci = NearestAci(layer.colour);
        if (!WritesTrueColour(m_source) && AciToRgb(aci) != layer.colour) {
            const Rgb c = layer.colour;
            m_losses.push_back(Label(layer) + "の色 (" + std::to_string(c.r) + ", " +
                               std::to_string(c.g) + ", " + std::to_string(c.b) + ") はこの版 (" +
                               m_source.version + ") の DXF では色番号 " + std::to_string(aci) +
                               " (近い色) になります");
        }
        if (WithoutControls(layer.name) != layer.name) {
            m_losses.push_back(Label(layer) + "の名前の制御文字 (改行など) は「_」になります");
        }
    }

    void CheckLoadedEntities() {
        const std::size_t loaded = Loaded();
        if (m_state.entities.size() < m_source.entityRecord.size()) {
            m_losses.push_back("読み込んだ図形のうち " +
                               std::to_string(m_source.entityRecord.size() - loaded) +
                               " 個が図面にありませんが、ファイルからは消えません");
        }
        std::size_t edited = 0;
        for (std::size_t i = 0; i < loaded; ++i) {
            // An erased or placed record is written as edited; only other changes are lost.
            if (Erased(i) || EntityPrint(m_state.entities[i]) == m_source.entityPrint[i]) continue;
            if (EditOf(m_source.entityRecord[i]) == nullptr) ++edited;
        }
        if (edited > 0) {
            m_losses.push_back("読み込んだ図形 " + std::to_string(edited) +
                               " 個への変更は保存されません (元のまま残ります)");
        }
        if (!m_source.Modern()) {
            std::size_t hidden = 0;
            for (std::size_t i = loaded; i < m_state.entities.size(); ++i) {
                if (WrittenAsOwn(i) && !m_state.entities[i].visible) ++hidden;
            }
            if (hidden > 0) {
                m_losses.push_back("非表示の図形 " + std::to_string(hidden) + " 個は R12 の DXF " +
                                   "では表示される図形になります");
            }
        }
        if (UnitChanged() && !UnitWritable()) {
            m_losses.push_back("図面の単位はこの版 (" + m_source.version +
                               ") の DXF には保存できません");
        }
        const bool exactScale = m_state.scaleNumerator == 1 || m_state.scaleDenominator == 1;
        if (ScaleChanged() && !PropertyWritable() && !exactScale) {
            m_losses.push_back("縮尺 " + std::to_string(m_state.scaleNumerator) + ":" +
                               std::to_string(m_state.scaleDenominator) + " はこの版 (" +
                               m_source.version +
                               ") の DXF では $DIMSCALE の倍率としてだけ残ります");
        }
    }

    [[nodiscard]] bool CurrentLayerChanged() const {
        return m_state.currentLayer && *m_state.currentLayer != m_source.currentLayer;
    }
    [[nodiscard]] bool UnitChanged() const {
        return m_state.unitCode && *m_state.unitCode != m_source.unitCode;
    }
    // $INSUNITS came with AutoCAD 2000.
    [[nodiscard]] bool UnitWritable() const { return m_source.version >= "AC1015"; }

    [[nodiscard]] bool ScaleChanged() const {
        return m_state.scaleNumerator != m_source.scaleNumerator ||
               m_state.scaleDenominator != m_source.scaleDenominator;
    }
    [[nodiscard]] bool PropertyWritable() const { return m_source.version >= "AC1018"; }

    void CheckEntity(std::size_t index, const std::string& failure) const {
        const EntityData& entity = m_state.entities[index];
        bool good = false;
        switch (entity.kind) {
            case EntityKind::Line:
                good = InRange(entity.start) && InRange(entity.end);
                break;
            case EntityKind::Arc:
                good = InRange(entity.start) && InRange(entity.end) && InRange(entity.center) &&
                       entity.radius > 0.0 && entity.radius <= kDxfMaxCoordinate;
                break;
        }
        if (!good) {
            throw FileError(failure + std::to_string(index + 1) +
                            " 番目の図形の座標が扱える範囲を超えています");
        }
    }

    [[nodiscard]] std::uint64_t NewHandle() { return m_source.handles ? m_next++ : 0; }

    // At most how many handles the save gives: new layers, the tables it may make, new entities,
    // and every record of each copy (an insert's attributes and end included).
    [[nodiscard]] std::uint64_t HandlesNeeded() const {
        std::uint64_t needed = 4 + m_layers.size() + (m_state.entities.size() - Loaded());
        if (m_state.recordEdits != nullptr) {
            for (const auto& [key, edit] : *m_state.recordEdits) {
                if (!IsCopyKey(key) || edit.from || edit.source + 1 >= m_source.records.size())
                    continue;
                needed += DxfRecordEnd(m_source, edit.source) - edit.source;
                needed += DxfOwnBlockCopyHandles(m_source, edit.source) +
                          DxfObjectCopyHandles(m_source, edit.source);
            }
        }
        return needed + m_paste->HandlesNeeded();
    }

    std::string TableHead(const char* name, std::uint64_t handle, std::size_t count) const {
        DxfEmitter out(m_source.layout);
        out.Text(0, "TABLE");
        out.Text(2, name);
        if (m_source.Modern()) {
            out.Handle(5, handle);
            out.Text(330, "0");
            out.Text(100, "AcDbSymbolTable");
        }
        out.Integer(70, writer::TableCount(m_source, static_cast<std::int64_t>(count)));
        return std::move(out.Out());
    }

    std::string SectionStart(const char* name) const {
        DxfEmitter out(m_source.layout);
        out.Text(0, "SECTION");
        out.Text(2, name);
        return std::move(out.Out());
    }

    void PatchCount(const DxfTablePlace& table, std::size_t added) {
        if (added == 0 || !table.count.found) return;
        DxfEmitter out(m_source.layout);
        out.Integer(
            70, writer::TableCount(m_source, table.countValue + static_cast<std::int64_t>(added)));
        m_patches.push_back({table.count.begin, table.count.end, std::move(out.Out())});
    }

    // Records added to a table; the table (and the TABLES section) made when the file has none.
    void AddToTable(const DxfTablePlace& table, const char* name, std::uint64_t headHandle,
                    std::string records, std::size_t count, std::string& newTables) {
        if (count == 0) return;
        if (table.found) {
            // Past a table without its ENDTAB the next records may belong to anything.
            if (!table.closed) {
                throw FileError(m_failure + std::string(name) +
                                " テーブルの終わり (ENDTAB) がなく、新しい記録を安全に置ける場所" +
                                "がありません (元のファイルはそのままです)");
            }
            m_patches.push_back({table.endTab, table.endTab, std::move(records)});
            PatchCount(table, count);
            return;
        }
        std::string whole =
            writer::Wrapped(m_source, TableHead(name, headHandle, count), records, "ENDTAB");
        if (m_source.tables.found) {
            m_patches.push_back({m_source.tables.end, m_source.tables.end, std::move(whole)});
        } else {
            newTables += whole;
        }
    }

    // The closing records the file lacked (see DxfClosing).
    void Closings() {
        for (const DxfClosing& closing : m_source.closings) {
            DxfEmitter out(m_source.layout);
            if (!closing.seqend) {
                out.Text(0, "ENDSEC");
                m_patches.push_back(
                    {closing.at, closing.at, std::move(out.Out()), false, Order::SectionEnd});
                continue;
            }
            out.Text(0, "SEQEND");
            if (m_source.handles) out.Handle(5, NewHandle());
            if (m_source.Modern()) {
                out.Text(330, closing.owner.empty() ? std::string("0") : closing.owner);
                out.Text(100, "AcDbEntity");
            }
            out.Text(8, closing.layer);
            m_patches.push_back(
                {closing.at, closing.at, std::move(out.Out()), false, Order::Sequence});
        }
    }

    // Every change the save makes to the file's bytes, in the file's order. Handles are given
    // in this order: closings, the layer table, layers, the APPID table and record, entities.
    void BuildPatches() {
        m_next = FirstSaveHandle(m_source, HandlesNeeded(), m_failure);
        Closings();
        m_paste->Emit(m_next, m_objects);
        m_blockNames = m_paste->AddCopiedOwnBlocks(m_state.recordEdits, m_next);
        std::string newTables;
        const bool ourAppid = LayerPatches(newTables) && !m_source.hasOurAppid;
        if (ourAppid || m_paste->tables.contains("APPID")) AppidPatch(newTables, ourAppid);
        PastedTables(newTables);
        if (!newTables.empty()) {
            DxfEmitter end(m_source.layout);
            end.Text(0, "ENDSEC");
            m_patches.push_back({m_source.tablesInsert, m_source.tablesInsert,
                                 SectionStart("TABLES") + newTables + end.Out(), false,
                                 Order::NewSection});
        }
        EntityPatches();
        HeaderPatches();
        std::stable_sort(m_patches.begin(), m_patches.end(), [](const Patch& a, const Patch& b) {
            return a.begin != b.begin ? a.begin < b.begin : a.order < b.order;
        });
    }

    // Layer records rewritten in place and new ones added to the table (made in newTables when
    // the file has none); true when a record carries Pelimator's data.
    bool LayerPatches(std::string& newTables) {
        const bool layerTableMissing = !m_source.layerTable.found;
        const std::uint64_t layerHead = layerTableMissing ? NewHandle() : 0;
        m_layerTableHandle = layerTableMissing ? HandleText(layerHead) : m_source.layerTable.handle;
        std::string layerRecords;
        std::size_t newLayers = 0;
        bool ourData = false;
        for (LayerPlan& plan : m_layers) {
            if (plan.rewrite) {
                const std::size_t record = plan.entry->record;
                m_patches.push_back({m_source.records[record], m_source.records[record + 1],
                                     RewrittenLayer(m_source, plan)});
                ourData = ourData || NeedsOurData(m_source, plan);
            } else if (plan.newRecord) {
                plan.handle = NewHandle();
                layerRecords += NewLayerRecord(m_source, plan, m_layerTableHandle);
                ++newLayers;
                ourData = true;
            }
        }
        if (const auto pasted = m_paste->tables.find("LAYER"); pasted != m_paste->tables.end()) {
            layerRecords += pasted->second.records;
            newLayers += pasted->second.count;
        }
        AddToTable(m_source.layerTable, "LAYER", layerHead, std::move(layerRecords), newLayers,
                   newTables);
        return ourData;
    }

    // Pelimator's application name registered (ours), for the layers' extended data, and those
    // pasted records name.
    void AppidPatch(std::string& newTables, bool ours) {
        const std::uint64_t appidHead = m_source.appidTable.found ? 0 : NewHandle();
        DxfEmitter out(m_source.layout);
        std::size_t count = 0;
        if (ours) {
            RecordHead(
                out, m_source, "APPID", NewHandle(),
                m_source.appidTable.found ? m_source.appidTable.handle : HandleText(appidHead),
                {"AcDbSymbolTableRecord", "AcDbRegAppTableRecord"});
            out.Text(2, kDxfAppName);
            out.Integer(70, 0);
            ++count;
        }
        if (const auto pasted = m_paste->tables.find("APPID"); pasted != m_paste->tables.end()) {
            out.Raw(pasted->second.records);
            count += pasted->second.count;
        }
        AddToTable(m_source.appidTable, "APPID", appidHead, std::move(out.Out()), count, newTables);
    }

    // Records pasted from other files: what they need added to the tables (but the layers and
    // application names, added above) and the blocks.
    void MakePaste() {
        std::vector<DxfPasted> pastes;
        if (m_state.recordEdits != nullptr) {
            std::vector<std::uint32_t> keys;
            for (const auto& [key, edit] : *m_state.recordEdits) {
                if (IsCopyKey(key) && edit.from && !edit.erased) keys.push_back(key);
            }
            std::sort(keys.begin(), keys.end());
            for (const std::uint32_t key : keys) {
                const RecordEdit& edit = m_state.recordEdits->at(key);
                pastes.push_back({&edit, edit.layer ? Decode(LayerName(*edit.layer)) : ""});
            }
        }
        std::unordered_set<std::string> layers;
        for (const LayerPlan& plan : m_layers) layers.insert(LayerKey(Decode(plan.dxfName)));
        m_paste = std::make_unique<DxfPaste>(
            m_source, std::move(pastes),
            [layers](const std::string& name) { return layers.contains(LayerKey(name)); });
    }

    void PastedTables(std::string& newTables) {
        for (auto& [name, added] : m_paste->tables) {
            if (name == "LAYER" || name == "APPID") continue;
            DxfTablePlace place;
            if (const auto found = m_paste->TargetMap().tables.find(name);
                found != m_paste->TargetMap().tables.end()) {
                place = found->second;
            }
            const std::uint64_t head = place.found ? 0 : NewHandle();
            AddToTable(place, name.c_str(), head, std::move(added.records), added.count, newTables);
        }
        const std::size_t styles = m_paste->objectsAt;  // table styles copied
        if (!m_paste->objects.empty()) m_patches.push_back({styles, styles, m_paste->objects});
        if (m_paste->blocks.empty()) return;
        if (m_paste->TargetMap().blocksEnd != kNoDxfRecord) {
            const std::size_t at = m_paste->TargetMap().blocksEnd;
            m_patches.push_back({at, at, std::move(m_paste->blocks)});
        } else if (m_source.entities.found) {
            DxfEmitter end(m_source.layout);
            end.Text(0, "ENDSEC");
            const std::size_t at = m_source.entities.begin;
            m_patches.push_back({at, at, SectionStart("BLOCKS") + m_paste->blocks + end.Out(),
                                 false, Order::NewSection});
        }
    }

    // Where the new entities and copies go (an ENTITIES section made when the file has none),
    // and the records edited in place.
    void EntityPatches() {
        m_firstEntityHandle = m_next;
        std::size_t newEntities = 0;
        for (std::size_t i = Loaded(); i < m_state.entities.size(); ++i) {
            if (WrittenAsOwn(i)) ++newEntities;
        }
        if (m_source.handles) m_next += newEntities;
        RecordPatches();
        m_copies += m_paste->entities;
        if (newEntities == 0 && m_copies.empty()) return;
        if (m_source.entities.found) {
            m_patches.push_back({m_source.entities.end, m_source.entities.end, {}, true});
            return;
        }
        DxfEmitter end(m_source.layout);
        end.Text(0, "ENDSEC");
        const std::size_t at = m_source.entitiesInsert;
        m_patches.push_back({at, at, SectionStart("ENTITIES"), false, Order::NewSection});
        m_patches.push_back({at, at, {}, true, Order::NewSection});
        m_patches.push_back({at, at, std::move(end.Out()), false, Order::NewSection});
    }

    [[nodiscard]] std::string LayerOf(const RecordEdit& edit) const {
        return edit.layer ? LayerName(*edit.layer) : std::string();
    }

    // Records erased, placed or put on another layer are replaced in place (the placed ones
    // rewritten ahead, on several threads when many); copies are written after the new entities,
    // in the order they were made.
    void RecordPatches() {
        if (m_state.recordEdits == nullptr) return;
        std::vector<std::pair<std::uint32_t, const RecordEdit*>> edits;
        for (const auto& [key, edit] : *m_state.recordEdits) edits.emplace_back(key, &edit);
        std::sort(edits.begin(), edits.end());
        std::vector<writer::Rewritten> ahead = writer::RewriteInPlace(
            m_source, edits, [&](const RecordEdit& edit) { return LayerOf(edit); });
        for (std::size_t k = 0; k < edits.size(); ++k) {
            const RecordEdit& edit = *edits[k].second;
            if (edit.from || edit.source + 1 >= m_source.records.size()) continue;
            if (IsCopyKey(edits[k].first)) {
                if (edit.erased) continue;
                const std::uint64_t handle = m_source.handles ? m_next : 0;
                std::string copy = RewriteDxfRecord(m_source, edit.source, edit.placements,
                                                    LayerOf(edit), true, m_next);
                if (DxfCopyTakesObjects(m_source, edit.source)) {
                    copy = m_objects.Add(edit.source, copy, m_next > handle ? handle : 0, m_next);
                }
                m_copies += WithDxfBlockName(m_source, copy, m_blockNames[edits[k].first]);
                continue;
            }
            std::size_t end = 0;
            std::string bytes;
            if (edit.erased) {
                end = DxfRecordEnd(m_source, edit.source);
            } else {
                bytes = writer::Take(ahead[k], end);
            }
            m_patches.push_back(
                {m_source.records[edit.source], m_source.records[end], std::move(bytes)});
            if (!edit.erased && !edit.placements.empty()) ContentPatches(edit);
        }
        for (DxfObjectPatch& patch : m_objects.Patches()) {
            m_patches.push_back({patch.begin, patch.end, std::move(patch.bytes)});
        }
    }

    // A placed dimension's block content placed with it (its points are the drawing's); a scaled
    // table's scaled about the block's origin (its content is in the table's frame).
    void ContentPatches(const RecordEdit& edit) {
        for (auto& [first, end, bytes] :
             DxfScaledTableBlock(m_source, edit.source, edit.placements))
            m_patches.push_back({m_source.records[first], m_source.records[end], std::move(bytes)});
        for (const std::size_t r : DxfDimensionContent(m_source, edit.source)) {
            std::uint64_t unused = 0;
            const std::size_t end = DxfRecordEnd(m_source, r);
            m_patches.push_back(
                {m_source.records[r], m_source.records[end],
                 RewriteDxfRecord(m_source, r, edit.placements, {}, false, unused)});
        }
    }

    // The value tag of a header variable: patched where the file has it, else added to vars.
    void Replace(const DxfPlace& place, const char* variable, std::string value, DxfEmitter& vars) {
        if (place.found) {
            m_patches.push_back({place.begin, place.end, std::move(value)});
            return;
        }
        vars.Text(9, variable);
        vars.Raw(value);
    }

    void HeaderPatches() {
        DxfEmitter vars(m_source.layout);
        SeedPatch(vars);
        if (ScaleChanged()) ScalePatches(vars);
        if (CurrentLayerChanged()) {
            DxfEmitter name(m_source.layout);
            name.Text(8, m_layers[m_index.at(*m_state.currentLayer)].dxfName);
            Replace(m_source.currentLayerTag, "$CLAYER", std::move(name.Out()), vars);
        }
        if (UnitChanged() && UnitWritable()) {
            DxfEmitter unit(m_source.layout);
            unit.Integer(70, *m_state.unitCode);
            Replace(m_source.unitTag, "$INSUNITS", std::move(unit.Out()), vars);
        }
        if (vars.Out().empty()) return;
        if (m_source.header.found) {
            m_patches.push_back({m_source.header.end, m_source.header.end, std::move(vars.Out())});
            return;
        }
        DxfEmitter end(m_source.layout);
        end.Text(0, "ENDSEC");
        // First among insertions at the file's start: the header leads every file.
        m_patches.insert(m_patches.begin(), {m_source.layout.begin, m_source.layout.begin,
                                             SectionStart("HEADER") + vars.Out() + end.Out(), false,
                                             Order::NewSection});
    }

    // $HANDSEED past the handles the save gave. A seed lowered below the file's handles would
    // hand them out again.
    void SeedPatch(DxfEmitter& vars) {
        if (m_source.handles && m_next != m_source.nextHandle && m_next > m_source.maxHandle) {
            DxfEmitter seed(m_source.layout);
            seed.Handle(5, m_next);
            Replace(m_source.handSeed, "$HANDSEED", std::move(seed.Out()), vars);
        }
    }

    // The scale: $DIMSCALE's factor, and the exact ratio where the version has properties.
    void ScalePatches(DxfEmitter& vars) {
        DxfEmitter factor(m_source.layout);
        factor.Real(40, static_cast<double>(m_state.scaleDenominator) / m_state.scaleNumerator);
        Replace(m_source.dimScale, "$DIMSCALE", std::move(factor.Out()), vars);
        const std::string exact =
            std::to_string(m_state.scaleNumerator) + ":" + std::to_string(m_state.scaleDenominator);
        if (m_source.scaleProperty.found) {
            DxfEmitter value(m_source.layout);
            value.Text(1, exact);
            m_patches.push_back(
                {m_source.scaleProperty.begin, m_source.scaleProperty.end, std::move(value.Out())});
        } else if (PropertyWritable()) {
            vars.Text(9, "$CUSTOMPROPERTYTAG");
            vars.Text(1, kDxfScaleProperty);
            vars.Text(9, "$CUSTOMPROPERTY");
            vars.Text(1, exact);
        }
    }

    static void Put(std::FILE* file, std::string_view bytes) {
        if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
    }

    void EmitEntities(std::FILE* file) const {
        DxfEmitter out(m_source.layout);
        std::string cachedLayerName;
        std::int32_t cachedLayer = 0;
        bool cached = false;
        std::uint64_t handle = m_firstEntityHandle;
        for (std::size_t i = Loaded(); i < m_state.entities.size(); ++i) {
            if (!WrittenAsOwn(i)) continue;
            const EntityData& entity = m_state.entities[i];
            if (!cached || entity.layer != cachedLayer) {
                cachedLayer = entity.layer;
                cachedLayerName = m_layers[m_index.at(entity.layer)].dxfName;
                cached = true;
            }
            NewEntityRecord(out, m_source, entity, m_source.handles ? handle++ : 0,
                            cachedLayerName);
            if (out.Out().size() >= kChunk) {
                Put(file, out.Out());
                out.Out().clear();
            }
        }
        Put(file, out.Out());
        Put(file, m_copies);
    }

    // The file's bytes [at, end). A long run goes straight to the file in writes that start at
    // a multiple of the chunk there: the system then fills whole pages of its cache, rather than
    // clearing the rest of a page the next write fills (an edited record ahead of the run left
    // every later write off the page boundary, a tenth more time for the save).
    static void Copy(std::FILE* file, const FileBytes& bytes, std::size_t at, std::size_t end) {
        if (end > at && end - at >= 2 * kChunk) {
            std::fflush(file);
            if (const off_t out = ::ftello(file); out >= 0) {
                const std::size_t head = (kChunk - static_cast<std::size_t>(out) % kChunk) % kChunk;
                (void)WriteReleasing(file, bytes, at, at + head);
                std::fflush(file);
                at += head;
            }
        }
        (void)WriteReleasing(file, bytes, at, end);
    }

    // Failed writes show in ferror(file), which the caller checks.
    void Emit(std::FILE* file) const {
        const FileBytes& bytes = m_source.bytes;
        std::size_t at = 0;
        for (const Patch& patch : m_patches) {
            Copy(file, bytes, at, patch.begin);
            if (patch.entities) {
                EmitEntities(file);
            } else {
                Put(file, patch.bytes);
            }
            at = patch.end;
        }
        Copy(file, bytes, at, bytes.size());
    }

    const DxfSource& m_source;
    const DrawingState& m_state;
    std::vector<LayerPlan> m_layers;
    std::unordered_map<std::int32_t, std::size_t> m_index;  // layer number -> m_layers
    std::vector<std::string> m_losses;
    std::vector<Patch> m_patches;
    std::uint64_t m_next = 1;
    std::uint64_t m_firstEntityHandle = 1;
    std::string m_copies;               // copied records, written after the new entities
    std::unique_ptr<DxfPaste> m_paste;  // records pasted from other files
    std::unordered_map<std::uint32_t, DxfCopiedBlock> m_blockNames;  // a copy's own block, if any
    DxfObjectCopies m_objects{m_source};  // reactors of copied images, definitions listing them
    std::string m_layerTableHandle;
    std::string m_failure;  // how a refusal's message starts
};

}  // namespace

std::vector<std::string> DxfSaveLosses(const DxfSource& source, const DrawingState& state) {
    return Saver(source, state).Losses();
}

std::string SavedDxfBytes(const DxfSource& source, const DrawingState& state) {
    return Saver(source, state).Bytes();
}

void WriteDxf(const std::string& path, const DxfSource& source, const DrawingState& state) {
    Saver(source, state).Write(path);
}

void WriteDxfFile(const std::string& path, const DrawingContent& content) {
    const DrawingState state{content.layers,
                             content.entities,
                             content.scaleNumerator,
                             content.scaleDenominator,
                             content.currentLayer,
                             content.unitCode,
                             {},
                             {},
                             nullptr};
    WriteDxf(path, *NewDrawingSource(), state);
}

}  // namespace pelimator::board

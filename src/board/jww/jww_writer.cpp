// Saving JWW files: the read bytes as they were, the board's new lines and arcs appended to the
// entity list in the file's version, and the archive's tags after them renumbered.
//
// The archive numbers classes and objects together in the order they are first stored, so an
// entity added at the end of the entity list moves the number of everything after it (the block
// definitions) by one, and a class it introduces (say the first arc of a file whose only arcs are
// inside blocks) is stored with it, the later definition becoming a reference.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <numbers>

#include "base/errors.h"
#include "base/file.h"
#include "board/jww/jww_archive.h"
#include "board/jww/jww_file.h"
#include "board/jww/jww_record.h"

namespace pelimator::board {

namespace {

using jww::TagKind;

// Where saved bytes go: kept in memory, or written to a file in large pieces (big runs of the read
// bytes straight from the source, without a copy). Every write goes through Append, which sends
// the buffer on to the file once it is large.
class Out {
public:
    explicit Out(std::FILE* file = nullptr) : m_file(file) {}

    void Append(std::string_view bytes) {
        if (m_file != nullptr && bytes.size() >= kDirect) {
            Flush();
            Write(bytes);
            return;
        }
        m_buffer.append(bytes);
        if (m_file != nullptr && m_buffer.size() >= kDirect) Flush();
    }
    // source[begin, end): a big run is written straight from the read file and then released.
    void Append(const FileBytes& source, std::size_t begin, std::size_t end) {
        if (m_file == nullptr || end - begin < kDirect) {
            Append(source.substr(begin, end - begin));
            return;
        }
        Flush();
        if (!WriteReleasing(m_file, source, begin, end)) throw FileError(kWriteFailed);
    }
    void Flush() {
        if (m_file == nullptr || m_buffer.empty()) return;
        Write(m_buffer);
        m_buffer.clear();
    }
    // What was written, when kept in memory.
    [[nodiscard]] std::string Take() && { return std::move(m_buffer); }

private:
    static constexpr std::size_t kDirect = std::size_t{1} << 20U;
    static constexpr const char* kWriteFailed =
        "保存できません: 書き込みが途中で失敗しました (ディスクの空きを確かめて下さい)";
    void Write(std::string_view bytes) {
        if (std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size()) {
            throw FileError(kWriteFailed);
        }
    }
    std::FILE* m_file;
    std::string m_buffer;  // small writes go here
};

class Saver {
public:
    Saver(const JwwSource& source, const DrawingState& state) : m_source(source), m_state(state) {}

    // What the save cannot keep. Each is an edit of the drawing the file will not hold, so a
    // save with any of them leaves the drawing modified.
    [[nodiscard]] std::vector<std::string> Losses() const {
        std::vector<std::string> losses;
        EntityLosses(losses);
        LayerLosses(losses);
        return losses;
    }

    // Writes the file once: the header as read, the entity list with its edits, the copies and
    // the board's new lines and arcs after it, and what follows the list renumbered.
    void Emit(Out& sink) {
        CheckNew();
        m_source.bytes.CheckSound();
        sink.Append(m_source.bytes.substr(0, m_source.entityCountAt));  // the header as read
        const std::vector<std::uint32_t> copies = CopyKeys();
        PutEntityCount(sink, copies.size());
        // The map is numbered anew as the records are written: classes at their first use,
        // objects in order. What a left-out record defined moves to the next of its class.
        m_classNew.assign(m_source.classNames.size(), 0);
        m_objectNew.assign(m_source.mapCount, 0);
        m_next = 1;
        EmitList(sink);
        EmitCopies(sink, copies);
        EmitNew(sink);
        EmitTail(sink);
        sink.Flush();
    }

private:
    // Indices of the objects and classes stored after the list, as the save numbers them: entry
    // i is what the file numbered mapCount + i.
    struct TailIndex {
        std::vector<std::uint32_t> moved;       // new index
        std::vector<std::uint16_t> movedClass;  // its class, for a class entry (else kNoClass)
        void Add(std::uint32_t index, std::uint16_t classId) {
            moved.push_back(index);
            movedClass.push_back(classId);
        }
    };

    void EntityLosses(std::vector<std::string>& losses) const {
        const std::size_t read = m_source.entityPrint.size();
        const std::size_t loaded = Loaded();
        if (m_state.entities.size() < read) {
            losses.push_back("読み込んだ図形のうち " + std::to_string(read - loaded) +
                             " 個が図面にありませんが、ファイルからは消えません");
        }
        if (const std::size_t edited = EditedAsRead(); edited > 0) {
            losses.push_back("読み込んだ図形 " + std::to_string(edited) +
                             " 個への変更は保存されません (元のまま残ります)");
        }
        std::size_t outside = 0;
        std::size_t hidden = 0;
        for (std::size_t i = loaded; i < m_state.entities.size(); ++i) {
            if (!WrittenAsOwn(i)) continue;
            const EntityData& e = m_state.entities[i];
            if (e.layer < 0 || e.layer >= 256) ++outside;
            if (!e.visible) ++hidden;
        }
        const std::string writeLayer = LayerText(m_source.WriteLayer());
        if (outside > 0) {
            losses.push_back("JWW にないレイヤ番号の図形 " + std::to_string(outside) +
                             " 個は書込レイヤ " + writeLayer + " に保存します");
        }
        if (hidden > 0) {
            losses.push_back("非表示の図形 " + std::to_string(hidden) +
                             " 個は JWW では表示される図形になります");
        }
        if (const std::size_t moved = RecordsMovedOutside(); moved > 0) {
            losses.push_back("JWW にないレイヤ番号に移した図形 " + std::to_string(moved) +
                             " 個は書込レイヤ " + writeLayer + " に保存します");
        }
    }

    // Entities read from the file and changed other than by a record edit (erased or placed
    // records are written as edited).
    [[nodiscard]] std::size_t EditedAsRead() const {
        std::size_t edited = 0;
        for (std::size_t i = 0; i < Loaded(); ++i) {
            if (Erased(i) || KeyOf(i) != kNoRecordKey) continue;
            if (i < m_source.entityRecord.size() && EditOf(m_source.entityRecord[i]) != nullptr) {
                continue;
            }
            if (JwwEntityPrint(m_state.entities[i]) != m_source.entityPrint[i]) ++edited;
        }
        return edited;
    }

    [[nodiscard]] std::size_t RecordsMovedOutside() const {
        std::size_t moved = 0;
        if (m_state.recordEdits == nullptr) return 0;
        for (const auto& [key, edit] : *m_state.recordEdits) {
            if (!edit.erased && edit.layer && (*edit.layer < 0 || *edit.layer >= 256)) ++moved;
        }
        return moved;
    }

    void LayerLosses(std::vector<std::string>& losses) const {
        std::size_t beyond = 0;
        std::size_t changed = 0;
        const std::vector<LayerData> asRead = JwwLayerTable(m_source.header);
        for (const LayerData& layer : m_state.layers) {
            if (layer.number < 0 || layer.number >= 256) {
                ++beyond;
                continue;
            }
            const LayerData& was = asRead[static_cast<std::size_t>(layer.number)];
            if (!m_source.converted && (layer.name != was.name || layer.visible != was.visible)) {
                ++changed;
            }
        }
        // The board shows a JWW drawing at 1:1 (its units are paper millimetres).
        if (!m_source.converted && (m_state.scaleNumerator != 1 || m_state.scaleDenominator != 1)) {
            losses.emplace_back(
                "縮尺の変更は JWW には保存されません (縮尺はレイヤグループごとに "
                "ファイルのまま残ります)");
        }
        if (beyond > 0) {
            losses.push_back("番号が 0〜255 でないレイヤ " + std::to_string(beyond) +
                             " 枚は JWW にはありません (JWW のレイヤは 16 グループ × 16 枚です)");
        }
        if (changed > 0) {
            losses.push_back("レイヤ " + std::to_string(changed) +
                             " 枚の名前・表示の変更は JWW には保存されません");
        }
    }

    // The list's count: the records kept, the copies and the new entities.
    void PutEntityCount(Out& sink, std::uint64_t copies) const {
        std::uint64_t count = copies;
        for (std::size_t r = 0; r < m_source.records.size(); ++r) {
            if (!IsErasedRecord(static_cast<std::uint32_t>(r))) ++count;
        }
        for (std::size_t i = Loaded(); i < m_state.entities.size(); ++i) {
            if (WrittenAsOwn(i)) ++count;
        }
        if (count > 0xFFFFFFFEULL) throw FileError("保存できません: 図形が多すぎます");
        std::string bytes;
        jww::PutCount(bytes, static_cast<std::uint32_t>(count));
        sink.Append(bytes);
    }

    // The file's entity list: a record whose tag reads the same where the save puts it is
    // copied with what follows; an edited one, or one numbered anew, is written again.
    void EmitList(Out& sink) {
        std::size_t copied = m_source.entityCountEnd;  // the file's bytes written up to here
        for (std::size_t r = 0; r < m_source.records.size(); ++r) {
            const JwwRecord& record = m_source.records[r];
            const RecordEdit* edit = EditOf(static_cast<std::uint32_t>(r));
            if (edit == nullptr && KeepsItsBytes(record)) {
                KeepNumbers(record);
                continue;
            }
            if (record.nested && (edit == nullptr || !edit->erased)) {
                // Its own objects' tags would need numbering anew too: not kept as read.
                throw FileError(
                    "保存できません: 図形の一覧の中にブロック定義があり、その前の図形を消したり"
                    "変えたりした図面は書けません");
            }
            sink.Append(m_source.bytes, copied, record.at);
            copied = record.end;
            if (edit == nullptr || !edit->erased) EmitRecord(sink, record, edit);
        }
        sink.Append(m_source.bytes, copied, m_source.entitiesEnd);
    }

    // A record copied as read: its class and object take the numbers they had.
    void KeepNumbers(const JwwRecord& record) {
        if (record.tag == TagKind::NewClass) m_classNew[record.classId] = Next();
        if (record.tag == TagKind::NewClass || record.tag == TagKind::ClassRef) {
            m_objectNew[record.object] = Next();
        }
    }

    // A record of the list written again: its tag numbered anew, its fields as read or edited.
    void EmitRecord(Out& sink, const JwwRecord& record, const RecordEdit* edit) {
        std::string tag;
        switch (record.tag) {
            case TagKind::Null:
                jww::PutWord(tag, jww::kNullTag);
                sink.Append(tag);
                return;
            case TagKind::ObjectRef:
                jww::PutObjectRef(tag, NewObjectIndex(record.object));
                sink.Append(tag);
                return;
            case TagKind::ClassRef:
            case TagKind::NewClass:
                PutClassTag(tag, record.classId);
                m_objectNew[record.object] = Next();
                sink.Append(tag);
                if (edit == nullptr) {
                    sink.Append(m_source.bytes, record.body, record.end);
                } else {
                    sink.Append(Placed(record, *edit));
                }
                return;
        }
    }

    // Copies of records, after the list in the order they were made.
    void EmitCopies(Out& sink, const std::vector<std::uint32_t>& copies) {
        std::string bytes;
        for (const std::uint32_t key : copies) {
            const RecordEdit& edit = m_state.recordEdits->at(key);
            const JwwRecord& record = m_source.records.at(edit.source);
            bytes.clear();
            PutClassTag(bytes, record.classId);
            Next();
            bytes += Placed(record, edit);
            sink.Append(bytes);
        }
    }

    // The board's own lines and arcs, after the copies.
    void EmitNew(Out& sink) {
        std::string bytes;
        for (std::size_t i = Loaded(); i < m_state.entities.size(); ++i) {
            if (!WrittenAsOwn(i)) continue;
            const EntityData& e = m_state.entities[i];
            bytes.clear();
            PutClassTag(bytes, ClassId(ClassOfKind(e.kind)));
            Next();
            PutEntity(bytes, e);
            sink.Append(bytes);
        }
    }

    // The block definitions after the list, their tags renumbered: an entry at old index k
    // (k >= mapCount) takes the index the running count gives it; a class the list defined is
    // referred to, one it no longer defines is stored at its first use here.
    void EmitTail(Out& sink) {
        TailIndex tail;
        std::size_t copied = m_source.entitiesEnd;
        std::string bytes;
        for (const JwwTag& tag : m_source.tailTags) {
            sink.Append(m_source.bytes, copied, tag.at);
            copied = tag.kind == TagKind::NewClass ? tag.end : tag.at + tag.size;
            bytes.clear();
            PutTailTag(bytes, tag, tail);
            sink.Append(bytes);
        }
        sink.Append(m_source.bytes, copied, m_source.bytes.size());
    }

    void PutTailTag(std::string& out, const JwwTag& tag, TailIndex& tail) {
        switch (tag.kind) {
            case TagKind::Null:
                jww::PutWord(out, jww::kNullTag);
                return;
            case TagKind::ObjectRef:
                jww::PutObjectRef(out, TailObjectIndex(tag.index, tail));
                return;
            case TagKind::ClassRef:
                PutClassTag(out, TailClassOf(tag.index, tail));
                tail.Add(Next(), kNoClass);  // the object
                return;
            case TagKind::NewClass:
                if (m_classNew[tag.classId] != 0) {
                    jww::PutClassRef(out, m_classNew[tag.classId]);
                } else {
                    const std::string_view in = m_source.bytes;
                    out.append(in.substr(tag.at, tag.end - tag.at));
                    m_classNew[tag.classId] = Next();
                }
                tail.Add(m_classNew[tag.classId], tag.classId);
                tail.Add(Next(), kNoClass);  // the object
                return;
        }
    }

    [[nodiscard]] std::uint32_t TailObjectIndex(std::uint32_t old, const TailIndex& tail) const {
        if (old < m_source.mapCount) return NewObjectIndex(old);
        const std::size_t k = old - m_source.mapCount;
        // A reference forward (never written by MFC) keeps its number.
        return k < tail.moved.size() ? tail.moved[k] : old;
    }

    [[nodiscard]] std::uint16_t TailClassOf(std::uint32_t old, const TailIndex& tail) const {
        std::uint16_t classId = kNoClass;
        if (old < m_source.mapCount) {
            classId = ClassAtIndexAsRead(old);
        } else if (old - m_source.mapCount < tail.movedClass.size()) {
            classId = tail.movedClass[old - m_source.mapCount];
        }
        if (classId == kNoClass) throw FileError("保存できません: 図形の種類の参照が壊れています");
        return classId;
    }

    static constexpr std::uint16_t kNoClass = 0xFFFF;

    // Whether an unedited record's tag reads the same where the save puts it: its class and
    // object take the numbers they had.
    [[nodiscard]] bool KeepsItsBytes(const JwwRecord& record) const {
        switch (record.tag) {
            case TagKind::Null:
                return true;
            case TagKind::ObjectRef:
                return record.object < m_objectNew.size() &&
                       m_objectNew[record.object] == record.object;
            case TagKind::ClassRef:
                return m_next == record.object &&
                       m_classNew[record.classId] == ClassIndexAsRead(record.classId);
            case TagKind::NewClass:
                return m_classNew[record.classId] == 0 && m_next + 1 == record.object;
        }
        return false;
    }

    // An entity an edit erased: kept by the drawing for undo, never written.
    [[nodiscard]] bool Erased(std::size_t i) const noexcept {
        return i < m_state.erased.size() && m_state.erased[i] != 0;
    }
    [[nodiscard]] std::uint32_t KeyOf(std::size_t i) const noexcept {
        return i < m_state.recordKeys.size() ? m_state.recordKeys[i] : kNoRecordKey;
    }
    // An entity the save writes as a line or arc of its own: added by the board, not erased,
    // not drawing a copy of a record.
    [[nodiscard]] bool WrittenAsOwn(std::size_t i) const noexcept {
        return i >= Loaded() && !Erased(i) && KeyOf(i) == kNoRecordKey;
    }
    [[nodiscard]] const RecordEdit* EditOf(std::uint32_t key) const {
        if (m_state.recordEdits == nullptr) return nullptr;
        const auto found = m_state.recordEdits->find(key);
        return found == m_state.recordEdits->end() ? nullptr : &found->second;
    }
    [[nodiscard]] bool IsErasedRecord(std::uint32_t key) const {
        const RecordEdit* edit = EditOf(key);
        return edit != nullptr && edit->erased;
    }
    // The copies that exist, in the order they were made.
    [[nodiscard]] std::vector<std::uint32_t> CopyKeys() const {
        std::vector<std::uint32_t> keys;
        if (m_state.recordEdits == nullptr) return keys;
        for (const auto& [key, edit] : *m_state.recordEdits) {
            if (!IsCopyKey(key) || edit.erased) continue;
            if (edit.source >= m_source.records.size()) {
                throw FileError("保存できません: 複写した図形の元が見つかりません");
            }
            const TagKind tag = m_source.records[edit.source].tag;
            if (tag == TagKind::Null || tag == TagKind::ObjectRef) {
                throw FileError("保存できません: 参照だけの図形は複写できません");
            }
            keys.push_back(key);
        }
        std::sort(keys.begin(), keys.end());
        return keys;
    }

    [[nodiscard]] std::size_t Loaded() const noexcept {
        return std::min(m_source.entityPrint.size(), m_state.entities.size());
    }

    static std::string LayerText(std::int32_t layer) {
        static constexpr std::string_view kHex = "0123456789ABCDEF";
        return {kHex[(layer / 16) & 0xF], '-', kHex[layer & 0xF]};
    }

    // The class's id: one of the file's, else one the save adds.
    [[nodiscard]] std::uint16_t ClassId(std::string_view name) {
        for (std::size_t i = 0; i < m_source.classNames.size(); ++i) {
            if (m_source.classNames[i] == name) return static_cast<std::uint16_t>(i);
        }
        for (std::size_t i = 0; i < m_extraNames.size(); ++i) {
            if (m_extraNames[i] == name) {
                return static_cast<std::uint16_t>(m_source.classNames.size() + i);
            }
        }
        m_extraNames.emplace_back(name);
        m_classNew.push_back(0);
        return static_cast<std::uint16_t>(m_source.classNames.size() + m_extraNames.size() - 1);
    }
    [[nodiscard]] std::string_view ClassName(std::uint16_t id) const {
        if (id < m_source.classNames.size()) return m_source.classNames[id];
        return m_extraNames.at(id - m_source.classNames.size());
    }

    // The class's map index as read in the entity list (0: it was first stored after it).
    [[nodiscard]] std::uint32_t ClassIndexAsRead(std::uint16_t id) const {
        return id < m_source.classIndex.size() ? m_source.classIndex[id] : 0;
    }
    [[nodiscard]] std::uint16_t ClassAtIndexAsRead(std::uint32_t index) const {
        const auto& classes = m_source.listClasses;
        const auto found = std::lower_bound(classes.begin(), classes.end(),
                                            std::pair<std::uint32_t, std::uint16_t>{index, 0});
        return found != classes.end() && found->first == index ? found->second : kNoClass;
    }

    // A class tag: the class stored here at its first use, later a reference to it.
    void PutClassTag(std::string& out, std::uint16_t id) {
        if (m_classNew[id] == 0) {
            jww::PutNewClass(out, Schema(), ClassName(id));
            m_classNew[id] = Next();
        } else {
            jww::PutClassRef(out, m_classNew[id]);
        }
    }

    [[nodiscard]] std::uint32_t NewObjectIndex(std::uint32_t old) const {
        const std::uint32_t index = old < m_objectNew.size() ? m_objectNew[old] : 0;
        if (index == 0) {
            throw FileError("保存できません: 消した図形をほかの図形が参照しています");
        }
        return index;
    }

    [[nodiscard]] std::uint16_t Schema() const {
        if (m_source.schema != 0) return m_source.schema;
        return static_cast<std::uint16_t>(m_source.header.version);
    }

    std::uint32_t Next() {
        if (m_next > jww::kMaxMapIndex) throw FileError("保存できません: 図形が多すぎます");
        return m_next++;
    }

    // A record's fields with its edit applied.
    [[nodiscard]] std::string Placed(const JwwRecord& record, const RecordEdit& edit) const {
        std::optional<std::pair<std::uint16_t, std::uint16_t>> groupAndLayer;
        if (edit.layer) groupAndLayer = m_source.GroupAndLayer(*edit.layer);
        const std::string_view in = m_source.bytes;
        const jww::RecordFields fields{m_source.classNames.at(record.classId),
                                       in.substr(record.body, record.end - record.body),
                                       m_source.header.version};
        try {
            return jww::PlacedFields(fields, edit.placements, groupAndLayer);
        } catch (const FileError&) {
            throw FileError("保存できません: 図形 " + std::to_string(edit.source + 1) + " 番目 (" +
                            std::string(fields.className) + ") が壊れていて書き換えられません");
        }
    }

    void CheckNew() const {
        for (std::size_t i = Loaded(); i < m_state.entities.size(); ++i) {
            if (!WrittenAsOwn(i)) continue;
            const EntityData& e = m_state.entities[i];
            for (const Vec2 v : {e.start, e.end, e.center}) {
                if (!std::isfinite(v.x) || !std::isfinite(v.y)) {
                    throw FileError("保存できません: 座標が数ではない図形があります");
                }
            }
            switch (e.kind) {
                case EntityKind::Line:
                    break;
                case EntityKind::Arc:
                    if (!(std::isfinite(e.radius) && e.radius >= 0.0)) {
                        throw FileError("保存できません: 半径が正しくない円弧があります");
                    }
                    break;
            }
        }
        if (m_state.scaleNumerator <= 0 || m_state.scaleDenominator <= 0) {
            throw FileError("保存できません: 縮尺が正しくありません");
        }
    }

    void PutCommon(std::string& out, const EntityData& e) const {
        const auto [group, layer] = m_source.GroupAndLayer(e.layer);
        jww::PutDword(out, 0);  // no curve group
        jww::PutByte(out, kJwwNewPenStyle);
        jww::PutWord(out, kJwwNewPenColour);
        if (m_source.header.version >= 351) jww::PutWord(out, 0);  // the pen's own width
        jww::PutWord(out, layer);
        jww::PutWord(out, group);
        jww::PutWord(out, 0);  // flags
    }

    // Jw_cad's class for a new entity of the board's kind.
    static std::string_view ClassOfKind(EntityKind kind) {
        switch (kind) {
            case EntityKind::Line:
                return "CDataSen";
            case EntityKind::Arc:
                return "CDataEnko";
        }
        BadEntityKind(kind);
    }

    // A new line or arc: the board's units are the file's paper millimetres.
    void PutEntity(std::string& out, const EntityData& e) const {
        PutCommon(out, e);
        switch (e.kind) {
            case EntityKind::Line:
                jww::PutDouble(out, e.start.x);
                jww::PutDouble(out, e.start.y);
                jww::PutDouble(out, e.end.x);
                jww::PutDouble(out, e.end.y);
                return;
            case EntityKind::Arc:
                break;
        }
        const ArcAngles angles = AnglesOf(e);
        const bool full = angles.sweep >= 2.0 * std::numbers::pi;
        jww::PutDouble(out, e.center.x);
        jww::PutDouble(out, e.center.y);
        jww::PutDouble(out, e.radius);
        jww::PutDouble(out, full ? 0.0 : angles.start);
        jww::PutDouble(out, full ? 2.0 * std::numbers::pi : angles.sweep);
        jww::PutDouble(out, 0.0);  // tilt
        jww::PutDouble(out, 1.0);  // flatness: a circle
        jww::PutDword(out, full ? 1 : 0);
    }

    const JwwSource& m_source;
    const DrawingState& m_state;
    std::vector<std::string> m_extraNames;
    std::vector<std::uint32_t> m_classNew;   // new map index of each class (0: not stored yet)
    std::vector<std::uint32_t> m_objectNew;  // new map index of each object of the list
    std::uint32_t m_next = 1;
};

}  // namespace

std::vector<std::string> JwwSaveLosses(const JwwSource& source, const DrawingState& state) {
    return Saver(source, state).Losses();
}

std::size_t JwwUnkeptEdits(const JwwSource& source, const DrawingState& state) {
    return Saver(source, state).Losses().size();
}

std::string_view JwwSource::ClassOf(std::uint32_t record) const {
    if (record >= records.size()) return {};
    const JwwRecord& r = records[record];
    if (r.tag != jww::TagKind::ClassRef && r.tag != jww::TagKind::NewClass) return {};
    return classNames.at(r.classId);
}

namespace {

jww::RecordFields FieldsOf(const JwwSource& source, std::uint32_t record) {
    const JwwRecord& r = source.records.at(record);
    const std::string_view bytes = source.bytes;
    return {source.ClassOf(record), bytes.substr(r.body, r.end - r.body), source.header.version};
}

}  // namespace

std::string JwwSource::RecordKind(std::uint32_t record) const {
    if (ClassOf(record).empty()) return {};
    return jww::KindNameOf(FieldsOf(*this, record));
}

std::string JwwSource::PlacementRefusal(std::uint32_t record) const {
    if (ClassOf(record).empty()) return "この図形 (参照) は移動・回転・複写できません";
    return jww::PlacementRefusalOf(FieldsOf(*this, record));
}

std::string SavedJwwBytes(const JwwSource& source, const DrawingState& state) {
    Out out;
    Saver(source, state).Emit(out);
    source.bytes.CheckUnchangedAfterCopy("保存できません: ");
    return std::move(out).Take();
}

void WriteJww(const std::string& path, const JwwSource& source, const DrawingState& state) {
    const std::string failure = "ファイル「" + FileNameOf(path) + "」を";
    try {
        ReplaceOptions options;
        options.checkSources = [&] { source.bytes.CheckUnchangedAfterCopy("保存できません: "); };
        WriteFileAtomically(
            path,
            [&](const std::string& tempPath) {
                std::FILE* file = std::fopen(tempPath.c_str(), "wb");
                if (file == nullptr) throw FileError("保存できません: 書き込み用に開けません");
                const std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, &std::fclose);
                Out out(file);
                Saver(source, state).Emit(out);
                if (std::fflush(file) != 0 || std::ferror(file) != 0) {
                    throw FileError("保存できません: 書き込みが途中で失敗しました");
                }
            },
            options);
    } catch (const FileError& error) {
        const std::string what = error.what();
        if (what.rfind("保存できません", 0) == 0) throw FileError(failure + what);
        throw;
    }
}

}  // namespace pelimator::board

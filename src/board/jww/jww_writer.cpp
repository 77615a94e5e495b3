// Saving JWW files: the read bytes as they were, the board's new lines and arcs appended to the
// entity list in the file's version, and the archive's tags after them renumbered.
//
// The archive numbers classes and objects together in the order they are first stored, so an
// entity added at the end of the entity list moves the number of everything after it (the block
// definitions) by one, and a class it introduces (say the first arc of a file whose only arcs are
// inside blocks) is stored with it, the later definition becoming a reference.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <numbers>

#include "base/errors.h"
#include "base/file.h"
#include "board/jww/jww_archive.h"
#include "board/jww/jww_file.h"

namespace pelimator::board {

namespace {

using jww::TagKind;

// Where saved bytes go: kept in memory, or written to a file in large pieces (big runs of the read
// bytes straight from the source, without a copy).
class Out {
public:
    explicit Out(std::FILE* file = nullptr) : m_file(file) {}
    std::string buffer;  // small writes go here

    void Append(std::string_view bytes) {
        if (m_file != nullptr && bytes.size() >= kDirect) {
            Flush();
            Write(bytes);
            return;
        }
        buffer.append(bytes);
        if (m_file != nullptr && buffer.size() >= kDirect) Flush();
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
        if (m_file == nullptr || buffer.empty()) return;
        Write(buffer);
        buffer.clear();
    }

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
};

class Saver {
public:
    Saver(const JwwSource& source, const DrawingState& state) : m_source(source), m_state(state) {}

    [[nodiscard]] std::vector<std::string> Losses() const {
        std::vector<std::string> losses;
        const std::size_t read = m_source.entityPrint.size();
        const std::size_t loaded = std::min(read, m_state.entities.size());
        if (m_state.entities.size() < read) {
            losses.push_back("読み込んだ図形のうち " + std::to_string(read - loaded) +
                             " 個が図面にありませんが、ファイルからは消えません");
        }
        std::size_t edited = 0;
        for (std::size_t i = 0; i < loaded; ++i) {
            if (JwwEntityPrint(m_state.entities[i]) != m_source.entityPrint[i]) ++edited;
        }
        if (edited > 0) {
            losses.push_back("読み込んだ図形 " + std::to_string(edited) +
                             " 個への変更は保存されません (元のまま残ります)");
        }
        std::size_t outside = 0;
        std::size_t hidden = 0;
        for (std::size_t i = loaded; i < m_state.entities.size(); ++i) {
            const EntityData& e = m_state.entities[i];
            if (e.layer < 0 || e.layer >= 256) ++outside;
            if (!e.visible) ++hidden;
        }
        if (outside > 0) {
            const std::int32_t layer = m_source.WriteLayer();
            losses.push_back("JWW にないレイヤ番号の図形 " + std::to_string(outside) +
                             " 個は書込レイヤ " + LayerText(layer) + " に保存します");
        }
        if (hidden > 0) {
            losses.push_back("非表示の図形 " + std::to_string(hidden) +
                             " 個は JWW では表示される図形になります");
        }
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
        return losses;
    }

    void Emit(Out& sink) const {
        CheckNew();
        m_source.bytes.CheckSound();
        const std::string_view in = m_source.bytes;
        std::string& out = sink.buffer;
        EmitHeader(sink);
        const std::size_t added = m_state.entities.size() - Loaded();
        const std::uint64_t count = std::uint64_t{m_source.entityCount} + added;
        if (count > 0xFFFFFFFEULL) throw FileError("保存できません: 図形が多すぎます");
        jww::PutCount(out, static_cast<std::uint32_t>(count));
        sink.Append(m_source.bytes, m_source.entityCountEnd, m_source.entitiesEnd);

        // New entities; classes they introduce get their numbers here.
        std::uint32_t next = m_source.mapCount;
        // Map index of every class known so far (0: not stored yet); classes first seen after the
        // entity list have none.
        std::vector<std::uint32_t> classIndex = m_source.classIndex;
        classIndex.resize(m_source.classNames.size(), 0);
        std::vector<bool> introduced(m_source.classNames.size(), false);
        for (std::size_t i = Loaded(); i < m_state.entities.size(); ++i) {
            const EntityData& e = m_state.entities[i];
            const std::string_view name = e.kind == EntityKind::Line ? "CDataSen" : "CDataEnko";
            std::size_t id = ClassId(name);
            if (id == classIndex.size()) {
                // A class the file has nowhere: stored here for the first time.
                classIndex.push_back(0);
                introduced.push_back(false);
                m_extraNames.emplace_back(name);
            }
            if (classIndex[id] == 0) {
                jww::PutNewClass(out, Schema(), name);
                classIndex[id] = Next(next);
                if (id < m_source.classNames.size()) introduced[id] = true;
            } else {
                jww::PutClassRef(out, classIndex[id]);
            }
            Next(next);
            PutEntity(out, e);
            if (out.size() >= (std::size_t{1} << 20U)) sink.Flush();
        }

        // The rest, its tags renumbered: an entry at old index k (k >= mapCount) moves to the
        // index the running count gives it; a class stored above is referred to.
        std::vector<std::uint32_t> moved;  // new index of old index mapCount + i
        std::size_t copied = m_source.entitiesEnd;
        for (const JwwTag& tag : m_source.tailTags) {
            sink.Append(m_source.bytes, copied, tag.at);
            copied = tag.at + tag.size;
            switch (tag.kind) {
                case TagKind::Null:
                    jww::PutWord(out, jww::kNullTag);
                    break;
                case TagKind::ObjectRef:
                    jww::PutObjectRef(out, Renumber(tag.index, moved));
                    break;
                case TagKind::ClassRef:
                    jww::PutClassRef(out, Renumber(tag.index, moved));
                    moved.push_back(Next(next));  // the object
                    break;
                case TagKind::NewClass:
                    copied = tag.end;
                    if (introduced[tag.classId]) {
                        jww::PutClassRef(out, classIndex[tag.classId]);
                        moved.push_back(classIndex[tag.classId]);
                    } else {
                        sink.Append(in.substr(tag.at, tag.end - tag.at));
                        moved.push_back(Next(next));
                    }
                    moved.push_back(Next(next));  // the object
                    break;
            }
        }
        sink.Append(m_source.bytes, copied, in.size());
        sink.Flush();
    }

private:
    [[nodiscard]] std::size_t Loaded() const noexcept {
        return std::min(m_source.entityPrint.size(), m_state.entities.size());
    }

    static std::string LayerText(std::int32_t layer) {
        static constexpr std::string_view kHex = "0123456789ABCDEF";
        return {kHex[(layer / 16) & 0xF], '-', kHex[layer & 0xF]};
    }

    [[nodiscard]] std::size_t ClassId(std::string_view name) const {
        for (std::size_t i = 0; i < m_source.classNames.size(); ++i) {
            if (m_source.classNames[i] == name) return i;
        }
        for (std::size_t i = 0; i < m_extraNames.size(); ++i) {
            if (m_extraNames[i] == name) return m_source.classNames.size() + i;
        }
        return m_source.classNames.size() + m_extraNames.size();
    }

    [[nodiscard]] std::uint16_t Schema() const {
        if (m_source.schema != 0) return m_source.schema;
        return static_cast<std::uint16_t>(m_source.header.version);
    }

    static std::uint32_t Next(std::uint32_t& next) {
        if (next > jww::kMaxMapIndex) throw FileError("保存できません: 図形が多すぎます");
        return next++;
    }

    [[nodiscard]] std::uint32_t Renumber(std::uint32_t old,
                                         const std::vector<std::uint32_t>& moved) const {
        if (old < m_source.mapCount) return old;
        const std::size_t k = old - m_source.mapCount;
        // A reference forward (never written by MFC) keeps its number moved by what was added.
        if (k >= moved.size()) return old;
        return moved[k];
    }

    void CheckNew() const {
        for (std::size_t i = Loaded(); i < m_state.entities.size(); ++i) {
            const EntityData& e = m_state.entities[i];
            for (const Vec2 v : {e.start, e.end, e.center}) {
                if (!std::isfinite(v.x) || !std::isfinite(v.y)) {
                    throw FileError("保存できません: 座標が数ではない図形があります");
                }
            }
            if (e.kind == EntityKind::Arc && !(std::isfinite(e.radius) && e.radius >= 0.0)) {
                throw FileError("保存できません: 半径が正しくない円弧があります");
            }
        }
        if (m_state.scaleNumerator <= 0 || m_state.scaleDenominator <= 0) {
            throw FileError("保存できません: 縮尺が正しくありません");
        }
    }

    // The header as read.
    void EmitHeader(Out& sink) const {
        sink.Append(m_source.bytes.substr(0, m_source.entityCountAt));
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

    // A new line or arc: the board's units are the file's paper millimetres.
    void PutEntity(std::string& out, const EntityData& e) const {
        PutCommon(out, e);
        if (e.kind == EntityKind::Line) {
            jww::PutDouble(out, e.start.x);
            jww::PutDouble(out, e.start.y);
            jww::PutDouble(out, e.end.x);
            jww::PutDouble(out, e.end.y);
            return;
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
    mutable std::vector<std::string> m_extraNames;
};

}  // namespace

std::vector<std::string> JwwSaveLosses(const JwwSource& source, const DrawingState& state) {
    return Saver(source, state).Losses();
}

std::string SavedJwwBytes(const JwwSource& source, const DrawingState& state) {
    Out out;
    Saver(source, state).Emit(out);
    source.bytes.CheckUnchangedAfterCopy("保存できません: ");
    return std::move(out.buffer);
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

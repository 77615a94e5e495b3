// Reactors of copied images and the definitions' reactor lists, as AutoCAD keeps them.
#include "board/dxf/dxf_object_copy.h"

#include <string_view>
#include <utility>

#include "base/errors.h"
#include "board/dxf/dxf_record_roles.h"
#include "board/dxf/dxf_retag.h"
#include "board/dxf/dxf_transform.h"

namespace pelimator::board {

using dxf_roles::Part;
using dxf_roles::PartsOf;
using dxf_roles::ReadTags;

namespace {

bool IsImage(std::string_view type) { return type == "IMAGE" || type == "WIPEOUT"; }
bool IsUnderlay(std::string_view type) { return type.ends_with("UNDERLAY"); }

// A handle of the record's own groups by code (its image definition 340, its reactor 360);
// 0 when it names none.
std::uint64_t OwnHandle(const std::vector<DxfTag>& tags, int code) {
    const std::vector<Part> parts = PartsOf(tags);
    for (std::size_t i = 0; i < tags.size(); ++i) {
        std::uint64_t handle = 0;
        if (parts[i] == Part::Own && tags[i].code == code &&
            ParseHandle(TrimDxf(tags[i].value), handle)) {
            return handle;
        }
    }
    return 0;
}

bool OwnsReactor(const std::vector<DxfTag>& tags) {
    return IsImage(dxf_roles::TypeOf(tags)) && OwnHandle(tags, 360) != 0;
}

}  // namespace

bool DxfCopyTakesObjects(const DxfSource& source, std::size_t record) {
    const std::string type = DxfRecordType(source, record);
    if (!IsImage(type) && !IsUnderlay(type)) return false;
    try {
        const std::vector<DxfTag> tags = ReadTags(source, record);
        return OwnHandle(tags, 340) != 0 || OwnHandle(tags, 360) != 0;  // a wipeout names none
    } catch (const FileError&) {
        return true;  // unread: taken as naming some
    }
}

std::uint64_t DxfObjectCopyHandles(const DxfSource& source, std::size_t record) {
    if (!source.handles || !IsImage(DxfRecordType(source, record))) return 0;
    return OwnsReactor(ReadTags(source, record)) ? 1 : 0;
}

void DxfObjectCopies::Index() {
    if (m_indexed) return;
    m_indexed = true;
    bool objects = false;
    for (std::size_t r = 0; r + 1 < m_source.records.size(); ++r) {
        const std::string type = DxfRecordType(m_source, r);
        if (type == "SECTION") {
            for (const DxfTag& tag : ReadTags(m_source, r)) {
                if (tag.code == 2) objects = TrimDxf(tag.value) == "OBJECTS";
            }
        } else if (type == "ENDSEC" && objects) {
            m_objectsEnd = m_source.records[r];
            objects = false;
        } else if (objects && (type == "IMAGEDEF" || type.ends_with("DEFINITION"))) {
            for (const DxfTag& tag : ReadTags(m_source, r)) {
                std::uint64_t handle = 0;
                if (tag.code == 5 && ParseHandle(TrimDxf(tag.value), handle)) {
                    m_definitions.try_emplace(handle, r);
                    break;
                }
            }
        }
    }
}

std::string DxfObjectCopies::Add(std::size_t record, const std::string& copy, std::uint64_t handle,
                                 std::uint64_t& next) {
    const std::vector<DxfTag> tags = ReadTags(m_source, record);
    const std::string type = dxf_roles::TypeOf(tags);
    if (!IsImage(type) && !IsUnderlay(type)) return copy;
    Index();
    const bool reactor = OwnsReactor(tags);
    std::uint64_t listed = handle;  // what the definition lists for the copy
    if (reactor && handle != 0 && m_source.handles) {
        listed = next++;
        DxfEmitter out(m_source.layout);
        out.Text(0, "IMAGEDEF_REACTOR");
        out.Handle(5, listed);
        out.Text(330, HandleText(handle));
        out.Text(100, "AcDbRasterImageDefReactor");
        out.Integer(90, 2);
        out.Text(330, HandleText(handle));
        m_reactors += out.Out();
    } else if (reactor) {
        listed = 0;  // a file without handles gets no reactor
    }
    if (const auto definition = m_definitions.find(OwnHandle(tags, 340));
        listed != 0 && definition != m_definitions.end()) {
        m_listed[definition->second].push_back(listed);
    }
    if (!reactor) return copy;
    // The copy's own 360 names its new reactor ("0" without one).
    DxfLayout layout = m_source.layout;
    layout.begin = 0;
    DxfTagReader reader(copy, layout, m_source.fileName);
    std::vector<DxfTag> written;
    for (DxfTag tag; reader.Next(tag);) written.push_back(tag);
    const std::vector<Part> parts = PartsOf(written);
    DxfEmitter out(m_source.layout);
    for (std::size_t i = 0; i < written.size(); ++i) {
        if (parts[i] == Part::Own && written[i].code == 360) {
            out.Text(360, listed != 0 ? HandleText(listed) : std::string("0"));
            continue;
        }
        out.Raw(std::string_view(copy).substr(written[i].begin, written[i].end - written[i].begin));
    }
    return std::move(out.Out());
}

std::vector<DxfObjectPatch> DxfObjectCopies::Patches() const {
    std::vector<DxfObjectPatch> patches;
    for (const auto& [record, handles] : m_listed) {
        const std::vector<DxfTag> tags = ReadTags(m_source, record);
        DxfEmitter out(m_source.layout);
        std::size_t at = kNoDxfRecord;
        bool inReactors = false;
        bool listed = false;
        for (const DxfTag& tag : tags) {
            const std::string_view value = TrimDxf(tag.value);
            if (tag.code == 102 && value == "{ACAD_REACTORS") inReactors = true;
            if (tag.code == 102 && value == "}" && inReactors) {
                at = tag.begin;  // the new ones go last in the list
                listed = true;
                break;
            }
        }
        if (at == kNoDxfRecord) {  // no list yet: one after its handle
            for (const DxfTag& tag : tags) {
                if (tag.code == 5) at = tag.end;
            }
            if (at == kNoDxfRecord) continue;
            out.Text(102, "{ACAD_REACTORS");
        }
        for (const std::uint64_t handle : handles) out.Text(330, HandleText(handle));
        if (!listed) out.Text(102, "}");
        patches.push_back({at, at, std::move(out.Out())});
    }
    if (!m_reactors.empty()) {
        if (m_objectsEnd == kNoDxfRecord) {
            throw FileError(
                "画像の複写を保存できません (ファイルに OBJECTS セクションがなく、複写の"
                "リアクタを置く場所がありません。元のファイルはそのままです)");
        }
        patches.push_back({m_objectsEnd, m_objectsEnd, m_reactors});
    }
    return patches;
}

}  // namespace pelimator::board

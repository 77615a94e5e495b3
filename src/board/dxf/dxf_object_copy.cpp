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

bool IsImage(std::string_view type) { return IsDxfImageType(type); }
bool IsUnderlay(std::string_view type) { return IsDxfUnderlayType(type); }
std::uint64_t OwnHandle(const std::vector<DxfTag>& tags, int code) {
    return DxfOwnHandle(tags, code);
}

bool OwnsReactor(const std::vector<DxfTag>& tags) {
    return IsImage(dxf_roles::TypeOf(tags)) && OwnHandle(tags, 360) != 0;
}

}  // namespace

bool IsDxfImageType(std::string_view type) { return type == "IMAGE" || type == "WIPEOUT"; }
bool IsDxfUnderlayType(std::string_view type) { return type.ends_with("UNDERLAY"); }

std::uint64_t DxfOwnHandle(const std::vector<DxfTag>& tags, int code) {
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

std::string DxfImageReactor(const DxfLayout& layout, std::uint64_t reactor, std::uint64_t image) {
    DxfEmitter out(layout);
    out.Text(0, "IMAGEDEF_REACTOR");
    out.Handle(5, reactor);
    out.Text(330, HandleText(image));
    out.Text(100, "AcDbRasterImageDefReactor");
    out.Integer(90, 2);
    out.Text(330, HandleText(image));
    return std::move(out.Out());
}

std::string DxfWithOwnGroup(const DxfSource& file, const std::string& record, int code,
                            const std::string& value) {
    const std::vector<DxfTag> written = dxf_roles::ReadWrittenTags(file, record);
    const std::vector<Part> parts = PartsOf(written);
    DxfEmitter out(file.layout);
    for (std::size_t i = 0; i < written.size(); ++i) {
        if (parts[i] == Part::Own && written[i].code == code) {
            out.Text(code, value);
            continue;
        }
        out.Raw(
            std::string_view(record).substr(written[i].begin, written[i].end - written[i].begin));
    }
    return std::move(out.Out());
}

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
    const DxfSectionRecords& objects = m_source.objects;
    if (!objects.Found()) return;
    // New objects go before its ENDSEC; a section the file left open has none to go before.
    if (DxfRecordType(m_source, objects.last) == "ENDSEC")
        m_objectsEnd = m_source.records[objects.last];
    for (std::size_t r = objects.first + 1; r < objects.last; ++r) {
        const std::string type = DxfRecordType(m_source, r);
        if (type != "IMAGEDEF" && !type.ends_with("DEFINITION")) continue;
        for (const DxfTag& tag : ReadTags(m_source, r)) {
            std::uint64_t handle = 0;
            if (tag.code == 5 && ParseHandle(TrimDxf(tag.value), handle)) {
                m_definitions.try_emplace(handle, r);
                break;
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
        m_reactors += DxfImageReactor(m_source.layout, /*reactor=*/listed, /*image=*/handle);
    } else if (reactor) {
        listed = 0;  // a file without handles gets no reactor
    }
    if (const auto definition = m_definitions.find(OwnHandle(tags, 340));
        listed != 0 && definition != m_definitions.end()) {
        m_listed[definition->second].push_back(listed);
    }
    if (!reactor) return copy;
    // The copy's own 360 names its new reactor ("0" without one).
    return DxfWithOwnGroup(m_source, copy, 360,
                           listed != 0 ? HandleText(listed) : std::string("0"));
}

std::vector<DxfObjectPatch> DxfObjectCopies::Patches() {
    Index();
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
                "画像の複写や貼り付けを保存できません (ファイルに閉じた OBJECTS セクションがなく、"
                "画像のオブジェクトを置く場所がありません。元のファイルはそのままです)");
        }
        patches.push_back({m_objectsEnd, m_objectsEnd, m_reactors});
    }
    patches.insert(patches.end(), m_more.begin(), m_more.end());
    return patches;
}

}  // namespace pelimator::board

// The objects of the file a copy of an image or an underlay takes part in, written as AutoCAD
// keeps them: an image (IMAGE, WIPEOUT) owns a reactor (IMAGEDEF_REACTOR, its 360) that its
// image definition (340) lists among its reactors, so a copy gets a reactor of its own, listed
// by the same definition; an underlay's definition lists its references themselves, so a copy
// is added to that list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "board/dxf/dxf_source.h"

namespace pelimator::board {

// Bytes of the file [begin, end) replaced by bytes (begin == end: inserted there).
struct DxfObjectPatch {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::string bytes;
};

// Whether the record is an image or an underlay whose copy takes part in objects of the file
// (it names a definition or owns a reactor; a wipeout does neither).
[[nodiscard]] bool DxfCopyTakesObjects(const DxfSource& source, std::size_t record);
// How many handles the objects of one copy of the record take (an image's reactor: 1).
[[nodiscard]] std::uint64_t DxfObjectCopyHandles(const DxfSource& source, std::size_t record);

[[nodiscard]] bool IsDxfImageType(std::string_view type);     // IMAGE, WIPEOUT
[[nodiscard]] bool IsDxfUnderlayType(std::string_view type);  // PDF/DWF/DGN UNDERLAY
// A handle among the record's own groups by code (an image's definition 340, its reactor 360);
// 0 when it names none.
[[nodiscard]] std::uint64_t DxfOwnHandle(const std::vector<DxfTag>& tags, int code);
// An image's reactor (IMAGEDEF_REACTOR) of that handle, owned by and naming the image.
[[nodiscard]] std::string DxfImageReactor(const DxfLayout& layout, std::uint64_t reactor,
                                          std::uint64_t image);
// A record's bytes (as written for file) with its own group of that code written as value.
[[nodiscard]] std::string DxfWithOwnGroup(const DxfSource& file, const std::string& record,
                                          int code, const std::string& value);

// The objects of the copies of one save.
class DxfObjectCopies {
public:
    explicit DxfObjectCopies(const DxfSource& source) : m_source(source) {}

    // The copy of record (its bytes as the copy writes them, its handle; 0: it has none) made
    // whole: an image's copy owns a new reactor (handle from next, advanced), its 360 naming it;
    // the definition it names lists the reactor (an underlay's: the copy). The copy's bytes.
    [[nodiscard]] std::string Add(std::size_t record, const std::string& copy, std::uint64_t handle,
                                  std::uint64_t& next);
    // What the copies change in the file: each definition's reactor list, the new reactors at
    // the end of the OBJECTS section. Throws FileError when the file has none.
    [[nodiscard]] std::vector<DxfObjectPatch> Patches();
    [[nodiscard]] bool Empty() const noexcept {
        return m_reactors.empty() && m_listed.empty() && m_more.empty();
    }

    // For records pasted from other files: the file's definition (its record) lists handle;
    // objects written at the end of the OBJECTS section; another change of the file.
    void List(std::size_t definition, std::uint64_t handle) {
        m_listed[definition].push_back(handle);
    }
    void AddObjects(std::string_view bytes) { m_reactors += bytes; }
    void AddPatch(DxfObjectPatch patch) { m_more.push_back(std::move(patch)); }

private:
    void Index();

    const DxfSource& m_source;
    bool m_indexed = false;
    std::unordered_map<std::uint64_t, std::size_t> m_definitions;  // handle → record
    std::size_t m_objectsEnd = kNoDxfRecord;  // offset of the OBJECTS section's ENDSEC
    std::map<std::size_t, std::vector<std::uint64_t>> m_listed;  // definition → handles added
    std::string m_reactors;  // objects for the end of the OBJECTS section
    std::vector<DxfObjectPatch> m_more;
};

}  // namespace pelimator::board

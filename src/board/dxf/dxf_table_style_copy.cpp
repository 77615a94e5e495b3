// Copying a table style into another drawing's ACAD_TABLESTYLE dictionary.
#include "board/dxf/dxf_table_style_copy.h"

#include <unordered_map>
#include <vector>

#include "base/errors.h"
#include "board/dxf/dxf_names.h"
#include "board/dxf/dxf_record_roles.h"
#include "board/dxf/dxf_transform.h"

namespace pelimator::board {

namespace {

// The value of the record's first tag with code, trimmed; "" when none.
std::string_view FirstValue(const DxfSource& source, std::size_t record, int code) {
    for (const DxfTag& tag : dxf_roles::ReadTags(source, record)) {
        if (tag.code == code) return TrimDxf(tag.value);
    }
    return {};
}

}  // namespace

std::map<std::string, std::pair<std::string, std::string>> DxfTableStyles(const DxfSource& source,
                                                                          std::size_t* dictionary) {
    std::map<std::string, std::pair<std::string, std::string>> styles;
    std::unordered_map<std::string, std::size_t> dictionaries;  // handle (LayerKey) → record
    std::size_t root = kNoDxfRecord;
    bool objects = false;
    for (std::size_t r = 0; r + 1 < source.records.size(); ++r) {
        const std::string type = DxfRecordType(source, r);
        if (type == "SECTION") objects = FirstValue(source, r, 2) == "OBJECTS";
        if (!objects || type != "DICTIONARY") continue;
        dictionaries.try_emplace(LayerKey(FirstValue(source, r, 5)), r);
        if (root == kNoDxfRecord) root = r;  // the first object: the named objects' dictionary
    }
    // A dictionary's entries: each name (3) and the handle (350 or 360) after it.
    const auto entries = [&](std::size_t record, const auto& take) {
        const std::vector<DxfTag> tags = dxf_roles::ReadTags(source, record);
        std::string name;
        for (const DxfTag& tag : tags) {
            if (tag.code >= 1000) break;
            if (tag.code == 3)
                name = DecodeDxfString(TrimDxf(tag.value), source.version, source.codePage);
            if ((tag.code == 350 || tag.code == 360) && !name.empty()) {
                take(name, std::string(TrimDxf(tag.value)));
                name.clear();
            }
        }
    };
    if (root == kNoDxfRecord) return styles;
    std::string handle;
    entries(root, [&](const std::string& name, const std::string& h) {
        if (name == "ACAD_TABLESTYLE") handle = h;
    });
    const auto found = dictionaries.find(LayerKey(handle));
    if (found == dictionaries.end()) return styles;
    if (dictionary != nullptr) *dictionary = found->second;
    entries(found->second, [&](const std::string& name, const std::string& h) {
        styles.try_emplace(LayerKey(name), name, h);
    });
    return styles;
}

std::size_t DxfObjectWithHandle(const DxfSource& source, std::string_view type,
                                std::string_view handle) {
    const std::string key = LayerKey(TrimDxf(handle));
    for (std::size_t r = 0; r + 1 < source.records.size() && !key.empty(); ++r) {
        if (DxfRecordType(source, r) != type) continue;
        for (const DxfTag& tag : dxf_roles::ReadTags(source, r)) {
            if (tag.code == 5 && LayerKey(TrimDxf(tag.value)) == key) return r;
            if (tag.code == 100) break;  // past its handle
        }
    }
    return kNoDxfRecord;
}

std::string DxfTableStyleDictionaryRefusal(const DxfSource& source, std::size_t dictionary) {
    if (dictionary == kNoDxfRecord) return "表のスタイルの辞書がこの図面にないため";
    try {
        // Its entries are added at its end: extended data there would come before them.
        for (const DxfTag& tag : dxf_roles::ReadTags(source, dictionary)) {
            if (tag.code >= 1000) return "表のスタイルの辞書に拡張データがあるため";
        }
    } catch (const FileError&) {
        return "表のスタイルの辞書が読めないため";
    }
    return {};
}

std::string CopyDxfTableStyle(DxfRetag& job, std::size_t record, const std::string& name,
                              std::string& records, DxfEmitter& entries) {
    RetagDxfRecord(job, dxf_roles::ReadTags(job.from, record), true);
    records += job.out.Out();
    job.out.Out().clear();
    std::string handle = job.handles.empty() ? std::string() : job.handles.begin()->second;
    entries.Text(3, EncodeDxfString(name, job.to.version, job.to.codePage));
    entries.Text(350, handle);
    return handle;
}

}  // namespace pelimator::board

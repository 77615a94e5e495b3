// Copying a table style into another drawing's ACAD_TABLESTYLE dictionary.
#include "board/dxf/dxf_table_style_copy.h"

#include <vector>

#include "base/errors.h"
#include "board/dxf/dxf_record_roles.h"
#include "board/dxf/dxf_transform.h"

namespace pelimator::board {

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

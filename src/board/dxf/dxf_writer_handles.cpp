// The handles a DXF save gives to the records it adds.
#include <algorithm>
#include <limits>
#include <vector>

#include "base/errors.h"
#include "board/dxf/dxf_file.h"
#include "board/dxf/dxf_writer_records.h"

namespace pelimator::board::writer {

std::int64_t TableCount(const DxfSource& source, std::int64_t count) {
    const std::int64_t most = source.layout.form == DxfForm::Binary
                                  ? std::numeric_limits<std::int16_t>::max()
                                  : std::numeric_limits<std::int32_t>::max();
    return std::clamp<std::int64_t>(count, 0, most);
}

std::string Wrapped(const DxfSource& source, std::string_view head, std::string_view body,
                    const char* end) {
    DxfEmitter out(source.layout);
    out.Raw(head);
    out.Raw(body);
    out.Text(0, end);
    return std::move(out.Out());
}

namespace {

constexpr std::uint64_t kTopHandle = ~std::uint64_t{0};

// The first of needed numbers in a row that no handle of the file takes (any group 5 or 105
// counts, the header's seed too); a rare path, for files that hold the highest handle.
std::uint64_t FirstFreeRun(const DxfSource& source, std::uint64_t needed,
                           const std::string& failure) {
    std::vector<std::uint64_t> used;
    DxfTagReader reader(source.bytes, source.layout, source.fileName);
    DxfTag tag;
    while (reader.Next(tag)) {
        std::uint64_t handle = 0;
        if ((tag.code == 5 || tag.code == 105) && ParseHandle(tag.value, handle)) {
            used.push_back(handle);
        }
    }
    std::sort(used.begin(), used.end());
    std::uint64_t from = 1;
    for (const std::uint64_t handle : used) {
        if (handle < from) continue;
        if (handle - from >= needed) return from;
        if (handle == kTopHandle) break;
        from = handle + 1;
    }
    if (from != 0 && needed <= kTopHandle - from) return from;
    throw FileError(failure + "新しい図形に付けるハンドルの空きがありません");
}

}  // namespace

// After $HANDSEED and every handle of the file where that leaves room for all the save may
// give; else after the file's handles, whatever the seed says; else the first run of numbers
// no handle of the file takes.
std::uint64_t FirstSaveHandle(const DxfSource& source, std::uint64_t needed,
                              const std::string& failure) {
    if (!source.handles) return 1;
    const std::uint64_t next = source.nextHandle;
    if (next != 0 && needed <= kTopHandle - next) return next;
    const std::uint64_t above = source.maxHandle + 1;  // 0 when the file holds the top
    if (above != 0 && needed <= kTopHandle - above) return above;
    return FirstFreeRun(source, needed, failure);
}

}  // namespace pelimator::board::writer

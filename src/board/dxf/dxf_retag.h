// Records of one DXF file written for another (or for the same file anew): handles renumbered,
// owners followed, names and layer replaced, values in the target's form and code page.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "board/dxf/dxf_names.h"
#include "board/dxf/dxf_source.h"
#include "board/dxf/dxf_tags.h"

namespace pelimator::board {

// A handle as a DXF writes it: upper-case hexadecimal, no leading zeros.
[[nodiscard]] std::string HandleText(std::uint64_t handle);

// One run of records copied into the target: handles renumbered (and remembered, so that the
// records it owns follow), names and layer replaced, values in the target's form and code page.
struct DxfRetag {
    DxfRetag(const DxfSource& fromFile, const DxfSource& toFile, std::uint64_t& nextHandle)
        : from(fromFile), to(toFile), next(nextHandle), out(toFile.layout) {}
    const DxfSource& from;
    const DxfSource& to;
    std::uint64_t& next;
    DxfEmitter out;
    std::unordered_map<std::string, std::string> handles;  // from's → the target's
    std::string owner;  // a record's owner when it is none of the run's
    std::string layer;  // the head's (and its vertices') layer in the target; "" keeps it
    std::string name;   // a BLOCK's or BLOCK_RECORD's name in the target
    // Pointers (340 to 349, before extended data) to write otherwise: from's handle (LayerKey)
    // → the target's.
    std::unordered_map<std::string, std::string> pointers;
    const std::map<std::pair<const DxfSource*, std::string>, std::string>* blockNames = nullptr;
    // Handles given before the run is written (from's handle → the target's), so that what
    // names a record of the run ahead of it (extended data) can be written first.
    std::unordered_map<std::string, std::uint64_t> reserved;
    // The target's handle for a handle in extended data (1005, from's HandleKey): "0" for none;
    // "" when nothing of the target stands for it, which drops an ACAD dimension-style override
    // (its 1070 and 1005) and writes "0" elsewhere. Unset: written as from wrote them.
    std::function<std::string(const std::string&)> xdataHandle;

    [[nodiscard]] bool SameEncoding() const {
        return from.Utf8() == to.Utf8() && (from.Utf8() || from.codePage == to.codePage);
    }
    void Name(int code, std::string_view utf8) {
        out.Text(code, EncodeDxfString(utf8, to.version, to.codePage));
    }
};

// One record (its tags as from read them) written into job.out; head: the first of its run
// (whose layer job.layer replaces). Reactors and the extension dictionary are left out.
void RetagDxfRecord(DxfRetag& job, const std::vector<DxfTag>& tags, bool head);

// The records in bytes (the from file's form) written the same way; the first is the head.
void RetagDxfBytes(DxfRetag& job, std::string_view bytes);

}  // namespace pelimator::board

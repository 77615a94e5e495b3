// A table style (TABLESTYLE, an object of the ACAD_TABLESTYLE dictionary) copied into a drawing
// that lacks it, for a table pasted there.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

#include "board/dxf/dxf_retag.h"
#include "board/dxf/dxf_source.h"

namespace pelimator::board {

// The file's object of that type whose handle is handle; kNoDxfRecord when none.
[[nodiscard]] std::size_t DxfObjectWithHandle(const DxfSource& source, std::string_view type,
                                              std::string_view handle);

// Why a table style cannot be added to the file's dictionary record (its ACAD_TABLESTYLE
// dictionary, kNoDxfRecord: none), a Japanese reason; "" when it can.
[[nodiscard]] std::string DxfTableStyleDictionaryRefusal(const DxfSource& source,
                                                         std::size_t dictionary);

// The style record of job.from written for job.to with a new handle, owned by job.owner (the
// dictionary), its reactors and extension dictionary left out; entries gets its dictionary
// entry (3 name, 350 handle). The text styles it names (7) are names: the paste makes sure of
// them as of any text's. Returns the new handle.
std::string CopyDxfTableStyle(DxfRetag& job, std::size_t record, const std::string& name,
                              std::string& records, DxfEmitter& entries);

// The file's table styles (the entries of its ACAD_TABLESTYLE dictionary): name (LayerKey) →
// name as written and the style's handle; dictionary (when given) gets the dictionary's record.
[[nodiscard]] std::map<std::string, std::pair<std::string, std::string>> DxfTableStyles(
    const DxfSource& source, std::size_t* dictionary = nullptr);

}  // namespace pelimator::board

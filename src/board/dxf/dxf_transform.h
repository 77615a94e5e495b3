// Edited records of a kept DXF file written back: a record (with the VERTEX, ATTRIB and SEQEND
// records that follow it) placed, put on another layer or copied, every group it had kept and
// only its geometry changed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "board/dxf/dxf_source.h"
#include "board/model/edit_step.h"

namespace pelimator::board {

// One past the last record that belongs to record (a POLYLINE's vertices, an INSERT's
// attributes, up to their SEQEND).
[[nodiscard]] std::size_t DxfRecordEnd(const DxfSource& source, std::size_t record);

// The record's type ("LINE"), "" when it cannot be read.
[[nodiscard]] std::string DxfRecordType(const DxfSource& source, std::size_t record);

// Why the record cannot be placed (moved, turned, copied) exactly, as a Japanese sentence naming
// its kind; "" when it can.
[[nodiscard]] std::string DxfPlacementRefusal(const DxfSource& source, std::size_t record);
// The same for one placement: a table moves, but does not turn, mirror or scale.
[[nodiscard]] std::string DxfPlacementRefusal(const DxfSource& source, std::size_t record,
                                              const RecordPlacement& placement);

// Why a copy of the record cannot be made whole, as a Japanese sentence naming its kind: it owns
// an object of the file (360 outside its extension dictionary, as an image owns the reactor that
// ties it to its image definition) that the copy would share. "" when it can be copied.
[[nodiscard]] std::string DxfCopyRefusal(const DxfSource& source, std::size_t record);

// The bytes of records [record, DxfRecordEnd) with placements applied to their geometry and,
// when layerName is not empty, group 8 of the record (and of a polyline's vertices) set to it.
// copy: handles from nextHandle upward (advanced past them), followers owned by the new head,
// reactors and the extension dictionary left out (as ezdxf copies an entity, except that its
// dictionary is not duplicated). recordEnd, when given, is set to DxfRecordEnd.
[[nodiscard]] std::string RewriteDxfRecord(const DxfSource& source, std::size_t record,
                                           const std::vector<RecordPlacement>& placements,
                                           std::string_view layerName, bool copy,
                                           std::uint64_t& nextHandle,
                                           std::size_t* recordEnd = nullptr);

}  // namespace pelimator::board

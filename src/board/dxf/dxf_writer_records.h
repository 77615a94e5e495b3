// Records a DXF save writes anew: layer records (new ones, and the file's own written again with
// their changes), LINE and ARC entities, and the first of the handles they take.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "board/dxf/dxf_source.h"
#include "board/dxf/dxf_tags.h"
#include "board/model/edit_step.h"
#include "board/model/entity.h"
#include "board/model/layers.h"

namespace pelimator::board::writer {

// What a save does with one board layer.
struct LayerPlan {
    LayerData data;
    const DxfLayerEntry* entry = nullptr;  // null for a layer new to the file
    std::string dxfName;                   // as written in the file
    bool newRecord = false;                // a LAYER record to add
    bool rewrite = false;                  // its record re-emitted with the changes
    std::uint64_t handle = 0;
};

// A table's count as the file's form can hold it (16 bits in binary DXF, 32 in text): a count at
// its limit stays there rather than wrap or pass what readers take.
[[nodiscard]] std::int64_t TableCount(const DxfSource& source, std::int64_t count);
// head, body and a closing record of type end.
[[nodiscard]] std::string Wrapped(const DxfSource& source, std::string_view head,
                                  std::string_view body, const char* end);

// A record's first groups: its type, handle (when the file has handles) and, from R13 on, its
// owner and subclass markers.
void RecordHead(DxfEmitter& out, const DxfSource& source, const char* type, std::uint64_t handle,
                const std::string& owner, std::initializer_list<const char*> subclasses);

// A value must stay on its line: control characters become '_'.
[[nodiscard]] std::string WithoutControls(std::string text);

// True colours (group 420) came with AutoCAD 2004.
[[nodiscard]] bool WritesTrueColour(const DxfSource& source);

// Whether the layer's record carries Pelimator's extended data after the save.
[[nodiscard]] bool NeedsOurData(const DxfSource& source, const LayerPlan& plan);

// A LAYER record for a layer the file lacks, owned by the table with handle `tableHandle`.
[[nodiscard]] std::string NewLayerRecord(const DxfSource& source, const LayerPlan& plan,
                                         const std::string& tableHandle);

// The layer's record with name, colour, visibility and Pelimator's data changed, every other
// group kept in its place.
[[nodiscard]] std::string RewrittenLayer(const DxfSource& source, const LayerPlan& plan);

// A LINE or ARC of the board in model space, on the layer of DXF name `layer`.
void NewEntityRecord(DxfEmitter& out, const DxfSource& source, const EntityData& entity,
                     std::uint64_t handle, const std::string& layer);

// The first of `needed` handles the save gives: they never meet one of the file's, nor wrap
// to 0. Throws FileError (message starting with `failure`) when no such run is left.
[[nodiscard]] std::uint64_t FirstSaveHandle(const DxfSource& source, std::uint64_t needed,
                                            const std::string& failure);

// A record rewritten ahead of the save's walk: its bytes and the record after it, or why it
// could not be rewritten.
struct Rewritten {
    bool done = false;
    std::string bytes;
    std::size_t end = 0;
    std::exception_ptr failure;
};

// Every record k < count that is wanted(k), rewritten by rewrite(k, end), in runs of records on
// as many threads as there are cores when there are thousands (one run, on this thread, when
// fewer). A run stops at its first failure (the walk raises it, there, by Take); records past it
// stay not done.
[[nodiscard]] std::vector<Rewritten> RewriteAhead(
    std::size_t count, const std::function<bool(std::size_t)>& wanted,
    const std::function<std::string(std::size_t, std::size_t&)>& rewrite);

// The records of edits (sorted by key) that are placed or put on another layer in place (not
// copies, not erased, of this file), rewritten ahead of the save's walk; layerOf: the DXF name of
// an edit's new layer ("" for none). RewriteDxfRecord runs on several threads at once here: it
// must only read the source.
[[nodiscard]] std::vector<Rewritten> RewriteInPlace(
    const DxfSource& source, std::span<const std::pair<std::uint32_t, const RecordEdit*>> edits,
    const std::function<std::string(const RecordEdit&)>& layerOf);

// The bytes of a record rewritten ahead and the record after it; raises its failure.
[[nodiscard]] std::string Take(Rewritten& rewritten, std::size_t& end);

}  // namespace pelimator::board::writer

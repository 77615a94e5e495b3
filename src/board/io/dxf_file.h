// Drawings as DXF files: their plain content, reading it from DXF text and writing it out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "board/model/entity.h"
#include "board/model/layers.h"

namespace pelimator::board {

// What a drawing file holds: the layer table (in table order, layer 0 always present), the lines
// and arcs, and the scale Numerator:Denominator (both positive).
struct DrawingContent {
    std::vector<LayerData> layers;
    std::vector<EntityData> entities;
    std::int32_t scaleNumerator = 1;
    std::int32_t scaleDenominator = 1;
};

// What opening a file did, for the status bar.
struct DxfOpenReport {
    std::size_t lines = 0;    // lines taken, polyline segments included
    std::size_t arcs = 0;     // arcs taken: arcs, circles and bulged polyline segments
    std::size_t skipped = 0;  // drawing entities passed over
    std::map<std::string, std::size_t> skippedKinds;  // the same, by DXF entity type
    // "線 12 本、円弧 3 本を読み込みました" with " (読み飛ばした図形 2 個: TEXT 2)" when some were
    // passed over.
    [[nodiscard]] std::string Summary() const;
};

struct DxfReadResult {
    DrawingContent content;
    DxfOpenReport report;
};

// Coordinates and radii beyond this size are refused as damaged data.
inline constexpr double kDxfMaxCoordinate = 1e12;
// The custom drawing property that holds the exact scale as "Numerator:Denominator".
inline constexpr const char* kDxfScaleProperty = "PelimatorScale";

// Reads a drawing from ASCII DXF text. Model-space LINE, ARC, CIRCLE, LWPOLYLINE and 2-D POLYLINE
// (straight and bulged segments) become lines and arcs; every other entity (POINT included: the
// board holds no points) is counted as passed over. Anything malformed, truncated or out of range
// raises FileError naming fileName; nothing partial is returned.
[[nodiscard]] DxfReadResult ReadDxfText(std::string_view text, const std::string& fileName);
// The same for a file on disk.
[[nodiscard]] DxfReadResult ReadDxfFile(const std::string& path);

// Writes content as a DXF (AutoCAD 2007 format, UTF-8) through a temporary file beside path that
// replaces path only when complete. FileError when it cannot be written; the old file is then
// left untouched.
void WriteDxfFile(const std::string& path, const DrawingContent& content);

}  // namespace pelimator::board

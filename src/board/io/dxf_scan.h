// A first pass over DXF text that checks its form before the DXF library parses it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelimator::board {

// What Pelimator keeps in a layer's extended data (application "PELIMATOR").
struct DxfLayerExtra {
    std::optional<std::int32_t> number;  // group 1071
    std::optional<std::string> name;     // group 1000: the board's name when the DXF name differs
};

struct DxfScan {
    std::size_t begin = 0;  // offset of the first group (after a byte order mark)
    std::size_t end = 0;    // offset just past the line "EOF"; what follows is ignored
    // Records of the ENTITIES section by type, VERTEX and SEQEND left out.
    std::map<std::string, std::size_t> entityCounts;
    // For each LWPOLYLINE or POLYLINE record of the ENTITIES section in file order: whether it
    // is an LWPOLYLINE.
    std::vector<bool> polylineIsLight;
    // Pelimator's extended data of the layer table, by layer name as written.
    std::map<std::string, DxfLayerExtra> layerExtras;
};

// The application name of Pelimator's extended data.
inline constexpr const char* kDxfAppName = "PELIMATOR";
// Longest line the DXF library reads in one piece.
inline constexpr std::size_t kDxfMaxLine = 1000;

// Checks that text is ASCII DXF made of whole group code / value pairs that ends with "0 EOF":
// group codes are numbers the format knows, numbers are well formed and finite, no line is longer
// than kDxfMaxLine, no value holds control characters, and no count announces more items than
// the rest of the file can hold. Raises FileError "「fileName」を開けません: 行 N: ...".
[[nodiscard]] DxfScan ScanDxf(std::string_view text, const std::string& fileName);

// Leading and trailing blanks (spaces, tabs, CR) removed.
[[nodiscard]] std::string_view TrimDxf(std::string_view value) noexcept;

// What the value of a group code is: the DXF format fixes it by ranges of codes.
enum class DxfValueKind : std::uint8_t { Text, Real, Integer, Unknown };
[[nodiscard]] DxfValueKind ValueKindOf(int code) noexcept;

}  // namespace pelimator::board

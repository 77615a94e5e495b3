// Text in DXF files: decoding and encoding names in a file's code page, and making names DXF
// accepts.
#pragma once

#include <string>
#include <string_view>

namespace pelimator::board {

// Whether text is well-formed UTF-8.
[[nodiscard]] bool IsValidUtf8(std::string_view text) noexcept;

// A DXF string as UTF-8: "\U+XXXX" escapes are decoded; in files older than AutoCAD 2007
// (acadVersion below "AC1021") other bytes are converted from the file's code page
// ($DWGCODEPAGE, e.g. "ANSI_932"); "\M+nXXXX" (a double-byte character of code page n) is
// decoded too. Bytes that still do not form UTF-8 become '?'.
[[nodiscard]] std::string DecodeDxfString(std::string_view raw, std::string_view acadVersion,
                                          std::string_view codePage);

// UTF-8 text in the form a file of acadVersion and codePage holds it: as it is from AC1021 on;
// before, converted to the code page, with "\U+XXXX" for characters the page cannot hold.
[[nodiscard]] std::string EncodeDxfString(std::string_view text, std::string_view acadVersion,
                                          std::string_view codePage);

// A layer name DXF accepts made from a board name: characters DXF forbids in names
// (< > / \ " : ; ? * | = `) and control characters become '_', blanks at the ends go, and
// the result is at most 255 bytes (cut on a character boundary). Empty when nothing is left.
[[nodiscard]] std::string SanitizeLayerName(std::string_view name);

// ASCII letters upper-cased: DXF compares layer names without case.
[[nodiscard]] std::string LayerKey(std::string_view name);

}  // namespace pelimator::board

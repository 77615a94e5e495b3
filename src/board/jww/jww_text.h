// Text in JWW files: Shift-JIS (code page 932) or, in Jw_cad 8's files, UTF-16, to and from UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace pelimator::board::jww {

// Shift-JIS bytes as UTF-8; bytes that do not convert become '?'.
[[nodiscard]] std::string FromShiftJis(std::string_view bytes);
// UTF-16 (little-endian) bytes as UTF-8; an unpaired surrogate becomes '?', an odd last byte is
// left out.
[[nodiscard]] std::string FromUtf16(std::string_view bytes);
// UTF-8 as UTF-16 (little-endian) bytes; bytes that are not UTF-8 become '?'.
[[nodiscard]] std::string ToUtf16(std::string_view utf8);
// UTF-8 fit to show and to write into any text format (XML has no control characters): control
// characters other than tab, line feed and carriage return, and the non-characters U+FFFE and
// U+FFFF, become U+FFFD.
[[nodiscard]] std::string ShownText(std::string utf8);
// UTF-8 as Shift-JIS; characters the code page lacks become '?'.
[[nodiscard]] std::string ToShiftJis(std::string_view utf8);

}  // namespace pelimator::board::jww

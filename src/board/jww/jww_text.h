// Text in JWW files: Shift-JIS (code page 932) to and from UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace pelimator::board::jww {

// Shift-JIS bytes as UTF-8; bytes that do not convert become '?'.
[[nodiscard]] std::string FromShiftJis(std::string_view bytes);
// UTF-8 as Shift-JIS; characters the code page lacks become '?'.
[[nodiscard]] std::string ToShiftJis(std::string_view utf8);

}  // namespace pelimator::board::jww

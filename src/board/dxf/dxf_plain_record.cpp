// A LINE, ARC or CIRCLE placeable from its group codes and extrusion.
#include "board/dxf/dxf_plain_record.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

#include "board/dxf/dxf_record_roles.h"

namespace pelimator::board {

namespace {

// The lines of a record's text, one at a time (line ends and blanks trimmed).
class Lines {
public:
    explicit Lines(std::string_view text) : m_text(text) {}

    bool Next(std::string_view& line) {
        if (m_at >= m_text.size()) return false;
        const char* const begin = m_text.data() + m_at;
        const void* const newline = std::memchr(begin, '\n', m_text.size() - m_at);
        const std::size_t length =
            newline == nullptr
                ? m_text.size() - m_at
                : static_cast<std::size_t>(static_cast<const char*>(newline) - begin);
        line = TrimDxf(std::string_view(begin, length));
        m_at += length + 1;
        return true;
    }

private:
    std::string_view m_text;
    std::size_t m_at = 0;
};

bool Code(std::string_view text, int& code) {
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), code);
    return ec == std::errc() && ptr == text.data() + text.size() && !text.empty();
}

// A number written plainly; other forms the reader takes (a leading '+', a decimal comma) are
// left to the whole check.
bool Number(std::string_view text, double& value) {
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && ptr == text.data() + text.size() && !text.empty() &&
           std::isfinite(value);
}

}  // namespace

bool PlainlyPlaceable(const DxfSource& source, std::size_t record) {
    if (source.layout.form != DxfForm::Ascii || record + 1 >= source.records.size()) return false;
    const std::string_view bytes = source.bytes;
    const std::size_t begin = source.records[record];
    Lines lines(bytes.substr(begin, source.records[record + 1] - begin));
    std::string_view codeLine;
    std::string_view value;
    int code = -1;
    if (!lines.Next(codeLine) || !lines.Next(value) || !Code(codeLine, code) || code != 0) {
        return false;
    }
    if (value != "LINE" && value != "ARC" && value != "CIRCLE") return false;
    std::array<double, 3> z{0.0, 0.0, 1.0};
    while (lines.Next(codeLine)) {
        if (!lines.Next(value) || !Code(codeLine, code)) return false;
        // Parts of a record where group codes mean something else: the whole check tells them.
        if (code == 101 || code == 102 || code >= 1000) return false;
        if ((code == 210 || code == 220 || code == 230) &&
            !Number(value, z[static_cast<std::size_t>((code - 210) / 10)])) {
            return false;
        }
    }
    return dxf_roles::AlongZ(z);
}

}  // namespace pelimator::board

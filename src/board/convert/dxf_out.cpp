// Writing DXF text: group codes, exact numbers, handles and names fit for symbol tables.
#include "board/convert/dxf_out.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cmath>

namespace pelimator::board::convert {

std::string DxfHex(std::uint64_t value) {
    std::array<char, 20> text{};
    const auto result = std::to_chars(text.data(), text.data() + text.size(), value, 16);
    std::string hex(text.data(), result.ptr);
    for (char& c : hex) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return hex;
}

std::string ShortestNumber(double value) {
    std::array<char, 32> text{};
    const auto result = std::to_chars(text.data(), text.data() + text.size(), value);
    return {text.data(), result.ptr};
}

std::string DxfHandles::Next() { return DxfHex(m_next++); }

void DxfOut::Put(int code, std::string_view value) {
    // Group codes right-aligned in three columns, as AutoCAD writes them.
    const std::string head = std::to_string(code);
    if (head.size() < 3) m_text.append(3 - head.size(), ' ');
    m_text += head;
    m_text += '\n';
    // A value is one line: a line break inside it would end the value early.
    for (const char c : value) m_text += c == '\n' || c == '\r' ? ' ' : c;
    m_text += '\n';
}

std::string DxfNumber(double value) {
    if (!std::isfinite(value)) value = 0.0;
    if (value == 0.0) value = 0.0;  // no "-0.0"
    std::string number = ShortestNumber(value);
    // A DXF real has a decimal point or an exponent.
    if (number.find_first_of(".e") == std::string::npos) number += ".0";
    return number;
}

void DxfOut::Put(int code, double value) { Put(code, DxfNumber(value)); }

void DxfOut::PutInt(int code, long long value) { Put(code, std::to_string(value)); }

void DxfOut::PutPoint(int code, Vec2 p) {
    Put(code, p.x);
    Put(code + 10, p.y);
    Put(code + 20, 0.0);
}

std::string DxfSymbolName(std::string_view name, std::string_view fallback) {
    std::string out;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        const bool reserved =
            u < 0x20 || std::string_view("<>/\\\":;?*|=`").find(c) != std::string_view::npos;
        out += reserved ? '_' : c;
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out.empty() ? std::string(fallback) : out;
}

}  // namespace pelimator::board::convert

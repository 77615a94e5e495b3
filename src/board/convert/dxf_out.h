// Writing DXF text: group codes and values, one per line, and the handles of new records.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "board/model/types.h"

namespace pelimator::board::convert {

// The handles of a drawing's records, counted up from the first free one.
class DxfHandles {
public:
    explicit DxfHandles(std::uint64_t next) noexcept : m_next(next) {}
    // A new handle, in hexadecimal as DXF writes it.
    [[nodiscard]] std::string Next();
    [[nodiscard]] std::uint64_t Seed() const noexcept { return m_next; }

private:
    std::uint64_t m_next;
};

// DXF text being written: each Put adds a group code line and a value line.
class DxfOut {
public:
    void Put(int code, std::string_view value);
    // A number exactly (shortest form that reads back the same double).
    void Put(int code, double value);
    void PutInt(int code, long long value);
    // A point: x under code, y under code + 10, z (0) under code + 20.
    void PutPoint(int code, Vec2 p);
    [[nodiscard]] const std::string& Text() const noexcept { return m_text; }
    [[nodiscard]] std::string Take() noexcept { return std::move(m_text); }

private:
    std::string m_text;
};

// A number as DXF writes it: exactly (the shortest form that reads back the same double), with a
// decimal point; 0 for what is not a number.
[[nodiscard]] std::string DxfNumber(double value);
// value in upper-case hexadecimal digits, as DXF handles are written.
[[nodiscard]] std::string DxfHex(std::uint64_t value);
// value's shortest decimal form that reads back exactly ("100", "0.5").
[[nodiscard]] std::string ShortestNumber(double value);

// A name fit for a DXF symbol table: the characters DXF reserves (<>/\":;?*|=` and control
// characters) become '_'; an empty name becomes fallback.
[[nodiscard]] std::string DxfSymbolName(std::string_view name, std::string_view fallback);

}  // namespace pelimator::board::convert

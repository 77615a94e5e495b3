// DXF tags: splitting a buffer into checked tags without copying, and writing tags.
#include "board/dxf/dxf_tags.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "base/errors.h"
#include "board/dxf/dxf_names.h"

namespace pelimator::board {

namespace {

constexpr int kMaxGroupCode = 1071;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool InRange(int code, int low, int high) noexcept { return code >= low && code <= high; }

bool ParseReal(std::string_view text, double& value) noexcept {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return false;
    const auto [ptr, ec] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (ec == std::errc() && ptr == text.data() + text.size()) return std::isfinite(value);
    // A comma for the decimal point, as some writers localise it.
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos || text.size() > 64) return false;
    std::array<char, 64> copy{};
    std::memcpy(copy.data(), text.data(), text.size());
    copy[comma] = '.';
    const auto [p2, e2] =
        std::from_chars(copy.data(), copy.data() + text.size(), value, std::chars_format::general);
    return e2 == std::errc() && p2 == copy.data() + text.size() && std::isfinite(value);
}

bool ParseInteger(std::string_view text, std::int64_t& value) noexcept {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && ptr == text.data() + text.size() && !text.empty();
}

template <typename T>
T LoadLittle(const char* p) noexcept {
    T value{};
    std::memcpy(&value, p, sizeof(T));  // the platforms we build for are little endian
    return value;
}

template <typename T>
void AppendLittle(std::string& out, T value) {
    std::array<char, sizeof(T)> bytes{};
    std::memcpy(bytes.data(), &value, sizeof(T));
    out.append(bytes.data(), bytes.size());
}

std::size_t FixedSize(DxfValueKind kind) noexcept {
    switch (kind) {
        case DxfValueKind::Real:
        case DxfValueKind::Int64:
            return 8;
        case DxfValueKind::Int32:
            return 4;
        case DxfValueKind::Int16:
            return 2;
        case DxfValueKind::Bool:
            return 1;
        default:
            return 0;
    }
}

}  // namespace

DxfValueKind ValueKindOf(int code) noexcept {
    if (InRange(code, 10, 59) || InRange(code, 110, 149) || InRange(code, 210, 239) ||
        InRange(code, 460, 469) || InRange(code, 1010, 1059)) {
        return DxfValueKind::Real;
    }
    if (InRange(code, 60, 79) || InRange(code, 170, 179) || InRange(code, 270, 289) ||
        InRange(code, 370, 389) || InRange(code, 400, 409) || InRange(code, 1060, 1070)) {
        return DxfValueKind::Int16;
    }
    if (InRange(code, 90, 99) || InRange(code, 420, 429) || InRange(code, 440, 459) ||
        code == 1071) {
        return DxfValueKind::Int32;
    }
    if (InRange(code, 160, 169)) return DxfValueKind::Int64;
    if (InRange(code, 290, 299)) return DxfValueKind::Bool;
    if (InRange(code, 310, 319) || code == 1004) return DxfValueKind::Bytes;
    if (InRange(code, 0, 9) || InRange(code, 100, 109) || InRange(code, 300, 369) ||
        InRange(code, 390, 399) || InRange(code, 410, 419) || InRange(code, 430, 439) ||
        InRange(code, 470, 481) || code == 999 || InRange(code, 1000, 1009)) {
        return DxfValueKind::Text;
    }
    return DxfValueKind::Unknown;
}

DxfLayout DetectLayout(std::string_view data) noexcept {
    DxfLayout layout;
    if (data.substr(0, kDxfBinarySentinel.size()) == kDxfBinarySentinel) {
        layout.form = DxfForm::Binary;
        layout.begin = kDxfBinarySentinel.size();
        // "0 SECTION" comes first: code 0 as two zero bytes from R13 on, one byte in R12.
        layout.wideCodes = data.size() > layout.begin + 1 && data[layout.begin] == '\0' &&
                           data[layout.begin + 1] == '\0';
        return layout;
    }
    if (data.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        layout.begin = kByteOrderMark.size();
    }
    const std::size_t newline = data.find('\n', layout.begin);
    if (newline != std::string_view::npos && newline > 0 && data[newline - 1] == '\r') {
        layout.eol = "\r\n";
    }
    return layout;
}

DxfTagReader::DxfTagReader(std::string_view data, const DxfLayout& layout, std::string fileName)
    : m_data(data), m_layout(layout), m_fileName(std::move(fileName)), m_pos(layout.begin) {}

void DxfTagReader::Seek(std::size_t offset, std::size_t firstLine) noexcept {
    m_pos = offset;
    m_line = firstLine - 1;
}

void DxfTagReader::Fail(const std::string& what) const {
    throw FileError("図面ファイル「" + m_fileName + "」を開けません: " + Where() + ": " + what);
}

std::string DxfTagReader::Where() const {
    if (m_layout.form == DxfForm::Binary) return "バイト位置 " + std::to_string(m_tagBegin);
    return std::to_string(m_line) + " 行目";
}

bool DxfTagReader::Next(DxfTag& tag) {
    return m_layout.form == DxfForm::Ascii ? NextAscii(tag) : NextBinary(tag);
}

void DxfTagReader::NoteText(std::string_view text) noexcept {
    for (const char c : text) {
        if ((static_cast<unsigned char>(c) & 0x80U) != 0) {
            m_nonAscii = true;
            if (m_shiftJis) m_shiftJis = IsValidShiftJis(text);
            if (m_utf8) m_utf8 = IsValidUtf8(text);
            return;
        }
    }
}

bool DxfTagReader::Line(std::string_view& line) {
    const char* const data = m_data.data();
    const std::size_t size = m_data.size();
    std::size_t i = m_pos;
    unsigned high = 0;
    bool control = false;
    // Eight bytes at a time up to the first byte below 0x20: in nearly every line that is its
    // '\n', and the bytes before it need only their high bits noted. Anything else below 0x20
    // (a tab, a CR, a control character) and the last few bytes go through the exact loop below.
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
    while (i + 8 <= size) {
        const auto word = LoadLittle<std::uint64_t>(data + i);
        // The lowest flagged byte is the first below 0x20 (a borrow only spoils higher ones).
        const std::uint64_t below = (word - 0x20U * kOnes) & ~word & kHighs;
        if (below == 0) {
            if ((word & kHighs) != 0) high = 0x80U;
            i += 8;
            continue;
        }
        const auto at = static_cast<unsigned>(std::countr_zero(below)) / 8U;
        if ((word & kHighs & ((std::uint64_t{1} << (8U * at)) - 1U)) != 0) high = 0x80U;
        i += at;
        break;
    }
    for (; i < size; ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        if (c < 0x20U) {
            if (c == '\n') break;
            if (c == '\t') continue;
            if (c == '\r' && (i + 1 == size || data[i + 1] == '\n')) continue;
            control = true;
        }
        high |= c;
    }
    std::size_t stop = i;
    if (stop > m_pos && data[stop - 1] == '\r') --stop;
    line = m_data.substr(m_pos, stop - m_pos);
    m_pos = i < size ? i + 1 : size;
    ++m_line;
    if (control) Fail("制御文字が含まれています (テキスト形式の DXF ではありません)");
    if ((high & 0x80U) != 0) NoteText(line);
    return true;
}

bool DxfTagReader::NextAscii(DxfTag& tag) {
    if (m_pos >= m_data.size()) return false;
    m_tagBegin = m_pos;
    tag.begin = m_pos;
    std::string_view codeLine;
    Line(codeLine);
    std::int64_t code = 0;
    if (!ParseInteger(TrimDxf(codeLine), code)) Fail("グループコードが数値ではありません");
    if (code < 0 || code > kMaxGroupCode) {
        Fail("不明なグループコード " + std::to_string(code) + " です");
    }
    tag.code = static_cast<int>(code);
    if (m_pos >= m_data.size()) {
        ++m_line;
        Fail("ファイルが途中で切れています (値がありません)");
    }
    Line(tag.value);
    tag.end = m_pos;
    const DxfValueKind kind = ValueKindOf(tag.code);
    if (kind != DxfValueKind::Text && kind != DxfValueKind::Unknown &&
        kind != DxfValueKind::Bytes) {
        ParseValue(tag, TrimDxf(tag.value));
    }
    return true;
}

void DxfTagReader::ParseValue(DxfTag& tag, std::string_view trimmed) const {
    const auto label = [&] {
        return "グループコード " + std::to_string(tag.code) + " の値「" + std::string(trimmed) +
               "」";
    };
    if (ValueKindOf(tag.code) == DxfValueKind::Real) {
        if (!ParseReal(trimmed, tag.real)) Fail(label() + "が正しい数値ではありません");
        return;
    }
    const bool wide = ValueKindOf(tag.code) == DxfValueKind::Int64;
    if (!ParseInteger(trimmed, tag.integer) ||
        (!wide && (tag.integer < std::numeric_limits<std::int32_t>::min() ||
                   tag.integer > std::numeric_limits<std::int32_t>::max()))) {
        Fail(label() + "が正しい整数ではありません");
    }
    tag.real = static_cast<double>(tag.integer);
}

bool DxfTagReader::NextBinary(DxfTag& tag) {
    if (m_pos >= m_data.size()) return false;
    m_tagBegin = m_pos;
    tag.begin = m_pos;
    tag.code = BinaryCode();
    const DxfValueKind kind = ValueKindOf(tag.code);
    switch (kind) {
        case DxfValueKind::Text:
        case DxfValueKind::Unknown:
            BinaryText(tag);
            break;
        case DxfValueKind::Bytes:
            BinaryChunk(tag);
            break;
        case DxfValueKind::Real:
        case DxfValueKind::Int16:
        case DxfValueKind::Int32:
        case DxfValueKind::Int64:
        case DxfValueKind::Bool:
            BinaryFixed(tag, kind);
            break;
    }
    tag.end = m_pos;
    return true;
}

void DxfTagReader::Need(std::size_t bytes) const {
    if (m_data.size() - m_pos < bytes) Fail("ファイルが途中で切れています");
}

// A byte, or 255 and a 16-bit code (R12); 16 bits from R13 on.
int DxfTagReader::BinaryCode() {
    const char* const data = m_data.data();
    int code = 0;
    if (m_layout.wideCodes) {
        Need(2);
        code = LoadLittle<std::int16_t>(data + m_pos);
        m_pos += 2;
    } else {
        code = static_cast<unsigned char>(data[m_pos]);
        ++m_pos;
        if (code == 255) {
            Need(2);
            code = LoadLittle<std::int16_t>(data + m_pos);
            m_pos += 2;
        }
    }
    if (code < 0 || code > kMaxGroupCode) {
        Fail("不明なグループコード " + std::to_string(code) + " です");
    }
    return code;
}

// Text up to its NUL.
void DxfTagReader::BinaryText(DxfTag& tag) {
    const char* const data = m_data.data();
    const void* nul = std::memchr(data + m_pos, '\0', m_data.size() - m_pos);
    if (nul == nullptr) Fail("ファイルが途中で切れています (文字列の終わりがありません)");
    const auto length = static_cast<std::size_t>(static_cast<const char*>(nul) - data) - m_pos;
    tag.value = m_data.substr(m_pos, length);
    m_pos += length + 1;
    NoteText(tag.value);
}

// A length byte and that many bytes.
void DxfTagReader::BinaryChunk(DxfTag& tag) {
    Need(1);
    const std::size_t length = static_cast<unsigned char>(m_data[m_pos]);
    ++m_pos;
    Need(length);
    tag.value = m_data.substr(m_pos, length);
    m_pos += length;
}

// A little-endian number of the kind's size; a real must be finite.
void DxfTagReader::BinaryFixed(DxfTag& tag, DxfValueKind kind) {
    const std::size_t bytes = FixedSize(kind);
    Need(bytes);
    tag.value = m_data.substr(m_pos, bytes);
    m_pos += bytes;
    if (kind == DxfValueKind::Real) {
        tag.real = LoadLittle<double>(tag.value.data());
        if (!std::isfinite(tag.real)) {
            Fail("グループコード " + std::to_string(tag.code) + " の値が正しい数値ではありません");
        }
        return;
    }
    if (kind == DxfValueKind::Int16) tag.integer = LoadLittle<std::int16_t>(tag.value.data());
    if (kind == DxfValueKind::Int32) tag.integer = LoadLittle<std::int32_t>(tag.value.data());
    if (kind == DxfValueKind::Int64) tag.integer = LoadLittle<std::int64_t>(tag.value.data());
    if (kind == DxfValueKind::Bool) tag.integer = static_cast<unsigned char>(tag.value[0]);
    tag.real = static_cast<double>(tag.integer);
}

std::string_view TrimDxf(std::string_view value) noexcept {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!value.empty() && blank(value.front())) value.remove_prefix(1);
    while (!value.empty() && blank(value.back())) value.remove_suffix(1);
    return value;
}

bool IsValidShiftJis(std::string_view text) noexcept {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80U || (c >= 0xA1U && c <= 0xDFU)) continue;
        const bool lead = (c >= 0x81U && c <= 0x9FU) || (c >= 0xE0U && c <= 0xFCU);
        if (!lead || i + 1 >= text.size()) return false;
        const auto t = static_cast<unsigned char>(text[++i]);
        if (!((t >= 0x40U && t <= 0x7EU) || (t >= 0x80U && t <= 0xFCU))) return false;
    }
    return true;
}

bool ParseHandle(std::string_view text, std::uint64_t& handle) noexcept {
    text = TrimDxf(text);
    if (text.empty() || text.size() > 16) return false;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), handle, 16);
    return ec == std::errc() && ptr == text.data() + text.size();
}

void DxfEmitter::Code(int code) {
    if (m_layout.form == DxfForm::Binary) {
        if (m_layout.wideCodes) {
            AppendLittle(m_out, static_cast<std::int16_t>(code));
        } else if (code < 255) {
            m_out += static_cast<char>(code);
        } else {
            m_out += static_cast<char>(255);
            AppendLittle(m_out, static_cast<std::int16_t>(code));
        }
        return;
    }
    std::array<char, 8> buffer{' ', ' '};
    const std::size_t pad = code < 10 ? 2 : (code < 100 ? 1 : 0);
    const auto result = std::to_chars(buffer.data() + pad, buffer.data() + buffer.size(), code);
    m_out.append(buffer.data(), result.ptr);
    m_out += m_layout.eol;
}

void DxfEmitter::Text(int code, std::string_view value) {
    Code(code);
    m_out.append(value);
    if (m_layout.form == DxfForm::Binary) {
        m_out += '\0';
    } else {
        m_out += m_layout.eol;
    }
}

void DxfEmitter::Chunk(int code, std::string_view bytes) {
    if (m_layout.form == DxfForm::Binary) {
        do {
            const std::string_view part = bytes.substr(0, 255);
            bytes.remove_prefix(part.size());
            Code(code);
            m_out += static_cast<char>(part.size());
            m_out.append(part);
        } while (!bytes.empty());
        return;
    }
    Code(code);
    static constexpr std::string_view kHex = "0123456789ABCDEF";
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        m_out += kHex[b >> 4U];
        m_out += kHex[b & 15U];
    }
    m_out += m_layout.eol;
}

void DxfEmitter::Real(int code, double value) {
    Code(code);
    if (m_layout.form == DxfForm::Binary) {
        AppendLittle(m_out, value);
        return;
    }
    std::array<char, 400> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::fixed);
    m_out.append(buffer.data(), result.ptr);
    m_out += m_layout.eol;
}

void DxfEmitter::Integer(int code, std::int64_t value) {
    Code(code);
    if (m_layout.form == DxfForm::Binary) {
        switch (ValueKindOf(code)) {
            case DxfValueKind::Int16:
                AppendLittle(m_out, static_cast<std::int16_t>(value));
                break;
            case DxfValueKind::Int32:
                AppendLittle(m_out, static_cast<std::int32_t>(value));
                break;
            case DxfValueKind::Bool:
                m_out += static_cast<char>(value != 0 ? 1 : 0);
                break;
            default:
                AppendLittle(m_out, value);
                break;
        }
        return;
    }
    std::array<char, 24> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    m_out.append(buffer.data(), result.ptr);
    m_out += m_layout.eol;
}

void DxfEmitter::Handle(int code, std::uint64_t handle) {
    std::array<char, 24> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), handle, 16);
    for (char* c = buffer.data(); c != result.ptr; ++c) {
        if (*c >= 'a' && *c <= 'f') *c = static_cast<char>(*c - 'a' + 'A');
    }
    Text(code,
         std::string_view(buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data())));
}

}  // namespace pelimator::board

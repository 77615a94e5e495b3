// A first pass over DXF text that checks its form before the DXF library parses it.
#include "board/io/dxf_scan.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <set>

#include "base/errors.h"

namespace pelimator::board {

namespace {

constexpr std::string_view kBinarySentinel = "AutoCAD Binary DXF";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr int kMaxGroupCode = 1071;

bool InRange(int code, int low, int high) noexcept { return code >= low && code <= high; }

bool IsReal(std::string_view value) noexcept {
    // [+-] digits [. digits] [e [+-] digits], with at least one digit before the exponent; a
    // comma may stand for the point (the DXF library accepts it).
    std::size_t i = 0;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < value.size() && value[i] >= '0' && value[i] <= '9') ++i, ++digits;
    if (i < value.size() && (value[i] == '.' || value[i] == ',')) {
        ++i;
        while (i < value.size() && value[i] >= '0' && value[i] <= '9') ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < value.size() && (value[i] == 'e' || value[i] == 'E')) {
        ++i;
        if (i < value.size() && (value[i] == '+' || value[i] == '-')) ++i;
        std::size_t exponentDigits = 0;
        while (i < value.size() && value[i] >= '0' && value[i] <= '9') ++i, ++exponentDigits;
        if (exponentDigits == 0) return false;
    }
    return i == value.size();
}

std::optional<double> ParseReal(std::string_view value) {
    if (!IsReal(value)) return std::nullopt;
    std::string copy;
    if (value.find(',') != std::string_view::npos) {
        copy = value;
        for (char& c : copy) {
            if (c == ',') c = '.';
        }
        value = copy;
    }
    if (!value.empty() && value.front() == '+') value.remove_prefix(1);
    double parsed = 0.0;
    const auto [ptr, ec] = std::from_chars(value.data(), value.data() + value.size(), parsed);
    // Out of range (1e400) is refused like any other value that is not a finite number.
    if (ec != std::errc() || ptr != value.data() + value.size() || !std::isfinite(parsed)) {
        return std::nullopt;
    }
    return parsed;
}

std::optional<long long> ParseInteger(std::string_view value) {
    if (!value.empty() && value.front() == '+') value.remove_prefix(1);
    long long parsed = 0;
    const auto [ptr, ec] = std::from_chars(value.data(), value.data() + value.size(), parsed);
    if (ec != std::errc() || ptr != value.data() + value.size()) return std::nullopt;
    return parsed;
}

// Group codes whose value says how many items follow, for record types whose items the DXF
// library stores in arrays of that size.
bool IsCount(std::string_view type, int code) noexcept {
    if (type == "LWPOLYLINE") return code == 90;
    if (type == "SPLINE") return InRange(code, 72, 74);
    if (type == "LEADER") return code == 76;
    if (type == "HATCH") return InRange(code, 91, 99) || InRange(code, 72, 79);
    if (type == "MTEXT") return code == 73 || code == 75;
    return false;
}

class Scanner {
public:
    Scanner(std::string_view text, const std::string& fileName)
        : m_text(text), m_fileName(fileName) {}

    DxfScan Run() {
        if (m_text.find_first_not_of(" \t\r\n") == std::string_view::npos) {
            Fail("ファイルが空です");
        }
        if (m_text.substr(0, kBinarySentinel.size()) == kBinarySentinel) {
            Fail("バイナリ形式の DXF には対応していません。テキスト形式で保存し直してください");
        }
        if (m_text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
            m_pos = kByteOrderMark.size();
        }
        m_scan.begin = m_pos;
        for (;;) {
            std::string_view codeLine;
            if (!NextLine(codeLine))
                Fail("ファイルが途中で切れています (終わりの EOF がありません)");
            const int code = ParseCode(codeLine);
            std::string_view valueLine;
            if (!NextLine(valueLine)) Fail("ファイルが途中で切れています (値がありません)");
            const std::string_view value = TrimDxf(valueLine);
            CheckValue(code, value, valueLine);
            if (code == 0 && value == "EOF") break;
            Track(code, value);
        }
        m_scan.end = m_pos;
        return std::move(m_scan);
    }

private:
    [[noreturn]] void Fail(const std::string& what) const {
        std::string message = "図面ファイル「" + m_fileName + "」を開けません: ";
        if (m_line > 0) message += std::to_string(m_line) + " 行目: ";
        throw FileError(message + what);
    }

    bool NextLine(std::string_view& line) {
        if (m_pos >= m_text.size()) return false;
        const std::size_t newline = m_text.find('\n', m_pos);
        const std::size_t stop = newline == std::string_view::npos ? m_text.size() : newline;
        line = m_text.substr(m_pos, stop - m_pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        m_pos = newline == std::string_view::npos ? m_text.size() : newline + 1;
        ++m_line;
        if (line.size() > kDxfMaxLine) Fail("行が長すぎます");
        for (const char c : line) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x20U && c != '\t')
                Fail("制御文字が含まれています (テキスト形式の DXF ではありません)");
        }
        return true;
    }

    int ParseCode(std::string_view line) const {
        const auto parsed = ParseInteger(TrimDxf(line));
        if (!parsed) Fail("グループコードが数値ではありません");
        if (*parsed < 0 || *parsed > kMaxGroupCode)
            Fail("不明なグループコード " + std::to_string(*parsed) + " です");
        return static_cast<int>(*parsed);
    }

    void CheckValue(int code, std::string_view value, std::string_view raw) {
        const auto label = [code] { return "グループコード " + std::to_string(code) + " の値"; };
        switch (ValueKindOf(code)) {
            case DxfValueKind::Real:
                if (!ParseReal(value))
                    Fail(label() + "「" + std::string(value) + "」が正しい数値ではありません");
                break;
            case DxfValueKind::Integer: {
                const auto parsed = ParseInteger(value);
                const bool wide = InRange(code, 160, 169) || InRange(code, 450, 459);
                if (!parsed || (!wide && (*parsed < std::numeric_limits<std::int32_t>::min() ||
                                          *parsed > std::numeric_limits<std::int32_t>::max()))) {
                    Fail(label() + "「" + std::string(value) + "」が正しい整数ではありません");
                }
                // A count cannot exceed what the rest of the file holds (a pair takes at least
                // four bytes); larger ones would only make the reader reserve memory.
                if (IsCount(m_recordType, code) &&
                    (*parsed < 0 ||
                     static_cast<unsigned long long>(*parsed) > (m_text.size() - m_pos) / 4)) {
                    Fail(label() + "の件数 " + std::to_string(*parsed) +
                         " がファイルの大きさに合いません");
                }
                break;
            }
            case DxfValueKind::Text:
            case DxfValueKind::Unknown:
                (void)raw;
                break;
        }
    }

    void Track(int code, std::string_view value) {
        if (code == 0) {
            m_recordType = std::string(value);
            m_inXData = false;
            m_inLayer = m_section == "TABLES" && value == "LAYER";
            if (value == "SECTION") m_expectSectionName = true;
            if (value == "ENDSEC") m_section.clear();
            if (m_section == "ENTITIES" && value != "VERTEX" && value != "SEQEND" &&
                value != "ENDSEC") {
                ++m_scan.entityCounts[m_recordType];
                if (value == "LWPOLYLINE" || value == "POLYLINE") {
                    m_scan.polylineIsLight.push_back(value == "LWPOLYLINE");
                }
            }
            return;
        }
        if (code == 2 && m_expectSectionName) {
            m_section = std::string(value);
            m_expectSectionName = false;
            return;
        }
        if (!m_inLayer) return;
        if (code == 2) {
            m_layerName = std::string(value);
        } else if (code == 1001) {
            m_inXData = value == kDxfAppName;
        } else if (m_inXData && code == 1071) {
            m_scan.layerExtras[m_layerName].number =
                static_cast<std::int32_t>(*ParseInteger(value));
        } else if (m_inXData && code == 1000) {
            m_scan.layerExtras[m_layerName].name = std::string(value);
        }
    }

    std::string_view m_text;
    const std::string& m_fileName;
    std::size_t m_pos = 0;
    std::size_t m_line = 0;
    DxfScan m_scan;
    std::string m_recordType;
    std::string m_section;
    std::string m_layerName;
    bool m_expectSectionName = false;
    bool m_inLayer = false;
    bool m_inXData = false;
};

}  // namespace

std::string_view TrimDxf(std::string_view value) noexcept {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!value.empty() && blank(value.front())) value.remove_prefix(1);
    while (!value.empty() && blank(value.back())) value.remove_suffix(1);
    return value;
}

DxfValueKind ValueKindOf(int code) noexcept {
    if (InRange(code, 10, 59) || InRange(code, 110, 149) || InRange(code, 210, 239) ||
        InRange(code, 460, 469) || InRange(code, 1010, 1059)) {
        return DxfValueKind::Real;
    }
    if (InRange(code, 60, 79) || InRange(code, 90, 99) || InRange(code, 160, 179) ||
        InRange(code, 270, 299) || InRange(code, 370, 389) || InRange(code, 400, 409) ||
        InRange(code, 420, 429) || InRange(code, 440, 459) || InRange(code, 1060, 1071)) {
        return DxfValueKind::Integer;
    }
    if (InRange(code, 0, 9) || InRange(code, 100, 109) || InRange(code, 300, 369) ||
        InRange(code, 390, 399) || InRange(code, 410, 419) || InRange(code, 430, 439) ||
        InRange(code, 470, 481) || code == 999 || InRange(code, 1000, 1009)) {
        return DxfValueKind::Text;
    }
    return DxfValueKind::Unknown;
}

DxfScan ScanDxf(std::string_view text, const std::string& fileName) {
    return Scanner(text, fileName).Run();
}

}  // namespace pelimator::board

// Text in DXF files: decoding and encoding names in a file's code page, and making names DXF
// accepts.
#include "board/dxf/dxf_names.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

#include <iconv.h>

namespace pelimator::board {

namespace {

constexpr std::size_t kMaxNameBytes = 255;

// Length of the UTF-8 sequence starting at text[i], or 0 when it is not well formed.
std::size_t SequenceLength(std::string_view text, std::size_t i) noexcept {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80U) return 1;
    std::size_t length = 0;
    std::uint32_t code = 0;
    if ((lead & 0xE0U) == 0xC0U) {
        length = 2;
        code = lead & 0x1FU;
    } else if ((lead & 0xF0U) == 0xE0U) {
        length = 3;
        code = lead & 0x0FU;
    } else if ((lead & 0xF8U) == 0xF0U) {
        length = 4;
        code = lead & 0x07U;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0U) != 0x80U) return 0;
        code = (code << 6U) | (byte(i + k) & 0x3FU);
    }
    static constexpr std::array<std::uint32_t, 5> kMinimum = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kMinimum[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return 0;
    }
    return length;
}

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0U | (code >> 6U));
        out += static_cast<char>(0x80U | (code & 0x3FU));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0U | (code >> 12U));
        out += static_cast<char>(0x80U | ((code >> 6U) & 0x3FU));
        out += static_cast<char>(0x80U | (code & 0x3FU));
    } else {
        out += static_cast<char>(0xF0U | (code >> 18U));
        out += static_cast<char>(0x80U | ((code >> 12U) & 0x3FU));
        out += static_cast<char>(0x80U | ((code >> 6U) & 0x3FU));
        out += static_cast<char>(0x80U | (code & 0x3FU));
    }
}

std::optional<std::uint32_t> HexValue(std::string_view digits) noexcept {
    std::uint32_t value = 0;
    for (const char c : digits) {
        value <<= 4U;
        if (c >= '0' && c <= '9') {
            value |= static_cast<std::uint32_t>(c - '0');
        } else if (c >= 'A' && c <= 'F') {
            value |= static_cast<std::uint32_t>(c - 'A' + 10);
        } else if (c >= 'a' && c <= 'f') {
            value |= static_cast<std::uint32_t>(c - 'a' + 10);
        } else {
            return std::nullopt;
        }
    }
    return value;
}

// The iconv name of a DXF code page, or empty when unknown.
std::string IconvName(std::string_view codePage) {
    std::string upper;
    for (const char c : codePage) upper += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    if (upper == "ANSI_932" || upper == "DOS932") return "CP932";
    if (upper == "UTF-8" || upper == "UTF8") return "UTF-8";
    if (upper == "ANSI_936") return "GBK";
    if (upper == "ANSI_949") return "CP949";
    if (upper == "ANSI_950") return "BIG5";
    if (upper.rfind("ANSI_125", 0) == 0 && upper.size() == 9) return "CP" + upper.substr(5);
    if (upper == "ANSI_874") return "CP874";
    return {};
}

std::optional<std::string> Convert(std::string_view raw, const std::string& from,
                                   const std::string& to = "UTF-8") {
    iconv_t cd = ::iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string input(raw);
    std::vector<char> output(raw.size() * 4 + 4);
    char* in = input.data();
    std::size_t inLeft = input.size();
    char* out = output.data();
    std::size_t outLeft = output.size();
    const std::size_t result = ::iconv(cd, &in, &inLeft, &out, &outLeft);
    ::iconv_close(cd);
    if (result == static_cast<std::size_t>(-1) || inLeft != 0) return std::nullopt;
    return std::string(output.data(), output.size() - outLeft);
}

// The code page of a "\M+n" escape's digit n.
std::string MifPage(char digit) {
    switch (digit) {
        case '1':
            return "CP932";
        case '2':
            return "BIG5";
        case '3':
            return "CP949";
        case '4':
            return "JOHAB";
        case '5':
            return "GBK";
        default:
            return {};
    }
}

std::string DecodeEscapes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (text.substr(i, 3) == "\\U+" && i + 7 <= text.size()) {
            auto code = HexValue(text.substr(i + 3, 4));
            std::size_t length = 7;
            // A character beyond the first plane as a surrogate pair of two escapes.
            if (code && *code >= 0xD800 && *code <= 0xDBFF && text.substr(i + 7, 3) == "\\U+" &&
                i + 14 <= text.size()) {
                const auto low = HexValue(text.substr(i + 10, 4));
                if (low && *low >= 0xDC00 && *low <= 0xDFFF) {
                    code = 0x10000 + ((*code - 0xD800) << 10U) + (*low - 0xDC00);
                    length = 14;
                }
            }
            if (code && !(*code >= 0xD800 && *code <= 0xDFFF) && *code != 0) {
                AppendUtf8(out, *code);
                i += length;
                continue;
            }
        }
        if (text.substr(i, 3) == "\\M+" && i + 8 <= text.size()) {
            const std::string page = MifPage(text[i + 3]);
            const auto code = HexValue(text.substr(i + 4, 4));
            if (!page.empty() && code && *code > 0xFF) {
                const std::array<char, 2> bytes{static_cast<char>(*code >> 8U),
                                                static_cast<char>(*code & 0xFFU)};
                if (auto converted = Convert(std::string_view(bytes.data(), 2), page)) {
                    out += *converted;
                    i += 8;
                    continue;
                }
            }
        }
        out += text[i];
        ++i;
    }
    return out;
}

// The code point of the well-formed UTF-8 sequence of length bytes at text[i].
std::uint32_t CodePoint(std::string_view text, std::size_t i, std::size_t length) noexcept {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    if (length == 1) return byte(0);
    std::uint32_t code = byte(0) & (0xFFU >> (length + 1));
    for (std::size_t k = 1; k < length; ++k) code = (code << 6U) | (byte(k) & 0x3FU);
    return code;
}

void AppendEscape(std::string& out, std::uint32_t code) {
    const auto put = [&out](std::uint32_t unit) {
        std::array<char, 12> buffer{};
        std::snprintf(buffer.data(), buffer.size(), "\\U+%04X", static_cast<unsigned>(unit));
        out += buffer.data();
    };
    if (code < 0x10000) {
        put(code);
    } else {
        put(0xD800 + ((code - 0x10000) >> 10U));
        put(0xDC00 + ((code - 0x10000) & 0x3FFU));
    }
}

std::string ReplaceInvalid(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = SequenceLength(text, i);
        if (length == 0) {
            out += '?';
            ++i;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

}  // namespace

bool IsValidUtf8(std::string_view text) noexcept {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = SequenceLength(text, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

std::string DecodeDxfString(std::string_view raw, std::string_view acadVersion,
                            std::string_view codePage) {
    std::string text(raw);
    bool ascii = true;
    for (const char c : raw) ascii = ascii && static_cast<unsigned char>(c) < 0x80U;
    // From AutoCAD 2007 on (AC1021), DXF text is UTF-8 whatever $DWGCODEPAGE says.
    const bool utf8File = acadVersion >= std::string_view("AC1021");
    if (!ascii && !utf8File) {
        const std::string from = IconvName(codePage);
        // Bytes the page does not take but that are UTF-8 (a writer that ignored the page) stay.
        if (!from.empty()) {
            if (auto converted = Convert(raw, from)) text = std::move(*converted);
        }
    }
    return ReplaceInvalid(DecodeEscapes(text));
}

std::string EncodeDxfString(std::string_view text, std::string_view acadVersion,
                            std::string_view codePage) {
    if (acadVersion >= std::string_view("AC1021")) return std::string(text);
    bool ascii = true;
    for (const char c : text) ascii = ascii && static_cast<unsigned char>(c) < 0x80U;
    if (ascii) return std::string(text);
    const std::string page = IconvName(codePage);
    if (!page.empty()) {
        if (auto whole = Convert(text, "UTF-8", page)) return std::move(*whole);
    }
    // Character by character: what the page cannot hold becomes an escape.
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t length = SequenceLength(text, i);
        if (length == 0) {
            out += '?';
            ++i;
            continue;
        }
        if (length == 1) {
            out += text[i];
        } else if (auto one = page.empty() ? std::nullopt
                                           : Convert(text.substr(i, length), "UTF-8", page)) {
            out += *one;
        } else {
            AppendEscape(out, CodePoint(text, i, length));
        }
        i += length;
    }
    return out;
}

std::string SanitizeLayerName(std::string_view name) {
    static constexpr std::string_view kForbidden = "<>/\\\":;?*|=`";
    std::string out;
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t length = SequenceLength(name, i);
        if (out.size() + std::max<std::size_t>(length, 1) > kMaxNameBytes) break;
        if (length == 0) {
            out += '_';
            ++i;
            continue;
        }
        const char c = name[i];
        const bool bad = length == 1 && (static_cast<unsigned char>(c) < 0x20U || c == 0x7F ||
                                         kForbidden.find(c) != std::string_view::npos);
        if (bad) {
            out += '_';
        } else {
            out.append(name.substr(i, length));
        }
        i += length;
    }
    while (!out.empty() && (out.back() == ' ' || out.back() == '\t')) out.pop_back();
    std::size_t lead = 0;
    while (lead < out.size() && (out[lead] == ' ' || out[lead] == '\t')) ++lead;
    return out.substr(lead);
}

std::string LayerKey(std::string_view name) {
    std::string key(name);
    for (char& c : key) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return key;
}

}  // namespace pelimator::board

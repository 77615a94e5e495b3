// Shift-JIS and UTF-16 conversions through iconv (glibc), one character at a time past anything it
// refuses.
#include "board/jww/jww_text.h"

#include <algorithm>
#include <cerrno>
#include <memory>

#include <iconv.h>

namespace pelimator::board::jww {

namespace {

bool IsAscii(std::string_view text) noexcept {
    return std::ranges::all_of(text,
                               [](char c) { return (static_cast<unsigned char>(c) & 0x80U) == 0; });
}

// Converts text from one encoding to another; an input sequence iconv refuses becomes '?' and
// the conversion goes on after skip bytes.
std::string ConvertAll(std::string_view text, const char* to, const char* from, std::size_t skip) {
    iconv_t cd = ::iconv_open(to, from);
    // iconv_open's documented failure value.
    if (cd == reinterpret_cast<iconv_t>(-1)) {  // NOLINT(performance-no-int-to-ptr)
        return std::string(text);
    }
    const std::unique_ptr<void, int (*)(iconv_t)> closer(cd, &::iconv_close);
    std::string out;
    out.resize(text.size() * 4 + 16);
    // iconv's interface takes non-const input pointers.
    std::string input(text);
    char* in = input.data();
    std::size_t inLeft = input.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    while (inLeft > 0) {
        if (::iconv(cd, &in, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) break;  // cannot happen: four bytes out per byte in
        const std::size_t step = std::min(inLeft, errno == EINVAL ? inLeft : skip);
        in += step;
        inLeft -= step;
        if (outLeft == 0) break;
        *outPtr++ = '?';
        --outLeft;
    }
    out.resize(out.size() - outLeft);
    return out;
}

std::string Convert(std::string_view text, const char* to, const char* from, std::size_t skip) {
    if (IsAscii(text)) return std::string(text);
    return ConvertAll(text, to, from, skip);
}

// The length of the UTF-8 sequence that byte starts (1 for anything else).
std::size_t Utf8Length(std::string_view text) noexcept {
    if (text.empty()) return 1;
    const auto lead = static_cast<unsigned char>(text.front());
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

}  // namespace

std::string FromShiftJis(std::string_view bytes) { return Convert(bytes, "UTF-8", "CP932", 1); }

std::string FromUtf16(std::string_view bytes) {
    return ConvertAll(bytes.substr(0, bytes.size() & ~std::size_t{1}), "UTF-8", "UTF-16LE", 2);
}

std::string ToUtf16(std::string_view utf8) { return ConvertAll(utf8, "UTF-16LE", "UTF-8", 1); }

std::string ShownText(std::string utf8) {
    static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
    std::string out;
    std::size_t copied = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        std::size_t bad = 0;
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') bad = 1;
        if (c == 0x7F) bad = 1;
        // U+FFFE and U+FFFF: EF BF BE, EF BF BF.
        if (c == 0xEF && i + 2 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) == 0xBF &&
            (static_cast<unsigned char>(utf8[i + 2]) & 0xFEU) == 0xBE) {
            bad = 3;
        }
        if (bad == 0) continue;
        out.append(utf8, copied, i - copied);
        out += kReplacement;
        copied = i + bad;
        i += bad - 1;
    }
    if (copied == 0) return utf8;
    out.append(utf8, copied);
    return out;
}

std::string ToShiftJis(std::string_view utf8) {
    if (IsAscii(utf8)) return std::string(utf8);
    // Skip one whole character of the input at a time on failure.
    std::string out;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const std::size_t length = std::min(Utf8Length(utf8.substr(i)), utf8.size() - i);
        const std::string_view one = utf8.substr(i, length);
        out += Convert(one, "CP932", "UTF-8", length);
        i += length;
    }
    return out;
}

}  // namespace pelimator::board::jww

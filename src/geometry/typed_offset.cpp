// Reading typed offsets and factors: the text is first brought to ASCII, then split at "@", ","
// and "<", each piece a finite number.
#include "geometry/typed_offset.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <optional>

namespace pelimator {

namespace {

// Full-width forms U+FF01..U+FF5E (EF BC 81 .. EF BD 9E in UTF-8) and the ideographic space as
// ASCII; every other byte kept.
std::string ToAscii(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
        if (i + 2 < text.size() && b(0) == 0xE3 && b(1) == 0x80 && b(2) == 0x80) {
            out += ' ';
            i += 2;
            continue;
        }
        if (i + 2 < text.size() && b(0) == 0xEF && (b(1) == 0xBC || b(1) == 0xBD)) {
            const unsigned point = 0xF000U | ((b(1) & 0x3FU) << 6U) | (b(2) & 0x3FU);
            if (point >= 0xFF01U && point <= 0xFF5EU) {
                const unsigned ascii = point - 0xFEE0U;  // U+FF01 -> '!'
                out += static_cast<char>(ascii);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// A finite decimal number, with an optional sign; none for anything else ("inf", "1e999", "").
std::optional<double> Number(std::string_view s) {
    s = Trim(s);
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
        if (!s.empty() && s.front() == '-') return std::nullopt;  // "+-1"
    }
    if (s.empty()) return std::nullopt;
    double value = 0.0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (error != std::errc() || end != s.data() + s.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

TypedResult<TypedOffset> Fail(std::string message) { return {false, {}, std::move(message)}; }

TypedResult<TypedOffset> Relative(std::string_view rest) {
    if (const auto comma = rest.find(','); comma != std::string_view::npos) {
        const auto dx = Number(rest.substr(0, comma));
        const auto dy = Number(rest.substr(comma + 1));
        if (!dx || !dy) return Fail("「@X,Y」の X と Y は数値で入力してください。");
        return {true, {*dx, *dy}, {}};
    }
    if (const auto less = rest.find('<'); less != std::string_view::npos) {
        const auto distance = Number(rest.substr(0, less));
        const auto degrees = Number(rest.substr(less + 1));
        if (!distance || !degrees)
            return Fail("「@距離<角度」の距離と角度は数値で入力してください。");
        // Whole quarter turns exactly, so that "@10<90" moves straight up.
        const double turns = *degrees / 90.0;
        if (turns == std::floor(turns) && std::abs(turns) < 1e15) {
            const auto quarter =
                static_cast<std::size_t>(static_cast<long long>(std::fmod(turns, 4.0) + 4.0) % 4);
            constexpr std::array<double, 4> kCos = {1.0, 0.0, -1.0, 0.0};
            constexpr std::array<double, 4> kSin = {0.0, 1.0, 0.0, -1.0};
            return {true, {*distance * kCos.at(quarter), *distance * kSin.at(quarter)}, {}};
        }
        const double radians = *degrees * std::numbers::pi / 180.0;
        return {true, {*distance * std::cos(radians), *distance * std::sin(radians)}, {}};
    }
    return Fail("「@」の後は「X,Y」か「距離<角度」で入力してください。");
}

}  // namespace

TypedResult<TypedOffset> ParseTypedOffset(std::string_view text, double cursorDx, double cursorDy) {
    const std::string ascii = ToAscii(text);
    const std::string_view typed = Trim(ascii);
    if (typed.empty()) return Fail("距離を入力してください。");
    if (typed.front() == '@') return Relative(typed.substr(1));
    const auto distance = Number(typed);
    if (!distance) return Fail("「" + std::string(typed) + "」は距離として読めません。");
    const double length = std::hypot(cursorDx, cursorDy);
    if (!(length > 0.0) || !std::isfinite(length)) {
        return Fail("カーソルが基点と同じ位置にあるため方向が決まりません。");
    }
    return {true, {*distance * cursorDx / length, *distance * cursorDy / length}, {}};
}

TypedResult<double> ParseTypedFactor(std::string_view text) {
    const std::string ascii = ToAscii(text);
    const std::string_view typed = Trim(ascii);
    std::optional<double> factor;
    if (const auto slash = typed.find('/'); slash != std::string_view::npos) {
        const auto a = Number(typed.substr(0, slash));
        const auto b = Number(typed.substr(slash + 1));
        if (a && b && *b != 0.0) factor = *a / *b;
    } else {
        factor = Number(typed);
    }
    if (!factor || !std::isfinite(*factor) || !(*factor > 0.0)) {
        return {false, 0.0, "倍率は 0 より大きい数値（例: 2、0.5、1/2）で入力してください。"};
    }
    return {true, *factor, {}};
}

}  // namespace pelimator

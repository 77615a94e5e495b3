// Picked points as text: parsing blocks of "x y" / "x,y" lines into paths.
#include "batch/pick_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "base/file.h"
#include "base/system_error_text.h"
#include "batch/errors.h"

namespace pelimator::batch {

namespace {

constexpr std::string_view kBlanks = " \t\r\f\v";

std::string_view Trim(std::string_view text) noexcept {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

std::string Where(const std::string& source, std::size_t line) {
    return "「" + source + "」 " + std::to_string(line) + " 行目: ";
}

double ParseCoordinate(std::string_view token, const std::string& source, std::size_t line) {
    std::string_view digits = token;
    if (digits.size() > 1 && digits.front() == '+' && digits[1] != '-') digits.remove_prefix(1);
    double value = 0.0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error == std::errc::invalid_argument ||
        end != digits.data() + digits.size()) {
        throw InputError(Where(source, line) + "数値として読めません: \"" + std::string(token) +
                         "\"");
    }
    if (error == std::errc::result_out_of_range || !std::isfinite(value) ||
        std::abs(value) > kMaxPickCoordinate) {
        throw InputError(Where(source, line) + "座標が大きすぎます (絶対値 1e12 まで): \"" +
                         std::string(token) + "\"");
    }
    return value;
}

// One point from a line already stripped of its comment and blanks.
board::Vec2 ParsePoint(std::string_view text, const std::string& source, std::size_t line) {
    std::string_view first;
    std::string_view second;
    const auto comma = text.find(',');
    if (comma != std::string_view::npos) {
        first = Trim(text.substr(0, comma));
        second = Trim(text.substr(comma + 1));
    } else {
        const auto gap = text.find_first_of(kBlanks);
        if (gap != std::string_view::npos) {
            first = text.substr(0, gap);
            second = Trim(text.substr(gap));
        }
    }
    const bool twoTokens = !first.empty() && !second.empty() &&
                           second.find_first_of(kBlanks) == std::string_view::npos &&
                           second.find(',') == std::string_view::npos;
    if (!twoTokens) {
        throw InputError(Where(source, line) +
                         "座標は「x y」または「x,y」の形で 1 行に 1 点ずつ書いて下さい: \"" +
                         std::string(text) + "\"");
    }
    return {ParseCoordinate(first, source, line), ParseCoordinate(second, source, line)};
}

void CheckDistinct(const PickPath& path, const std::string& source) {
    for (const board::Vec2& point : path.points) {
        if (point != path.points.front()) return;
    }
    const std::string lines =
        path.firstLine == path.lastLine
            ? std::to_string(path.firstLine) + " 行目"
            : std::to_string(path.firstLine) + "〜" + std::to_string(path.lastLine) + " 行目";
    throw InputError("「" + source + "」 " + lines +
                     ": 経路には異なる点が 2 つ以上必要です (この経路は 1 点だけです)");
}

std::string TooManyBytes(const std::string& source, std::size_t bytes) {
    return "「" + source + "」は大きすぎます (点のファイルは " + std::to_string(bytes >> 20U) +
           " MiB まで)";
}

// Parses the whole text; lines end with LF (a CR before it is a blank).
std::vector<PickPath> ParsePickText(std::string_view text, const std::string& sourceName,
                                    std::size_t maxPoints) {
    std::vector<PickPath> paths;
    PickPath current;
    std::size_t pointCount = 0;
    const auto endPath = [&]() {
        if (current.points.empty()) return;
        CheckDistinct(current, sourceName);
        paths.push_back(std::move(current));
        current = PickPath{};
    };
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNumber;
        if (lineNumber == 1 && line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
        if (Trim(line).empty()) {
            endPath();
            continue;
        }
        const std::string_view content = Trim(line.substr(0, line.find('#')));
        if (content.empty()) continue;
        if (++pointCount > maxPoints) {
            throw InputError(Where(sourceName, lineNumber) + "点が多すぎます (1 つのファイルに " +
                             std::to_string(maxPoints) + " 点まで)");
        }
        if (current.points.empty()) current.firstLine = lineNumber;
        current.lastLine = lineNumber;
        current.points.push_back(ParsePoint(content, sourceName, lineNumber));
    }
    endPath();
    return paths;
}

}  // namespace

std::vector<PickPath> ReadPickPaths(std::istream& in, const std::string& sourceName,
                                    const PickLimits& limits) {
    std::string text;
    std::array<char, 65536> chunk{};
    while (in) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got > limits.bytes - std::min(limits.bytes, text.size())) {
            throw InputError(TooManyBytes(sourceName, limits.bytes));
        }
        text.append(chunk.data(), got);
    }
    if (in.bad()) {
        throw InputError("「" + sourceName + "」を読み込めませんでした (" +
                         std::to_string(text.size()) + " バイト目まで)");
    }
    return ParsePickText(text, sourceName, limits.points);
}

std::vector<PickPath> ReadPickFile(const std::string& path, const PickLimits& limits) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (std::filesystem::is_directory(status)) {
        throw InputError("「" + path + "」はフォルダです。点のファイルを指定して下さい");
    }
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        throw InputError("「" + path +
                         "」は通常のファイルではありません。点のファイルを指定して下さい");
    }
    FileRead file = TryReadWholeFile(path, limits.bytes);
    switch (file.status) {
        case ReadStatus::Ok:
            return ParsePickText(file.content, path, limits.points);
        case ReadStatus::TooLarge:
            throw InputError(TooManyBytes(path, limits.bytes));
        case ReadStatus::NotRegular:
            throw InputError("「" + path +
                             "」は通常のファイルではありません。点のファイルを指定して下さい");
        case ReadStatus::Missing:
        case ReadStatus::Failed:
            break;
    }
    throw InputError("「" + path + "」を開けません: " + SystemErrorText(file.error));
}

}  // namespace pelimator::batch

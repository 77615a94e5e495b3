// Picked points as text: parsing blocks of "x y" / "x,y" lines into paths.
#include "batch/pick_file.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>

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

}  // namespace

std::vector<PickPath> ReadPickPaths(std::istream& in, const std::string& sourceName) {
    std::vector<PickPath> paths;
    PickPath current;
    const auto endPath = [&]() {
        if (current.points.empty()) return;
        CheckDistinct(current, sourceName);
        paths.push_back(std::move(current));
        current = PickPath{};
    };
    std::string raw;
    std::size_t lineNumber = 0;
    while (std::getline(in, raw)) {
        ++lineNumber;
        std::string_view line = raw;
        if (lineNumber == 1 && line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
        if (Trim(line).empty()) {
            endPath();
            continue;
        }
        const std::string_view content = Trim(line.substr(0, line.find('#')));
        if (content.empty()) continue;
        if (current.points.empty()) current.firstLine = lineNumber;
        current.lastLine = lineNumber;
        current.points.push_back(ParsePoint(content, sourceName, lineNumber));
    }
    if (in.bad()) {
        throw InputError("「" + sourceName + "」を読み込めませんでした (" +
                         std::to_string(lineNumber) + " 行目まで)");
    }
    endPath();
    return paths;
}

std::vector<PickPath> ReadPickFile(const std::string& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        throw InputError("「" + path + "」はフォルダです。点のファイルを指定して下さい");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw InputError("「" + path + "」を開けません: " + std::strerror(errno));
    }
    return ReadPickPaths(in, path);
}

}  // namespace pelimator::batch

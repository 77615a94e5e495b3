// Picked points as text: one path per block of "x y" or "x,y" lines.
#pragma once

#include <cstddef>
#include <istream>
#include <string>
#include <vector>

#include "board/model/types.h"

namespace pelimator::batch {

// One path of picked points and the lines of the text it came from (1-based).
struct PickPath {
    std::vector<board::Vec2> points;
    std::size_t firstLine = 0;
    std::size_t lastLine = 0;
};

// Coordinates beyond this size are refused, as the drawing reader refuses them.
inline constexpr double kMaxPickCoordinate = 1e12;

// Reads paths from text: each non-blank line holds one point, "x y" (blanks) or "x,y" (a comma,
// blanks around it allowed); "#" starts a comment to the end of the line; a line of blanks only
// ends a path (several in a row end it once); a line holding only a comment is skipped and ends
// nothing. A UTF-8 byte order mark and CR line ends are accepted. Raises InputError naming
// sourceName and the line for a malformed or non-finite number, a coordinate beyond
// kMaxPickCoordinate, a line that is not two numbers, and a path with fewer than two distinct
// points; nothing partial is returned.
[[nodiscard]] std::vector<PickPath> ReadPickPaths(std::istream& in, const std::string& sourceName);

// The same for a file; InputError when it cannot be opened or read.
[[nodiscard]] std::vector<PickPath> ReadPickFile(const std::string& path);

}  // namespace pelimator::batch

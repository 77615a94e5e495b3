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

// Bounds of one points text, checked before it can take the memory: about 16 bytes a point
// kept, and a file is held whole while it is parsed.
inline constexpr std::size_t kMaxPickPoints = 10'000'000;
inline constexpr std::size_t kMaxPickBytes = std::size_t{256} << 20U;

// What a points text may hold at most.
struct PickLimits {
    std::size_t points = kMaxPickPoints;
    std::size_t bytes = kMaxPickBytes;
};

// Reads paths from text: each non-blank line holds one point, "x y" (blanks) or "x,y" (a comma,
// blanks around it allowed); "#" starts a comment to the end of the line; a line of blanks only
// ends a path (several in a row end it once); a line holding only a comment is skipped and ends
// nothing. A UTF-8 byte order mark and CR line ends are accepted. Raises InputError naming
// sourceName and the line for a malformed or non-finite number, a coordinate beyond
// kMaxPickCoordinate, a line that is not two numbers, a path with fewer than two distinct
// points, and more points or bytes than limits allows (read no further than that); nothing
// partial is returned.
[[nodiscard]] std::vector<PickPath> ReadPickPaths(std::istream& in, const std::string& sourceName,
                                                  const PickLimits& limits = {});

// The same for a file, read whole through the one whole-file read. InputError when it is
// missing, not a regular file (a FIFO would block, a device never end), too large or unreadable.
[[nodiscard]] std::vector<PickPath> ReadPickFile(const std::string& path,
                                                 const PickLimits& limits = {});

}  // namespace pelimator::batch

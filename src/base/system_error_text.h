// System errors (errno values) as Japanese text for messages.
#pragma once

#include <string>

namespace pelimator {

// A short Japanese phrase for errorNumber, to follow a message's "...できません: ". The common
// causes of a failed open, read or write (missing, no permission, disk full, read-only file
// system, a folder, a name too long, quota, ...) have their own text; any other value gives
// "システムのエラー (番号 N)", so no English text of the C library ever reaches the user.
[[nodiscard]] std::string SystemErrorText(int errorNumber);

}  // namespace pelimator

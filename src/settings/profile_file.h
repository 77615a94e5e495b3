// Portable profile (INI) file functions: read an integer or a string, list names, write, delete.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/file.h"

namespace pelimator::settings {

// The size of every read buffer, in bytes, terminators included. A value is cut to one less;
// a name list, with its two closing NULs, to exactly this many.
inline constexpr std::size_t kProfileBufferSize = 32767;

// Files larger than this are not taken for profile files: reads give their defaults and writes
// fail, never replacing them (ProfileReadProblem says so).
inline constexpr std::size_t kMaxProfileBytes = std::size_t{64} << 20;

// File format, as the classic profile functions read it:
// - A UTF-8 byte-order mark at the start is not part of the first line, and a rewrite keeps it.
// - Lines end in LF, CRLF or a CR alone; a missing final line end is fine. A rewritten file keeps
//   the line end it used first (a new file gets LF).
// - "[name]" (leading blanks allowed) opens a section; the name is what stands between the
//   "[" and the first "]", blanks trimmed. A "[" without a "]" opens none: the line is read as
//   any other. Lines before the first section belong to none.
// - "key=value" inside a section is an entry; blanks (space, tab) around the key and around the
//   value are not part of them, and neither is one pair of matching quotes (' or ") around the
//   whole value. A line whose first non-blank character is ';' or '#' is a comment.
//   Any other line is kept and otherwise ignored.
// - Section and key names are compared without regard to ASCII letter case. When a name occurs
//   twice, the first occurrence is the one read and written.
// - Values are bytes: nothing is converted, so UTF-8 or double-byte text passes unchanged.
// Reading never fails: a file that cannot be read gives the defaults, as a missing one does
// (ProfileReadProblem tells why).

// The number at the start of the value (quotes stripped): optional blanks, an optional sign, then
// decimal digits, or "0x" (or "0X") and hexadecimal digits; a number beyond 32 bits gives the
// nearest 32-bit limit. A value that does not start with a number gives 0. A missing file,
// section or key, or an empty value, gives defaultValue.
std::int32_t GetProfileInt(std::string_view section, std::string_view key,
                           std::int32_t defaultValue, const std::string& path);

// With a key: the key's value (quotes stripped), or defaultValue without its trailing blanks and
// one pair of surrounding quotes when the file, section or key is missing; cut to
// kProfileBufferSize - 1 bytes. Without a key: the
// section's key names, as a name list (below), empty when the section is missing.
std::string GetProfileString(std::string_view section, std::optional<std::string_view> key,
                             std::string_view defaultValue, const std::string& path);

// The file's section names, as a name list.
std::string GetProfileSectionNames(const std::string& path);

// Name lists: each name followed by one NUL, the list closed by one more NUL, so it always ends
// in two NULs ("a\0b\0\0"; an empty list is "\0\0"). A list longer than kProfileBufferSize is
// cut there, its last name shortened so that the two closing NULs still fit. Each name appears
// once; names holding a NUL byte are left out, since the list could not carry them.

// One change of a profile file: with key and value, set the key (creating section and key when
// missing, replacing the value in place otherwise); with a key and no value, remove the key;
// with no key, remove the section (every section of that name) with all its lines, whatever
// the value.
struct ProfileChange {
    std::string_view section;
    std::optional<std::string_view> key;
    std::optional<std::string_view> value;
};

// Applies the changes in order and replaces the file once, atomically: the new content goes to
// a temporary file beside it, is synced and renamed over the old one, keeping its permissions
// (a symbolic link is followed and its target replaced). Returns 1 when the file now holds the
// changes (also when nothing needed changing: removing what is absent), 0 when anything failed;
// on failure the old file is left exactly as it was. A change that the file could not carry and
// read back (a line break or NUL byte anywhere, a key with '=' or empty after trimming or
// starting with '[', ';' or '#', a section name with ']') fails the whole call. Blanks at either
// end of a value are dropped, as every read drops them.
[[nodiscard]] std::int32_t WriteProfileChanges(std::span<const ProfileChange> changes,
                                               const std::string& path);

// Why the last WriteProfileChanges or WriteProfileString of this thread gave 0: a Japanese
// sentence naming the file and the reason (SystemErrorText for a system error), as the
// platform's last-error value tells; empty after one that succeeded.
[[nodiscard]] const std::string& LastProfileWriteError() noexcept;

// Why the existing file at path cannot be read as a profile file (larger than kMaxProfileBytes,
// a folder or a device, no permission, ...): a Japanese sentence naming the file and the reason;
// empty when it can be read or does not exist.
[[nodiscard]] std::string ProfileReadProblem(const std::string& path);

// One change; see WriteProfileChanges.
[[nodiscard]] std::int32_t WriteProfileString(std::string_view section,
                                              std::optional<std::string_view> key,
                                              std::optional<std::string_view> value,
                                              const std::string& path);

// Seams of the write path, for tests only; empty members mean normal behaviour.
using ProfileWriteHooks = FileWriteHooks;

// Installs hooks for every later write (pass {} to remove them). Not thread-safe.
void SetProfileWriteHooks(ProfileWriteHooks hooks);

}  // namespace pelimator::settings

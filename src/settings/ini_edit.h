// clsIniEdit: one profile file's path and the operations that read and write it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "settings/profile_file.h"

namespace pelimator::settings {

// Remembers the path of one profile file and reads and writes it through the profile-file
// functions (settings/profile_file.h). Nothing is cached: every call reads or rewrites the file,
// so two objects on one file see each other's writes at once. Texts are bytes, passed unchanged.
// Before a path is set, reads give their defaults (or no names) and writes give 0.
class clsIniEdit {
public:
    void IniFilePath(std::string filePath) { m_filePath = std::move(filePath); }
    [[nodiscard]] const std::string& IniFilePath() const noexcept { return m_filePath; }

    // Sets the key's value; non-zero when written, 0 when not. An empty key or value writes
    // nothing and gives 0 (a value is never set to the empty text through this class).
    [[nodiscard]] std::int32_t WriteString(std::string_view sectionName, std::string_view keyName,
                                           std::string_view writeData);

    // The key's value as GetProfileString reads it (one pair of surrounding quotes stripped), or
    // `defaultValue` without its trailing blanks when the file, section or key is missing. Cut at
    // kProfileBufferSize - 1 bytes.
    [[nodiscard]] std::string GetString(std::string_view sectionName, std::string_view keyName,
                                        std::string_view defaultValue) const;

    // The number at the start of the key's value (0 when it starts with none), or
    // `defaultValue` when the file, section or key is missing or the value is empty.
    [[nodiscard]] std::int32_t GetInt(std::string_view sectionName, std::string_view keyName,
                                      std::int32_t defaultValue) const;

    // Stores the file's section names into sectionBuffer from index 0 on, as many as it has
    // elements; the rest keep what they held. Returns the number stored.
    std::int32_t GetSectionNames(std::span<std::string> sectionBuffer) const;

    // Stores the section's key names into keyBuffer the same way. Returns the number stored.
    std::int32_t GetKeyNames(std::string_view sectionName, std::span<std::string> keyBuffer) const;

    // Removes the section with all its keys; non-zero on success (also when it was absent).
    [[nodiscard]] std::int32_t DeleteSection(std::string_view sectionName);

    // Removes the key; non-zero on success (also when it was absent). An empty key name removes
    // nothing and gives 0.
    [[nodiscard]] std::int32_t DeleteKey(std::string_view sectionName, std::string_view keyName);

    // Sets several keys in one replacement of the file: either all are written or, on failure
    // (result 0), none. An empty key or value among them writes nothing and gives 0.
    [[nodiscard]] std::int32_t WriteStrings(std::span<const ProfileChange> entries);

private:
    // Splits a name list ("a\0b\0\0") into names from index 0 on, at most names.size() of them;
    // an empty name ends the list, as does the end of the buffer.
    static std::int32_t SplitNames(std::string_view buffer, std::span<std::string> names);

    std::string m_filePath;
};

}  // namespace pelimator::settings

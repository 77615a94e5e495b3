// clsIniEdit: thin rules over the profile-file functions.
#include "settings/ini_edit.h"

#include <algorithm>

namespace pelimator::settings {

std::int32_t clsIniEdit::WriteString(std::string_view sectionName, std::string_view keyName,
                                     std::string_view writeData) {
    if (keyName.empty() || writeData.empty()) return 0;
    return WriteProfileString(sectionName, keyName, writeData, m_filePath);
}

std::string clsIniEdit::GetString(std::string_view sectionName, std::string_view keyName,
                                  std::string_view defaultValue) const {
    return GetProfileString(sectionName, keyName, defaultValue, m_filePath);
}

std::int32_t clsIniEdit::GetInt(std::string_view sectionName, std::string_view keyName,
                                std::int32_t defaultValue) const {
    return GetProfileInt(sectionName, keyName, defaultValue, m_filePath);
}

std::int32_t clsIniEdit::GetSectionNames(std::span<std::string> sectionBuffer) const {
    return SplitNames(GetProfileSectionNames(m_filePath), sectionBuffer);
}

std::int32_t clsIniEdit::GetKeyNames(std::string_view sectionName,
                                     std::span<std::string> keyBuffer) const {
    return SplitNames(GetProfileString(sectionName, std::nullopt, {}, m_filePath), keyBuffer);
}

std::int32_t clsIniEdit::DeleteSection(std::string_view sectionName) {
    return WriteProfileString(sectionName, std::nullopt, std::nullopt, m_filePath);
}

std::int32_t clsIniEdit::DeleteKey(std::string_view sectionName, std::string_view keyName) {
    if (keyName.empty()) return 0;
    return WriteProfileString(sectionName, keyName, std::nullopt, m_filePath);
}

std::int32_t clsIniEdit::WriteStrings(std::span<const ProfileChange> entries) {
    const bool complete = std::all_of(entries.begin(), entries.end(), [](const ProfileChange& e) {
        return e.key && !e.key->empty() && e.value && !e.value->empty();
    });
    if (!complete) return 0;
    return WriteProfileChanges(entries, m_filePath);
}

std::int32_t clsIniEdit::SplitNames(std::string_view buffer, std::span<std::string> names) {
    std::size_t pos = 0;
    std::int32_t count = 0;
    for (std::string& slot : names) {
        if (pos >= buffer.size()) break;
        std::size_t nul = buffer.find('\0', pos);
        if (nul == std::string_view::npos) nul = buffer.size();
        if (nul == pos) break;
        slot.assign(buffer.substr(pos, nul - pos));
        ++count;
        pos = nul + 1;
    }
    return count;
}

}  // namespace pelimator::settings

// System errors in Japanese: the common causes by name, the rest by number, never English.
#include "base/system_error_text.h"

#include <cerrno>
#include <string>

#include <gtest/gtest.h>

namespace pelimator {
namespace {

TEST(SystemErrorText, NamesTheCommonCausesInJapanese) {
    const struct {
        int error;
        const char* says;
    } rows[] = {
        {ENOENT, "ありません"},       {EACCES, "アクセスが許可されていません"},
        {ENOSPC, "空きが足りません"}, {EROFS, "読み取り専用"},
        {EISDIR, "フォルダです"},     {ENAMETOOLONG, "名前が長すぎます"},
        {EDQUOT, "クォータ"},         {ENOTDIR, "フォルダではありません"},
    };
    for (const auto& row : rows) {
        EXPECT_NE(SystemErrorText(row.error).find(row.says), std::string::npos)
            << row.error << ": " << SystemErrorText(row.error);
    }
}

TEST(SystemErrorText, AnyOtherValueGivesTheJapaneseFrameWithItsNumber) {
    EXPECT_EQ(SystemErrorText(ECHILD), "システムのエラー (番号 " + std::to_string(ECHILD) + ")");
    EXPECT_EQ(SystemErrorText(100000), "システムのエラー (番号 100000)");
}

TEST(SystemErrorText, NoValueShowsALatinLetter) {
    for (int error = -1; error < 200; ++error) {
        const std::string text = SystemErrorText(error);
        for (const char c : text) {
            ASSERT_FALSE((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) << error << ": " << text;
        }
    }
}

}  // namespace
}  // namespace pelimator

// System errors (errno values) as Japanese text for messages.
#include "base/system_error_text.h"

#include <cerrno>

namespace pelimator {

std::string SystemErrorText(int errorNumber) {
    switch (errorNumber) {
        case ENOENT:
            return "ファイルまたはフォルダがありません";
        case EACCES:
            return "アクセスが許可されていません";
        case EPERM:
            return "操作が許可されていません";
        case ENOSPC:
            return "ディスクの空きが足りません";
        case EDQUOT:
            return "ディスクの使用量の上限 (クォータ) を超えています";
        case EROFS:
            return "読み取り専用のファイルシステムです";
        case EISDIR:
            return "フォルダです";
        case ENOTDIR:
            return "途中の名前がフォルダではありません";
        case ENAMETOOLONG:
            return "名前が長すぎます";
        case ELOOP:
            return "シンボリックリンクが循環しているか、多すぎます";
        case EEXIST:
            return "同じ名前のものが既にあります";
        case EBUSY:
        case ETXTBSY:
            return "使用中です";
        case EFBIG:
            return "ファイルが大きすぎます";
        case EIO:
            return "ディスクの読み書きに失敗しました (入出力エラー)";
        case ENOMEM:
            return "メモリが足りません";
        case EMFILE:
        case ENFILE:
            return "開いているファイルが多すぎます";
        case EINTR:
            return "中断されました";
        case EXDEV:
            return "別のファイルシステムへは移せません";
        default:
            return "システムのエラー (番号 " + std::to_string(errorNumber) + ")";
    }
}

}  // namespace pelimator

// The offer of the drawings a session that did not end cleanly autosaved: open, keep or discard.
#pragma once

#include <QDialog>
#include <cstdint>
#include <vector>

#include "board/recovery/recovery_store.h"

class QTableWidget;

namespace pelimator::board {

enum class RecoveryChoice : std::uint8_t {
    Open,     // opened as a modified drawing, belonging to its file as before
    Keep,     // offered again at the next start
    Discard,  // its recovery files go
};

// Lists the recovered drawings (name, time of the autosave, what changed, its file), each with a
// choice; 開く for every one at first.
class RecoveryDialog final : public QDialog {
    Q_OBJECT

public:
    explicit RecoveryDialog(const std::vector<RecoveryEntry>& entries, QWidget* parent = nullptr);
    // One per entry, in the order given.
    [[nodiscard]] std::vector<RecoveryChoice> Choices() const;

private:
    QTableWidget* m_table = nullptr;
};

// Shows the dialog and returns its choices; closing it without 決定 keeps every drawing.
[[nodiscard]] std::vector<RecoveryChoice> AskRecovery(const std::vector<RecoveryEntry>& entries,
                                                      QWidget* parent);

}  // namespace pelimator::board

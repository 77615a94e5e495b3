// Autosave of the board's drawings on a timer, and the offer of what a crashed session left.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "board/model/application.h"
#include "board/recovery/autosaver.h"
#include "board/ui/recovery_dialog.h"

class QTimer;

namespace pelimator::board {

// Every `seconds` seconds, the modified drawings that changed since their last autosave are copied
// (on this thread: one copy of their entities) and written to recovery files under root by a
// worker thread. seconds 0 switches autosave off. A drawing saved, undone back or closed loses
// its recovery files; Finish (a clean end) removes them all.
class AutosaveService final : public QObject {
    Q_OBJECT

public:
    // When root cannot be used, autosave stays off and Problem() says why.
    AutosaveService(BoardApplicationPtr application, const std::string& root, int seconds,
                    QObject* parent = nullptr);
    ~AutosaveService() override;
    AutosaveService(const AutosaveService&) = delete;
    AutosaveService& operator=(const AutosaveService&) = delete;
    AutosaveService(AutosaveService&&) = delete;
    AutosaveService& operator=(AutosaveService&&) = delete;

    [[nodiscard]] bool Enabled() const noexcept { return m_saver != nullptr; }
    [[nodiscard]] const QString& Problem() const noexcept { return m_problem; }
    [[nodiscard]] const std::string& Root() const noexcept { return m_root; }
    // Copies the changed drawings now (the timer's work; also before a risky step).
    void SaveNow();
    // Blocks until the writes queued so far are done (tests).
    void Wait();
    // A clean end: this session's recovery files go; nothing is autosaved afterwards.
    void Finish();

    // Asks what to do with each drawing earlier sessions left (nothing is asked when there is
    // none) and does it: a drawing opened becomes a modified document named and filed as it was;
    // its recovery files stay until it is saved or closed. Failures go to showError. Returns the
    // documents opened.
    using Asker = std::function<std::vector<RecoveryChoice>(const std::vector<RecoveryEntry>&)>;
    std::vector<BoardDocumentPtr> OfferRecovered(
        const Asker& ask, const std::function<void(const QString&)>& showError);

signals:
    // An autosave failed (on this object's thread): a Japanese sentence.
    void failed(const QString& message);

private:
    BoardDocumentPtr OpenRecovered(const RecoveryEntry& entry);

    BoardApplicationPtr m_application;
    std::string m_root;
    QString m_problem;
    std::unique_ptr<Autosaver> m_saver;  // null while off
    QTimer* m_timer = nullptr;
    ObserverId m_observer = 0;
};

}  // namespace pelimator::board

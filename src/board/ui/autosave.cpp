// Autosave of the board's drawings on a timer, and the offer of what a crashed session left.
#include "board/ui/autosave.h"

#include <QMetaObject>
#include <QTimer>
#include <chrono>
#include <exception>

#include "board/files/drawing_file.h"

namespace pelimator::board {

AutosaveService::AutosaveService(BoardApplicationPtr application, const std::string& root,
                                 int seconds, QObject* parent)
    : QObject(parent), m_application(std::move(application)), m_root(root) {
    if (seconds <= 0) return;
    try {
        auto session = std::make_shared<RecoverySession>(root);
        m_saver = std::make_unique<Autosaver>(std::move(session), [this](const std::string& error) {
            QMetaObject::invokeMethod(
                this, [this, text = QString::fromStdString(error)] { emit failed(text); },
                Qt::QueuedConnection);
        });
    } catch (const std::exception& error) {
        m_problem = QString::fromStdString(error.what());
        return;
    }
    for (std::size_t i = 0; i < m_application->DocumentCount(); ++i) {
        m_saver->Track(m_application->DocumentAt(i));
    }
    m_observer = m_application->AddObserver(
        [this](ApplicationChange change, const BoardDocumentPtr& document) {
            if (change == ApplicationChange::DocumentAdded && document) m_saver->Track(document);
            if (change == ApplicationChange::DocumentRemoved && document) {
                m_saver->Forget(document.get());
            }
        });
    m_timer = new QTimer(this);
    m_timer->setInterval(std::chrono::seconds(seconds));
    connect(m_timer, &QTimer::timeout, this, &AutosaveService::SaveNow);
    m_timer->start();
}

AutosaveService::~AutosaveService() {
    if (m_observer != 0) m_application->RemoveObserver(m_observer);
}

void AutosaveService::SaveNow() {
    if (m_saver) m_saver->SaveChanged(*m_application);
}

void AutosaveService::Wait() {
    if (m_saver) m_saver->Wait();
}

void AutosaveService::Finish() {
    if (m_timer != nullptr) m_timer->stop();
    if (m_saver) m_saver->Finish();
}

BoardDocumentPtr AutosaveService::OpenRecovered(const RecoveryEntry& entry) {
    const OpenedDrawing opened = OpenDrawing(*m_application, entry.DataPath());
    const BoardDocumentPtr& document = opened.document;
    document->SetName(entry.info.name);
    // A save goes to the file it came from (over the drawing as recovered, which holds all of
    // it); a drawing never saved asks for a name.
    document->SetPath(entry.info.originalPath);
    document->DrawingModel()->NoteChange(DrawingChange::Entities);  // modified: not yet saved
    return document;
}

std::vector<BoardDocumentPtr> AutosaveService::OfferRecovered(
    const Asker& ask, const std::function<void(const QString&)>& showError) {
    std::vector<BoardDocumentPtr> opened;
    if (m_root.empty()) return opened;
    const std::vector<RecoveryEntry> entries = FindRecoverable(m_root);
    if (entries.empty()) return opened;
    const std::vector<RecoveryChoice> choices = ask(entries);
    for (std::size_t i = 0; i < entries.size() && i < choices.size(); ++i) {
        switch (choices[i]) {
            case RecoveryChoice::Open:
                try {
                    opened.push_back(OpenRecovered(entries[i]));
                } catch (const std::exception& error) {
                    showError(QStringLiteral("自動保存した図面「%1」を開けませんでした。\n%2")
                                  .arg(QString::fromStdString(entries[i].info.name),
                                       QString::fromStdString(error.what())));
                    break;
                }
                if (!m_saver) {
                    DiscardRecovered(entries[i]);  // autosave is off: the open drawing is all
                    break;
                }
                try {
                    m_saver->Adopt(opened.back(), entries[i]);
                } catch (const std::exception& error) {
                    // Open all the same; its files stay where they were and are offered again.
                    showError(QStringLiteral("自動保存した図面「%1」を開きましたが、その自動保存"
                                             "ファイルを移せませんでした。\n%2")
                                  .arg(QString::fromStdString(entries[i].info.name),
                                       QString::fromStdString(error.what())));
                }
                break;
            case RecoveryChoice::Keep:
                break;
            case RecoveryChoice::Discard:
                DiscardRecovered(entries[i]);
                break;
        }
    }
    return opened;
}

}  // namespace pelimator::board

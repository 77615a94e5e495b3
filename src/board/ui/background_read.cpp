// Reading a drawing file on a thread of its own.
#include "board/ui/background_read.h"

#include <QMetaObject>
#include <atomic>
#include <exception>
#include <new>

#include "base/errors.h"

namespace pelimator::board {

struct BackgroundRead::Job {
    QString path;
    std::atomic<bool> cancelled{false};
    std::atomic<bool> ended{false};
    std::shared_ptr<DrawingRead> result;
    QString error;
};

BackgroundRead::BackgroundRead(QObject* parent) : QObject(parent) {}

BackgroundRead::~BackgroundRead() {
    if (m_job) m_job->cancelled = true;
    for (auto& [job, thread] : m_threads) {
        job->cancelled = true;
        thread.join();
    }
}

QString BackgroundRead::Path() const { return m_job ? m_job->path : QString(); }

bool BackgroundRead::Start(const QString& path) {
    if (m_job) return false;
    JoinEnded();
    auto job = std::make_shared<Job>();
    job->path = path;
    m_job = job;
    std::thread thread([this, job] {
        try {
            job->result = std::make_shared<DrawingRead>(ReadDrawingFile(job->path.toStdString()));
        } catch (const Error& error) {
            job->error = QString::fromUtf8(error.what());
        } catch (const std::bad_alloc&) {
            job->error =
                QStringLiteral("「%1」を開けませんでした: メモリが足りません").arg(job->path);
        } catch (const std::exception& error) {
            job->error = QStringLiteral("「%1」を開けませんでした: %2")
                             .arg(job->path, QString::fromUtf8(error.what()));
        }
        // A read given up frees its memory here, not on the window's thread.
        if (job->cancelled) job->result.reset();
        job->ended = true;
        // The destructor joins this thread before the object goes, so this stays valid; a call
        // still queued when it goes is dropped with it.
        QMetaObject::invokeMethod(
            this, [this, job] { Deliver(job); }, Qt::QueuedConnection);
    });
    m_threads.emplace_back(job, std::move(thread));
    return true;
}

void BackgroundRead::Cancel() {
    if (!m_job) return;
    m_job->cancelled = true;
    m_job.reset();
}

void BackgroundRead::Deliver(const std::shared_ptr<Job>& job) {
    JoinEnded();
    if (job != m_job || job->cancelled) return;
    m_job.reset();
    std::shared_ptr<DrawingRead> result = std::move(job->result);
    emit finished(job->path, std::move(result), job->error);
}

void BackgroundRead::JoinEnded() {
    std::erase_if(m_threads, [](auto& entry) {
        if (!entry.first->ended) return false;
        entry.second.join();
        return true;
    });
}

}  // namespace pelimator::board

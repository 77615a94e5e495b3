// Reading a drawing file on a thread of its own.
#include "board/ui/background_read.h"

#include <QMetaObject>
#include <algorithm>
#include <atomic>
#include <exception>
#include <new>

#include "base/errors.h"

namespace pelimator::board {

struct BackgroundRead::Job {
    QString path;
    std::atomic<bool> cancelled{false};
    std::atomic<bool> ended{false};
    bool launched = false;
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

bool BackgroundRead::Waiting() const noexcept { return m_job && !m_job->launched; }

std::size_t BackgroundRead::StaleReads() const noexcept {
    return static_cast<std::size_t>(std::count_if(
        m_threads.begin(), m_threads.end(),
        [&](const auto& entry) { return entry.first != m_job && !entry.first->ended; }));
}

bool BackgroundRead::Start(const QString& path) {
    if (m_job) return false;
    JoinEnded();
    auto job = std::make_shared<Job>();
    job->path = path;
    m_job = job;
    // A read given up before still ends: this one starts when it has (see Deliver).
    if (m_threads.empty()) Launch(job);
    return true;
}

void BackgroundRead::Launch(const std::shared_ptr<Job>& job) {
    job->launched = true;
    std::thread thread([this, job] {
        try {
            FormatReadOptions options;
            options.cancel = &job->cancelled;
            job->result =
                std::make_shared<DrawingRead>(ReadDrawingFile(job->path.toStdString(), options));
        } catch (const Cancelled&) {
            // Given up: nothing to say.
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
}

void BackgroundRead::Cancel() {
    if (!m_job) return;
    m_job->cancelled = true;
    m_job.reset();
}

void BackgroundRead::Deliver(const std::shared_ptr<Job>& job) {
    JoinEnded();
    // The read given up has ended: the one waiting for it starts.
    if (m_job && !m_job->launched && m_threads.empty()) Launch(m_job);
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

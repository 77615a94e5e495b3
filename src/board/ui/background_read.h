// Reading a drawing file on a thread of its own, so that the window keeps answering meanwhile.
#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <thread>
#include <vector>

#include "board/files/drawing_file.h"

namespace pelimator::board {

// One read at a time; its end comes back on the object's thread through finished(). A cancelled
// read is told to give up (the readers look at the flag every few megabytes) and ends on its own
// thread, its result dropped there. At most one such read is left running: a read started while
// one still ends waits for it (it counts as running and can be cancelled meanwhile), so that
// cancelling and opening again cannot pile up readers, each with its file mapped.
class BackgroundRead final : public QObject {
    Q_OBJECT

public:
    explicit BackgroundRead(QObject* parent = nullptr);
    // Waits for the reads still running (their results are dropped).
    ~BackgroundRead() override;
    BackgroundRead(const BackgroundRead&) = delete;
    BackgroundRead& operator=(const BackgroundRead&) = delete;
    BackgroundRead(BackgroundRead&&) = delete;
    BackgroundRead& operator=(BackgroundRead&&) = delete;

    // Starts reading the drawing file at path (at once, or when the read given up before it
    // has ended); false while another read runs.
    bool Start(const QString& path);
    // Gives up the running read: finished() is not emitted for it.
    void Cancel();
    [[nodiscard]] bool Running() const noexcept { return m_job != nullptr; }
    // The file being read (empty when none).
    [[nodiscard]] QString Path() const;
    // Whether the running read waits for one given up before it to end.
    [[nodiscard]] bool Waiting() const noexcept;
    // Reads given up that are still running on their threads (never more than one).
    [[nodiscard]] std::size_t StaleReads() const noexcept;

signals:
    // The read of path ended: result holds the drawing, or it is null and error says what
    // failed (the reader's own message).
    void finished(const QString& path, std::shared_ptr<DrawingRead> result, const QString& error);

private:
    struct Job;
    void Launch(const std::shared_ptr<Job>& job);
    void Deliver(const std::shared_ptr<Job>& job);
    void JoinEnded();

    std::shared_ptr<Job> m_job;
    std::vector<std::pair<std::shared_ptr<Job>, std::thread>> m_threads;
};

}  // namespace pelimator::board

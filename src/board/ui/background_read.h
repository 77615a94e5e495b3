// Reading a drawing file on a thread of its own, so that the window keeps answering meanwhile.
#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <thread>
#include <vector>

#include "board/files/drawing_file.h"

namespace pelimator::board {

// One read at a time; its end comes back on the object's thread through finished(). The reader
// cannot stop half-way, so a cancelled read runs on to its end on its own thread and its result
// is dropped there; a new read may start meanwhile.
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

    // Starts reading the DXF file at path; false while another read runs.
    bool Start(const QString& path);
    // Gives up the running read: finished() is not emitted for it.
    void Cancel();
    [[nodiscard]] bool Running() const noexcept { return m_job != nullptr; }
    // The file being read (empty when none).
    [[nodiscard]] QString Path() const;

signals:
    // The read of path ended: result holds the drawing, or it is null and error says what
    // failed (the reader's own message).
    void finished(const QString& path, std::shared_ptr<DrawingRead> result, const QString& error);

private:
    struct Job;
    void Deliver(const std::shared_ptr<Job>& job);
    void JoinEnded();

    std::shared_ptr<Job> m_job;
    std::vector<std::pair<std::shared_ptr<Job>, std::thread>> m_threads;
};

}  // namespace pelimator::board

// Autosave: copies of the modified drawings taken on the window's thread, written to recovery
// files by a worker thread of its own, so that the window never waits for a disk.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "board/model/application.h"
#include "board/recovery/recovery_store.h"

namespace pelimator::board {

struct DrawingSnapshot;

// What changed in a drawing since it was last seen saved, as the recovery offer names it: how many
// entities were added and erased, and the last edit step's title.
[[nodiscard]] std::string ChangesText(std::int64_t added, std::int64_t erased,
                                      const std::string& lastStep);

class Autosaver {
public:
    // Reports a failed write (a Japanese sentence), on the worker's thread.
    using ErrorSink = std::function<void(const std::string&)>;
    // The current time in seconds since 1970, for the info files (replaced in tests).
    using Clock = std::function<std::int64_t()>;

    Autosaver(std::shared_ptr<RecoverySession> session, ErrorSink onError, Clock clock = {});
    // Waits for the write in flight; the files stay (call Finish for a clean end).
    ~Autosaver();
    Autosaver(const Autosaver&) = delete;
    Autosaver& operator=(const Autosaver&) = delete;
    Autosaver(Autosaver&&) = delete;
    Autosaver& operator=(Autosaver&&) = delete;

    // Starts following document: its changes are counted from now (it is taken as saved as it
    // is). Documents met first by SaveChanged are followed from then.
    void Track(const BoardDocumentPtr& document);
    // Takes over a recovered drawing's files for document (opened from them), so that they stay
    // its recovery files until it is saved or closed. FileError when they cannot be moved.
    void Adopt(const BoardDocumentPtr& document, const RecoveryEntry& entry);
    // On the window's thread: copies each of application's modified drawings that changed since
    // its last autosave and queues its write; a drawing no longer modified (saved, or undone back)
    // and one closed lose their recovery files. Returns how many copies were taken.
    std::size_t SaveChanged(const BoardApplication& application);
    // The document was closed: its recovery files go.
    void Forget(const BoardDocument* document);
    // Blocks until every queued write and removal is done (tests, and before a clean end).
    void Wait();
    // A clean end: drops what is queued, waits for the write in flight and removes every
    // recovery file of the session. Nothing is autosaved afterwards.
    void Finish();

    [[nodiscard]] const RecoverySession& Session() const noexcept { return *m_session; }

private:
    struct Followed {
        std::weak_ptr<BoardDocument> document;
        const BoardDocument* key = nullptr;
        std::weak_ptr<BoardDrawing> drawing;
        ObserverId observer = 0;  // hears the drawing marked saved (a save, a file read into it)
        std::string slot;
        std::uint64_t writtenChange = 0;  // the change count of the last autosave queued
        std::size_t savedCount = 0;       // entities shown when last seen unmodified
        std::size_t savedErased = 0;      // of which erased
        bool written = false;             // a recovery file exists (or is queued)
    };
    struct Job {
        std::string slot;
        std::shared_ptr<const DrawingSnapshot> snapshot;  // null: remove the slot
        RecoveryInfo info;
    };

    Followed& Follow(const BoardDocumentPtr& document);
    // The drawing of key was marked saved: what ChangesText counts starts again from there.
    void NoteMarkedSaved(const BoardDocument* key);
    static void Unobserve(Followed& followed) noexcept;
    void Queue(Job job);
    void RemoveSlot(Followed& followed);
    void Run();

    std::shared_ptr<RecoverySession> m_session;
    ErrorSink m_onError;
    Clock m_clock;
    std::vector<Followed> m_followed;  // only on the window's thread
    std::uint64_t m_nextSlot = 1;
    bool m_finished = false;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Job> m_jobs;
    std::unordered_set<std::string> m_failedSlots;  // written in vain: copied again next time
    bool m_busy = false;
    bool m_stop = false;
    std::thread m_worker;
};

}  // namespace pelimator::board

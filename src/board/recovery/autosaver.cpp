// Autosave: snapshots on the window's thread, writes on a worker thread of its own.
#include "board/recovery/autosaver.h"

#include <algorithm>
#include <chrono>

#include "base/errors.h"
#include "board/files/drawing_snapshot.h"

namespace pelimator::board {

std::string ChangesText(std::int64_t added, std::int64_t erased, const std::string& lastStep) {
    // Undone past the saved state: fewer than then, shown as none added.
    std::string text = "図形の追加 " + std::to_string(std::max<std::int64_t>(added, 0)) +
                       "・消去 " + std::to_string(std::max<std::int64_t>(erased, 0));
    if (!lastStep.empty()) text += "、最後の操作「" + lastStep + "」";
    return text;
}

namespace {

// Entities erased, and records of the file read erased (what it shows beneath).
std::size_t ErasedCount(const BoardDrawing& drawing) {
    std::size_t erased = 0;
    for (const std::uint8_t flag : drawing.ErasedFlags()) erased += flag != 0 ? 1U : 0U;
    for (const auto& [key, edit] : drawing.RecordEdits()) erased += edit.erased ? 1U : 0U;
    return erased;
}

// The drawing as it is now counts as saved for what ChangesText says.
void NoteSaved(const BoardDrawing& drawing, std::size_t& count, std::size_t& erased) {
    count = drawing.Count();
    erased = ErasedCount(drawing);
}

std::int64_t Now() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

Autosaver::Autosaver(std::shared_ptr<RecoverySession> session, ErrorSink onError, Clock clock)
    : m_session(std::move(session)),
      m_onError(std::move(onError)),
      m_clock(clock ? std::move(clock) : Clock(Now)),
      m_worker([this] { Run(); }) {}

Autosaver::~Autosaver() {
    for (Followed& followed : m_followed) Unobserve(followed);
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_worker.join();
}

Autosaver::Followed& Autosaver::Follow(const BoardDocumentPtr& document) {
    const auto found = std::find_if(m_followed.begin(), m_followed.end(), [&](const Followed& f) {
        return f.key == document.get() && !f.document.expired();
    });
    if (found != m_followed.end()) return *found;
    Followed followed;
    followed.document = document;
    followed.key = document.get();
    followed.slot = "d" + std::to_string(m_nextSlot++);
    followed.writtenChange = document->DrawingModel()->ChangeCount();
    NoteSaved(*document->DrawingModel(), followed.savedCount, followed.savedErased);
    // A drawing read from a file is filled after it is added, and one saved starts counting
    // again: both mark it saved.
    followed.drawing = document->DrawingModel();
    followed.observer =
        document->DrawingModel()->AddObserver([this, key = document.get()](DrawingChange change) {
            if (change == DrawingChange::Saved) NoteMarkedSaved(key);
        });
    m_followed.push_back(std::move(followed));
    return m_followed.back();
}

void Autosaver::NoteMarkedSaved(const BoardDocument* key) {
    for (Followed& followed : m_followed) {
        const std::shared_ptr<BoardDrawing> drawing = followed.drawing.lock();
        if (followed.key != key || drawing == nullptr || drawing->IsModified()) continue;
        NoteSaved(*drawing, followed.savedCount, followed.savedErased);
    }
}

void Autosaver::Unobserve(Followed& followed) noexcept {
    if (const std::shared_ptr<BoardDrawing> drawing = followed.drawing.lock()) {
        drawing->RemoveObserver(followed.observer);
    }
    followed.observer = 0;
}

void Autosaver::Track(const BoardDocumentPtr& document) { Follow(document); }

void Autosaver::Adopt(const BoardDocumentPtr& document, const RecoveryEntry& entry) {
    Followed& followed = Follow(document);
    m_session->Adopt(entry, followed.slot);
    followed.written = true;
    followed.writtenChange = document->DrawingModel()->ChangeCount();
}

std::size_t Autosaver::SaveChanged(const BoardApplication& application) {
    if (m_finished) return 0;
    // Closed documents first: their files go.
    for (auto it = m_followed.begin(); it != m_followed.end();) {
        const BoardDocumentPtr document = it->document.lock();
        if (document == nullptr || application.IndexOf(document.get()) < 0) {
            Unobserve(*it);
            RemoveSlot(*it);
            it = m_followed.erase(it);
        } else {
            ++it;
        }
    }
    std::unordered_set<std::string> failed;
    {
        const std::lock_guard lock(m_mutex);
        failed.swap(m_failedSlots);
    }
    std::size_t taken = 0;
    for (std::size_t i = 0; i < application.DocumentCount(); ++i) {
        const BoardDocumentPtr& document = application.DocumentAt(i);
        Followed& followed = Follow(document);
        const BoardDrawing& drawing = *document->DrawingModel();
        const std::uint64_t change = drawing.ChangeCount();
        if (!drawing.IsModified()) {
            if (followed.written || followed.writtenChange != change) {
                NoteSaved(drawing, followed.savedCount, followed.savedErased);
                followed.writtenChange = change;
            }
            RemoveSlot(followed);
            continue;
        }
        if (followed.written && followed.writtenChange == change &&
            !failed.contains(followed.slot)) {
            continue;
        }
        if (drawing.InEdit()) continue;  // half a step: taken once it is committed or discarded
        auto snapshot = std::make_shared<const DrawingSnapshot>(SnapshotOf(*document));
        RecoveryInfo info;
        info.name = document->Name();
        info.originalPath = document->Path();
        info.savedAt = m_clock();
        const auto signedCount = [](std::size_t n) { return static_cast<std::int64_t>(n); };
        info.changes =
            ChangesText(signedCount(drawing.Count()) - signedCount(followed.savedCount),
                        signedCount(ErasedCount(drawing)) - signedCount(followed.savedErased),
                        drawing.UndoTitle());
        Queue({followed.slot, std::move(snapshot), std::move(info)});
        followed.written = true;
        followed.writtenChange = change;
        ++taken;
    }
    return taken;
}

void Autosaver::Forget(const BoardDocument* document) {
    const auto found = std::find_if(m_followed.begin(), m_followed.end(),
                                    [&](const Followed& f) { return f.key == document; });
    if (found == m_followed.end()) return;
    Unobserve(*found);
    RemoveSlot(*found);
    m_followed.erase(found);
}

void Autosaver::RemoveSlot(Followed& followed) {
    if (!followed.written) return;
    followed.written = false;
    Queue({followed.slot, nullptr, {}});
}

void Autosaver::Queue(Job job) {
    {
        const std::lock_guard lock(m_mutex);
        if (m_stop) return;
        // A newer state of the same drawing makes a queued older one pointless.
        std::erase_if(m_jobs, [&](const Job& queued) { return queued.slot == job.slot; });
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_all();
}

void Autosaver::Wait() {
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_jobs.empty() && !m_busy; });
}

void Autosaver::Finish() {
    {
        std::unique_lock lock(m_mutex);
        m_jobs.clear();
        m_stop = true;
        m_idle.wait(lock, [this] { return !m_busy; });
    }
    m_wake.notify_all();
    m_finished = true;
    for (Followed& followed : m_followed) Unobserve(followed);
    m_followed.clear();
    m_session->Finish();
}

void Autosaver::Run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_jobs.empty(); });
        if (m_stop) break;
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_busy = true;
        lock.unlock();
        std::string failure;
        try {
            if (job.snapshot == nullptr) {
                m_session->Remove(job.slot);
            } else {
                const DrawingSnapshot& snapshot = *job.snapshot;
                m_session->Write(
                    job.slot, snapshot.Extension(),
                    [&snapshot](const std::string& path) { WriteSnapshot(snapshot, path); },
                    std::move(job.info));
            }
        } catch (const std::exception& error) {
            failure = std::string("自動保存できませんでした: ") + error.what();
        }
        job.snapshot.reset();  // the copy's memory goes here, off the window's thread
        if (!failure.empty() && m_onError) m_onError(failure);
        lock.lock();
        if (!failure.empty()) m_failedSlots.insert(job.slot);
        m_busy = false;
        if (m_jobs.empty()) m_idle.notify_all();
    }
    m_busy = false;
    m_idle.notify_all();
}

}  // namespace pelimator::board

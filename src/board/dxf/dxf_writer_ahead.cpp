// Records a save rewrites in place, rewritten ahead of its walk through the file on several
// threads: each record is read and written alone, so the work splits into runs of records.
#include <algorithm>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>

#include "board/dxf/dxf_transform.h"
#include "board/dxf/dxf_writer_records.h"

namespace pelimator::board::writer {

namespace {

// Fewer records than this to a thread are not worth starting it (a thread costs tens of
// microseconds, a record about one).
constexpr std::size_t kRecordsPerThread = 2048;
constexpr std::size_t kMostThreads = 8;

void RewriteRun(std::size_t begin, std::size_t end, const std::function<bool(std::size_t)>& wanted,
                const std::function<std::string(std::size_t, std::size_t&)>& rewrite,
                std::vector<Rewritten>& out) {
    for (std::size_t k = begin; k < end; ++k) {
        if (!wanted(k)) continue;
        Rewritten& r = out[k];
        r.done = true;
        try {
            r.bytes = rewrite(k, r.end);
        } catch (...) {
            // The walk raises it there; the rest of the run is never asked for.
            r.failure = std::current_exception();
            return;
        }
    }
}

}  // namespace

std::vector<Rewritten> RewriteAhead(
    std::size_t count, const std::function<bool(std::size_t)>& wanted,
    const std::function<std::string(std::size_t, std::size_t&)>& rewrite) {
    std::size_t many = 0;
    for (std::size_t k = 0; k < count; ++k) many += wanted(k) ? 1 : 0;
    const std::size_t cores = std::max<std::size_t>(1, std::thread::hardware_concurrency());
    const std::size_t runs =
        std::max<std::size_t>(1, std::min({cores, kMostThreads, many / kRecordsPerThread}));
    std::vector<Rewritten> out(count);
    const auto bound = [&](std::size_t run) { return count * run / runs; };
    // Each joins as it goes: before anything leaves, since they write into out.
    std::vector<std::jthread> threads;
    threads.reserve(runs - 1);
    std::size_t started = 1;  // runs 1 .. started-1 have a thread; run 0 is this one's
    for (; started < runs; ++started) {
        try {
            threads.emplace_back(RewriteRun, bound(started), bound(started + 1), std::cref(wanted),
                                 std::cref(rewrite), std::ref(out));
        } catch (const std::system_error&) {
            break;  // no thread to be had: this one does the runs left too
        }
    }
    RewriteRun(0, bound(1), wanted, rewrite, out);
    if (started < runs) RewriteRun(bound(started), count, wanted, rewrite, out);
    threads.clear();
    return out;
}

std::vector<Rewritten> RewriteInPlace(
    const DxfSource& source, std::span<const std::pair<std::uint32_t, const RecordEdit*>> edits,
    const std::function<std::string(const RecordEdit&)>& layerOf) {
    return RewriteAhead(
        edits.size(),
        [&](std::size_t k) {
            const RecordEdit& edit = *edits[k].second;
            return !IsCopyKey(edits[k].first) && !edit.from && !edit.erased &&
                   edit.source + 1 < source.records.size();
        },
        [&](std::size_t k, std::size_t& end) {
            const RecordEdit& edit = *edits[k].second;
            std::uint64_t unused = 0;
            return RewriteDxfRecord(source, edit.source, edit.placements, layerOf(edit), false,
                                    unused, &end);
        });
}

std::string Take(Rewritten& rewritten, std::size_t& end) {
    if (rewritten.failure) std::rethrow_exception(rewritten.failure);
    // The walk takes what RewriteInPlace wanted; anything else would write a wrong record.
    if (!rewritten.done) throw std::logic_error("DXF record taken that was not rewritten");
    end = rewritten.end;
    return std::move(rewritten.bytes);
}

}  // namespace pelimator::board::writer

// A file's whole content, read-only: made in memory, or mapped from the file on disk so that a big
// drawing's bytes live in the system's page cache rather than in the program's own memory.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace pelimator {

// Read-only bytes with the reading interface of std::string_view. Copies share the content.
//
// Mapped bytes are the file as it was when mapped: a save that replaces the file (by renaming a
// new one over it, as this program does) leaves the mapped content as it was. A program that
// rewrites the file in place changes it under the map; Damage() then says so, and a read past
// the end of a file cut short there reads zeros instead of stopping the program.
class FileBytes {
public:
    static constexpr std::size_t npos = std::string_view::npos;

    FileBytes() = default;
    // Bytes made in memory: new drawings, tests, texts.
    FileBytes(std::string content);  // NOLINT(google-explicit-constructor): owns the string

    [[nodiscard]] std::string_view View() const noexcept { return m_view; }
    operator std::string_view() const noexcept { return m_view; }  // NOLINT(*-explicit-*)
    [[nodiscard]] const char* data() const noexcept { return m_view.data(); }
    [[nodiscard]] std::size_t size() const noexcept { return m_view.size(); }
    [[nodiscard]] bool empty() const noexcept { return m_view.empty(); }
    [[nodiscard]] char operator[](std::size_t at) const noexcept { return m_view[at]; }
    [[nodiscard]] std::string_view substr(std::size_t at, std::size_t count = npos) const {
        return m_view.substr(at, count);
    }

    // Lets the system take the pages of [begin, end) out of the program's memory: the next read
    // there fetches them again from the page cache. Nothing for bytes made in memory.
    void Release(std::size_t begin, std::size_t end) const noexcept;
    // Why the bytes can no longer stand for what was read, as a Japanese sentence naming the
    // file: it was changed in place since it was mapped. Empty when they still can (always, for
    // bytes made in memory).
    [[nodiscard]] std::string Damage() const;
    // Raises FileError with Damage() when it is not empty.
    void CheckSound() const;
    // After a save copied these bytes: raises FileError, failure followed by why, when the file
    // they were mapped from changed during the copy (the copy may mix old and new content, or
    // hold zeros where the file was cut short), so that the save is refused with that reason.
    void CheckUnchangedAfterCopy(const std::string& failure) const;

    [[nodiscard]] bool Mapped() const noexcept;
    // The path the bytes were mapped from, as given; empty for bytes made in memory.
    [[nodiscard]] std::string Path() const;

private:
    friend FileBytes MapWholeFile(const std::string& path, std::size_t maxBytes);
    class Store;
    std::shared_ptr<const Store> m_store;
    std::string_view m_view;
};

// How much a reader of mapped bytes goes through before it releases what it has read.
inline constexpr std::size_t kReleaseStep = std::size_t{16} << 20U;

// The whole regular file at path, mapped read-only (an empty file gives empty bytes); FileError
// naming the file, in Japanese, as ReadWholeFile raises it.
[[nodiscard]] FileBytes MapWholeFile(const std::string& path, std::size_t maxBytes);

// Writes bytes[begin, end) to file in pieces of a few megabytes, releasing each piece once
// written, so that copying a mapped file costs no more memory than a piece. False when a write
// fails.
[[nodiscard]] bool WriteReleasing(std::FILE* file, const FileBytes& bytes, std::size_t begin,
                                  std::size_t end);

}  // namespace pelimator
